#include "sim/Cardholder.h"
#include "util/CardMask.h"
#include "util/Exception.h"
#include "util/NumberText.h"
#include "util/Strings.h"
#include <sstream>
#include <stdexcept>

namespace kestrel::sim {

namespace {

const char* const kTestTrack1 = "B4761739001010010^KESTREL/TEST CARD^30122011000000000000";
const char* const kTestTrack2 = "4761739001010010=30122011000000000000";

struct KeyEntry {
    Key Which;
    const char* Name;
};
constexpr KeyEntry kKeyNames[] = {
    {Key::Digit0, "0"},      {Key::Digit1, "1"}, {Key::Digit2, "2"},    {Key::Digit3, "3"},
    {Key::Digit4, "4"},      {Key::Digit5, "5"}, {Key::Digit6, "6"},    {Key::Digit7, "7"},
    {Key::Digit8, "8"},      {Key::Digit9, "9"}, {Key::Enter, "ENTER"}, {Key::Clear, "CLEAR"},
    {Key::Cancel, "CANCEL"}, {Key::F1, "F1"},    {Key::F2, "F2"},       {Key::F3, "F3"},
    {Key::F4, "F4"},         {Key::Up, "UP"},    {Key::Down, "DOWN"},
};
// Other names people use for the same keys (the Portuguese legends of Brazilian keypads).
constexpr KeyEntry kKeyAliases[] = {
    {Key::Enter, "OK"},    {Key::Enter, "ENTRA"},  {Key::Clear, "BACKSP"},
    {Key::Clear, "LIMPA"}, {Key::Cancel, "ANULA"},
};

struct KeyCode {
    const char* Name;
    int Code;
};
constexpr KeyCode kKeyCodes[] = {{"ENTER", 0}, {"OK", 0},    {"F1", 4},     {"F2", 5},      {"F3", 6},
                                 {"F4", 7},    {"CLEAR", 8}, {"BACKSP", 8}, {"CANCEL", 13}, {"ANULA", 13}};

// "key K" names the key by the code GKY answers for it.
int ParseKeyCode(const std::string& AWord) {
    const std::string word = vexo::UpperCase(AWord);
    for (const auto& key : kKeyCodes)
        if (word == key.Name) return key.Code;
    if (vexo::EhNumerico(word) && !word.empty() && word.size() <= 2) {
        const int code = std::stoi(word);
        if (code == 0 || (code >= 4 && code <= 8) || code == 13) return code;
    }
    throw std::invalid_argument("unknown key " + AWord +
                                " (use 0, 4 to 8, 13, ENTER, F1 to F4, CLEAR, CANCEL, UP, DOWN)");
}

// A menu has fewer options than this; 0 stays, to try a choice no menu has.
constexpr int kMaxChoice = 999;
constexpr int kMaxDelayMs = 3600000; // an hour

int ParseNumber(const std::string& AWord, const char* AWhat, int AMax) {
    try {
        return static_cast<int>(vexo::ParseInteger(AWord, AWhat, 0, AMax));
    } catch (const vexo::Exception& e) {
        throw std::invalid_argument(e.what());
    }
}

} // namespace

const std::vector<Key>& AllKeys() {
    static const std::vector<Key> keys = [] {
        std::vector<Key> all;
        for (const auto& entry : kKeyNames)
            all.push_back(entry.Which);
        return all;
    }();
    return keys;
}

const char* KeyName(Key AKey) {
    for (const auto& entry : kKeyNames)
        if (entry.Which == AKey) return entry.Name;
    return "?";
}

std::optional<Key> KeyFromName(const std::string& AName) {
    const std::string name = vexo::UpperCase(vexo::Trim(AName));
    for (const auto& entry : kKeyNames)
        if (name == entry.Name) return entry.Which;
    for (const auto& entry : kKeyAliases)
        if (name == entry.Name) return entry.Which;
    return std::nullopt;
}

Key DigitKey(int ADigit) {
    if (ADigit < 0 || ADigit > 9) throw std::invalid_argument("a digit key is 0 to 9");
    return static_cast<Key>(static_cast<int>(Key::Digit0) + ADigit);
}

int KeyDigit(Key AKey) {
    const int index = static_cast<int>(AKey) - static_cast<int>(Key::Digit0);
    return index >= 0 && index <= 9 ? index : -1;
}

std::optional<int> KeyEventCode(Key AKey) {
    switch (AKey) {
    case Key::Enter:
        return 0;
    case Key::Up:
        return 2;
    case Key::Down:
        return 3;
    case Key::F1:
        return 4;
    case Key::F2:
        return 5;
    case Key::F3:
        return 6;
    case Key::F4:
        return 7;
    case Key::Clear:
        return 8;
    case Key::Cancel:
        return 13;
    default:
        return std::nullopt;
    }
}

std::optional<Key> CardholderAction::PressedKey() const {
    if (What == Kind::Press) return static_cast<sim::Key>(Number);
    if (What != Kind::Key) return std::nullopt;
    for (sim::Key key : AllKeys())
        if (KeyDigit(key) < 0 && KeyEventCode(key) == Number) return key;
    return std::nullopt;
}

CardholderAction CardholderAction::Swipe(std::string ATrack1, std::string ATrack2, std::string ATrack3) {
    CardholderAction action{Kind::Swipe, 0, {}, {}};
    if (ATrack1.empty() && ATrack2.empty() && ATrack3.empty()) {
        ATrack1 = kTestTrack1;
        ATrack2 = kTestTrack2;
    }
    action.Tracks[0] = std::move(ATrack1);
    action.Tracks[1] = std::move(ATrack2);
    action.Tracks[2] = std::move(ATrack3);
    return action;
}

std::string CardholderAction::Describe() const {
    switch (What) {
    case Kind::Key:
        return "key " + std::to_string(Number);
    case Kind::Press:
        return std::string("press ") + KeyName(static_cast<sim::Key>(Number));
    case Kind::Digits:
        return "digits " + vexo::MaskCardNumbers(Text);
    case Kind::Choice:
        return "choose " + std::to_string(Number);
    case Kind::Swipe:
        if (Tracks[0].empty() && Tracks[1].empty() && Tracks[2].empty()) return "swipe none";
        return "swipe " + vexo::MaskTrackData(Tracks[0]) + "|" + vexo::MaskTrackData(Tracks[1]) + "|" +
               vexo::MaskTrackData(Tracks[2]);
    case Kind::Insert:
        return "insert";
    case Kind::Remove:
        return "remove";
    case Kind::Tap:
        return "tap";
    case Kind::Delay:
        return "delay " + std::to_string(Number);
    case Kind::Never:
        return "never";
    }
    return "?";
}

CardholderAction CardholderAction::Parse(const std::string& ALine) {
    std::istringstream in(vexo::Trim(ALine));
    std::string verb, rest;
    in >> verb;
    std::getline(in, rest);
    rest = vexo::Trim(rest);
    verb = vexo::UpperCase(verb);
    if (verb == "KEY") {
        // The arrows have no GKY code of their own: they are keypad keys only.
        if (const auto key = KeyFromName(rest); key == sim::Key::Up || key == sim::Key::Down)
            return Press(*key);
        return Key(ParseKeyCode(rest));
    }
    if (verb == "PRESS") {
        const auto key = KeyFromName(rest);
        if (!key)
            throw std::invalid_argument("unknown key " + rest +
                                        " (use 0 to 9, ENTER, CLEAR, CANCEL, F1 to F4, UP, DOWN)");
        return Press(*key);
    }
    if (verb == "DIGITS" || verb == "TYPE") {
        if (!vexo::EhNumerico(rest) || rest.size() > 32)
            throw std::invalid_argument("digits takes up to 32 decimal digits");
        return Digits(rest);
    }
    if (verb == "CHOOSE") return Choice(ParseNumber(rest, "choose", kMaxChoice));
    if (verb == "SWIPE") {
        if (rest.empty()) return Swipe();
        if (vexo::UpperCase(rest) == "NONE") return UnreadableSwipe();
        std::string tracks[3];
        std::istringstream parts(rest);
        for (auto& track : tracks)
            std::getline(parts, track, '|');
        return Swipe(tracks[0], tracks[1], tracks[2]);
    }
    if (verb == "INSERT" && rest.empty()) return Insert();
    if (verb == "REMOVE" && rest.empty()) return Remove();
    if (verb == "TAP" && rest.empty()) return Tap();
    if (verb == "DELAY") return Delay(ParseNumber(rest, "delay", kMaxDelayMs));
    if (verb == "NEVER" && rest.empty()) return Never();
    throw std::invalid_argument("not a cardholder action: " + ALine);
}

void Cardholder::Push(const CardholderAction& AAction) {
    std::function<void()> onPush;
    {
        std::lock_guard lock(fMutex);
        fQueue.push_back(AAction);
        onPush = fOnPush;
    }
    if (onPush) onPush();
}

void Cardholder::Clear() {
    std::lock_guard lock(fMutex);
    fQueue.clear();
}

std::optional<CardholderAction> Cardholder::Front() const {
    std::lock_guard lock(fMutex);
    if (fQueue.empty()) return std::nullopt;
    return fQueue.front();
}

std::optional<CardholderAction> Cardholder::Take() {
    std::lock_guard lock(fMutex);
    if (fQueue.empty()) return std::nullopt;
    CardholderAction action = std::move(fQueue.front());
    fQueue.pop_front();
    return action;
}

void Cardholder::Pop() {
    std::lock_guard lock(fMutex);
    if (!fQueue.empty()) fQueue.pop_front();
}

size_t Cardholder::Size() const {
    std::lock_guard lock(fMutex);
    return fQueue.size();
}

void Cardholder::SetOnPush(std::function<void()> AOnPush) {
    std::lock_guard lock(fMutex);
    fOnPush = std::move(AOnPush);
}

std::vector<CardholderAction> Cardholder::ParseScript(const std::string& AText) {
    std::vector<CardholderAction> actions;
    std::istringstream in(AText);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = vexo::Trim(line);
        if (line.empty() || line[0] == '#') continue;
        try {
            actions.push_back(CardholderAction::Parse(line));
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument("script line " + std::to_string(number) + ": " + e.what());
        }
    }
    return actions;
}

} // namespace kestrel::sim
