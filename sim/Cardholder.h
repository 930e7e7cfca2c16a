#pragma once
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::sim {

// One thing the person at the PIN pad does. Actions wait in a queue until a blocking command
// is pending; an action that the pending command does not care about is used up and ignored,
// as a real keypad ignores a key nobody asked for.
struct CardholderAction {
    enum class Kind { Key, Digits, Choice, Swipe, Insert, Remove, Tap, Delay, Never };

    Kind What = Kind::Key;
    int Number = 0;        // key code, menu choice (from 1) or delay in milliseconds
    std::string Text;      // digits typed
    std::string Tracks[3]; // magnetic stripe tracks 1 to 3 (empty when absent)

    static CardholderAction Key(int ACode) { return {Kind::Key, ACode, {}, {}}; }
    static CardholderAction Digits(std::string ADigits) { return {Kind::Digits, 0, std::move(ADigits), {}}; }
    static CardholderAction Choice(int AOption) { return {Kind::Choice, AOption, {}, {}}; }
    // Without tracks a test card's tracks are used.
    static CardholderAction Swipe(std::string ATrack1 = {}, std::string ATrack2 = {},
                                  std::string ATrack3 = {});
    static CardholderAction Insert() { return {Kind::Insert, 0, {}, {}}; }
    static CardholderAction Remove() { return {Kind::Remove, 0, {}, {}}; }
    static CardholderAction Tap() { return {Kind::Tap, 0, {}, {}}; }
    // The cardholder takes this long (cardholder time, shortened by the time scale).
    static CardholderAction Delay(int AMilliseconds) { return {Kind::Delay, AMilliseconds, {}, {}}; }
    // The cardholder walks away: the pending command gets nothing more until the host cancels
    // it or the PIN pad's own timeout ends it.
    static CardholderAction Never() { return {Kind::Never, 0, {}, {}}; }

    std::string Describe() const;

    // One script line ("key 0", "key F1", "digits 1234", "choose 2", "swipe", "swipe T1|T2|T3",
    // "insert", "remove", "tap", "delay 500", "never"). Raises std::invalid_argument.
    static CardholderAction Parse(const std::string& ALine);
};

// The queue of actions; safe to fill from any thread while the simulator consumes it.
class Cardholder {
public:
    void Push(const CardholderAction& AAction);
    void Clear();
    std::optional<CardholderAction> Front() const;
    void Pop();
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
