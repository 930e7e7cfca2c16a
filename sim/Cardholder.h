#pragma once
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::sim {

// The keys of the PIN pad's keypad.
enum class Key {
    Digit0,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Digit6,
    Digit7,
    Digit8,
    Digit9,
    Enter,
    Clear,
    Cancel,
    F1,
    F2,
    F3,
    F4,
    Up,
    Down,
};

// Every key, digits first, in the order of the enumeration.
const std::vector<Key>& AllKeys();
// "0" to "9", "ENTER", "CLEAR", "CANCEL", "F1" to "F4", "UP", "DOWN".
const char* KeyName(Key AKey);
// A key by its name (any case; "OK", "BACKSP", "LIMPA" and "ANULA" are understood too).
std::optional<Key> KeyFromName(const std::string& AName);
// The digit key for 0 to 9.
Key DigitKey(int ADigit);
// The digit a key types, or -1 for the other keys.
int KeyDigit(Key AKey);
// The code GKY answers and CEX reports for a key: ENTER 0, UP 2, DOWN 3, F1 to F4 4 to 7, CLEAR 8,
// CANCEL 13; none for the digits.
std::optional<int> KeyEventCode(Key AKey);

// One thing the person at the PIN pad does. Actions wait in a queue until a blocking command
// is pending; an action that the pending command does not care about is used up and ignored,
// as a real keypad ignores a key nobody asked for.
struct CardholderAction {
    enum class Kind { Key, Digits, Choice, Swipe, Insert, Remove, Tap, Delay, Never, Press };

    Kind What = Kind::Key;
    int Number = 0;        // key code, menu choice (from 1), delay in milliseconds or a Key (Press)
    std::string Text;      // digits typed
    std::string Tracks[3]; // magnetic stripe tracks 1 to 3 (all empty: a stripe that cannot be read)

    // A key by the code GKY answers for it (0, 4 to 8, 13), as scripts have always named keys.
    static CardholderAction Key(int ACode) { return {Kind::Key, ACode, {}, {}}; }
    // A key of the keypad, one at a time: the way to type digit by digit or move through a menu.
    static CardholderAction Press(sim::Key AKey) { return {Kind::Press, static_cast<int>(AKey), {}, {}}; }
    // Types the digits afresh and presses ENTER (GCD).
    static CardholderAction Digits(std::string ADigits) { return {Kind::Digits, 0, std::move(ADigits), {}}; }
    static CardholderAction Choice(int AOption) { return {Kind::Choice, AOption, {}, {}}; }
    // Without tracks a test card's tracks are used.
    static CardholderAction Swipe(std::string ATrack1 = {}, std::string ATrack2 = {},
                                  std::string ATrack3 = {});
    // A card whose stripe gives no readable track.
    static CardholderAction UnreadableSwipe() { return {Kind::Swipe, 0, {}, {}}; }
    static CardholderAction Insert() { return {Kind::Insert, 0, {}, {}}; }
    static CardholderAction Remove() { return {Kind::Remove, 0, {}, {}}; }
    static CardholderAction Tap() { return {Kind::Tap, 0, {}, {}}; }
    // The cardholder takes this long (cardholder time, shortened by the time scale).
    static CardholderAction Delay(int AMilliseconds) { return {Kind::Delay, AMilliseconds, {}, {}}; }
    // The cardholder walks away: the pending command gets nothing more until the host cancels
    // it or the PIN pad's own timeout ends it.
    static CardholderAction Never() { return {Kind::Never, 0, {}, {}}; }

    // The keypad key of a Key or Press action; none for the other kinds (or an unknown code).
    std::optional<sim::Key> PressedKey() const;

    // For traces: tracks and long digit runs are masked.
    std::string Describe() const;

    // One script line ("key 0", "key F1", "key UP", "press 5", "press ENTER", "digits 1234",
    // "choose 2", "swipe", "swipe T1|T2|T3", "swipe none", "insert", "remove", "tap", "delay 500",
    // "never"). Raises std::invalid_argument.
    static CardholderAction Parse(const std::string& ALine);
};

// The queue of actions; safe to fill from any thread while the simulator consumes it.
class Cardholder {
public:
    void Push(const CardholderAction& AAction);
    void Clear();
    std::optional<CardholderAction> Front() const;
    void Pop();
    // Takes the first action, if any, in one step.
    std::optional<CardholderAction> Take();
    size_t Size() const;
    // Called (without the lock) after every Push, so the simulator wakes to look.
    void SetOnPush(std::function<void()> AOnPush);

    // Parses a whole script, one action a line; blank lines and "#" comments are skipped.
    // Raises std::invalid_argument naming the line.
    static std::vector<CardholderAction> ParseScript(const std::string& AText);

private:
    mutable std::mutex fMutex;
    std::deque<CardholderAction> fQueue;
    std::function<void()> fOnPush;
};

} // namespace kestrel::sim
