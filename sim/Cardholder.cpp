#include "sim/Cardholder.h"
#include "util/Strings.h"
#include <sstream>
#include <stdexcept>

namespace kestrel::sim {

namespace {

const char* const kTestTrack1 = "B4761739001010010^KESTREL/TEST CARD^30122011000000000000";
const char* const kTestTrack2 = "4761739001010010=30122011000000000000";

struct KeyName {
    const char* Name;
    int Code;
};
constexpr KeyName kKeys[] = {{"ENTER", 0}, {"OK", 0},    {"F1", 4},     {"F2", 5},      {"F3", 6},
                             {"F4", 7},    {"CLEAR", 8}, {"BACKSP", 8}, {"CANCEL", 13}, {"ANULA", 13}};

int ParseKey(const std::string& AWord) {
    const std::string word = vexo::UpperCase(AWord);
    for (const auto& key : kKeys)
        if (word == key.Name) return key.Code;
    if (vexo::EhNumerico(word) && !word.empty() && word.size() <= 2) {
        const int code = std::stoi(word);
        if (code == 0 || (code >= 4 && code <= 8) || code == 13) return code;
    }
    throw std::invalid_argument("unknown key " + AWord +
                                " (use 0, 4 to 8, 13, ENTER, F1 to F4, CLEAR, CANCEL)");
}

int ParseNumber(const std::string& AWord, const char* AWhat) {
    if (AWord.empty() || AWord.size() > 7 || !vexo::EhNumerico(AWord))
        throw std::invalid_argument(std::string("expected a number for ") + AWhat);
    return std::stoi(AWord);
}

} // namespace

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
    case Kind::Digits:
        return "digits " + Text;
    case Kind::Choice:
        return "choose " + std::to_string(Number);
    case Kind::Swipe:
        return "swipe " + Tracks[0] + "|" + Tracks[1] + "|" + Tracks[2];
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
    if (verb == "KEY") return Key(ParseKey(rest));
    if (verb == "DIGITS" || verb == "TYPE") {
        if (!vexo::EhNumerico(rest) || rest.size() > 32)
            throw std::invalid_argument("digits takes up to 32 decimal digits");
        return Digits(rest);
    }
    if (verb == "CHOOSE") return Choice(ParseNumber(rest, "choose"));
    if (verb == "SWIPE") {
        if (rest.empty()) return Swipe();
        std::string tracks[3];
        std::istringstream parts(rest);
        for (auto& track : tracks)
            std::getline(parts, track, '|');
        return Swipe(tracks[0], tracks[1], tracks[2]);
    }
    if (verb == "INSERT" && rest.empty()) return Insert();
    if (verb == "REMOVE" && rest.empty()) return Remove();
    if (verb == "TAP" && rest.empty()) return Tap();
    if (verb == "DELAY") return Delay(ParseNumber(rest, "delay"));
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
