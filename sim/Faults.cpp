#include "sim/Faults.h"
#include "util/Exception.h"
#include "util/NumberText.h"
#include "util/Strings.h"
#include <stdexcept>

namespace kestrel::sim {

namespace {

bool FrameLevel(FaultRule::Kind AKind) {
    return AKind == FaultRule::Kind::NoAck || AKind == FaultRule::Kind::Nak;
}

constexpr int kMaxNumber = 999999;

int Number(const std::string& AText, const std::string& ASpec, const char* AWhat) {
    try {
        return static_cast<int>(vexo::ParseInteger(AText, AWhat, 0, kMaxNumber));
    } catch (const vexo::Exception& e) {
        throw std::invalid_argument("fault " + ASpec + ": " + e.what());
    }
}

void Merge(ActiveFaults& AFaults, const FaultRule& ARule) {
    switch (ARule.What) {
    case FaultRule::Kind::NoAck:
        AFaults.NoAck = true;
        break;
    case FaultRule::Kind::Nak:
        AFaults.Nak = true;
        break;
    case FaultRule::Kind::BadCrc:
        AFaults.BadCrc += ARule.Param;
        break;
    case FaultRule::Kind::Noise:
        AFaults.Noise += ARule.Param;
        break;
    case FaultRule::Kind::Split:
        AFaults.SplitMs = ARule.Param;
        break;
    case FaultRule::Kind::Oversize:
        AFaults.Oversize = true;
        break;
    case FaultRule::Kind::NoEot:
        AFaults.NoEot = true;
        break;
    case FaultRule::Kind::Late:
        AFaults.LateMs = ARule.Param;
        break;
    case FaultRule::Kind::Hangup:
        AFaults.Hangup = true;
        break;
    case FaultRule::Kind::Silent:
        AFaults.Silent = true;
        break;
    case FaultRule::Kind::ShortTlv:
        AFaults.ShortTlv = ARule.Param;
        break;
    }
}

} // namespace

const std::vector<FaultRule::KindInfo>& FaultRule::Kinds() {
    static const std::vector<KindInfo> kinds = {
        {Kind::NoAck, "noack", 1, "frames", "the command frame gets no answer and is not executed"},
        {Kind::Nak, "nak", 1, "frames", "the command frame is refused with NAK"},
        {Kind::BadCrc, "crc", 1, "sends", "the response goes with a bad CRC, N sends in a row"},
        {Kind::Noise, "noise", 3, "bytes", "noise bytes before the response"},
        {Kind::Split, "split", 2500, "ms", "the response in three pieces with pauses between them"},
        {Kind::Oversize, "oversize", 1, "", "a response longer than a packet may be"},
        {Kind::NoEot, "noeot", 1, "", "CAN is not answered with EOT"},
        {Kind::Late, "late", 12000, "ms", "the response is held back (past the host's patience)"},
        {Kind::Hangup, "hangup", 1, "", "half of the response, then the line goes away"},
        {Kind::Silent, "silent", 1, "", "ACK, then no response ever"},
        {Kind::ShortTlv, "shorttlv", 2, "bytes",
         "the response's last TLV item carries N bytes fewer than its length says"},
    };
    return kinds;
}

std::string FaultRule::Describe() const {
    std::string text = "?";
    for (const auto& kind : Kinds())
        if (kind.What == What) text = kind.Name;
    text += ":" + std::to_string(Param);
    if (!Command.empty()) text += "@" + Command;
    return text + "*" + std::to_string(Times);
}

FaultRule FaultRule::Parse(const std::string& ASpec) {
    std::string rest = vexo::Trim(ASpec);
    FaultRule rule;
    if (auto star = rest.find('*'); star != std::string::npos) {
        rule.Times = Number(rest.substr(star + 1), ASpec, "TIMES");
        rest.erase(star);
    }
    if (auto at = rest.find('@'); at != std::string::npos) {
        rule.Command = vexo::UpperCase(rest.substr(at + 1));
        if (rule.Command.size() != 3)
            throw std::invalid_argument("fault command must have 3 letters: " + ASpec);
        rest.erase(at);
    }
    std::string param;
    if (auto colon = rest.find(':'); colon != std::string::npos) {
        param = rest.substr(colon + 1);
        rest.erase(colon);
    }
    rest = vexo::UpperCase(rest);
    for (const auto& kind : Kinds()) {
        if (vexo::UpperCase(kind.Name) != rest) continue;
        rule.What = kind.What;
        rule.Param = param.empty() ? kind.DefaultParam : Number(param, ASpec, "N");
        return rule;
    }
    std::string names;
    for (const auto& kind : Kinds())
        names += (names.empty() ? "" : ", ") + std::string(kind.Name);
    throw std::invalid_argument("unknown fault " + ASpec + " (" + names + ")");
}

void FaultPlan::Add(const FaultRule& ARule) {
    std::lock_guard lock(fMutex);
    FaultRule rule = ARule;
    // "nak:3" refuses three frames in a row: one use per frame.
    if (FrameLevel(rule.What) && rule.Times > 0) rule.Times *= std::max(1, rule.Param);
    fRules.push_back(rule);
}

void FaultPlan::Clear() {
    std::lock_guard lock(fMutex);
    fRules.clear();
    fProbability = 0;
}

void FaultPlan::SetRandom(double AProbability, uint32_t ASeed) {
    std::lock_guard lock(fMutex);
    fProbability = AProbability;
    fRandom.seed(ASeed);
}

size_t FaultPlan::Pending() const {
    std::lock_guard lock(fMutex);
    return fRules.size();
}

ActiveFaults FaultPlan::Take(const std::string& ACommand) {
    std::lock_guard lock(fMutex);
    ActiveFaults faults;
    auto matches = [&](const FaultRule& r) { return r.Command.empty() || r.Command == ACommand; };
    auto useUp = [&](size_t i) {
        if (fRules[i].Times > 0 && --fRules[i].Times == 0) fRules.erase(fRules.begin() + long(i));
    };
    // A refused frame is not executed, so it must not use up the rules meant for its response.
    for (size_t i = 0; i < fRules.size(); ++i) {
        if (FrameLevel(fRules[i].What) && matches(fRules[i])) {
            Merge(faults, fRules[i]);
            useUp(i);
            return faults;
        }
    }
    for (size_t i = 0; i < fRules.size();) {
        if (!FrameLevel(fRules[i].What) && matches(fRules[i])) {
            const size_t before = fRules.size();
            Merge(faults, fRules[i]);
            useUp(i);
            if (fRules.size() < before) continue;
        }
        ++i;
    }
    if (fProbability > 0 && std::uniform_real_distribution<double>(0, 1)(fRandom) < fProbability) {
        switch (std::uniform_int_distribution<int>(0, 2)(fRandom)) {
        case 0:
            faults.Nak = true;
            break;
        case 1:
            faults.BadCrc += 1;
            break;
        default:
            faults.Noise += 3;
            break;
        }
    }
    return faults;
}

} // namespace kestrel::sim
