#include "sim/ReplayPinPad.h"
#include "pinpad/VexoAbecsPacket.h"
#include <algorithm>
#include <cstdio>

namespace kestrel::sim {

using trace::LinkUnit;

namespace {

std::string Describe(const LinkUnit& AUnit) {
    if (AUnit.What != LinkUnit::Kind::Frame) return trace::KindName(AUnit.What);
    return AUnit.Data.substr(0, 3) + (AUnit.CrcOk ? "" : " (wrong CRC)");
}

} // namespace

ReplayPinPad::ReplayPinPad(ReplayScript AScript) : fScript(std::move(AScript)) {}

size_t ReplayPinPad::StepsPlayed() const {
    std::lock_guard lock(fCountMutex);
    return fPlayed;
}

size_t ReplayPinPad::Departures() const {
    std::lock_guard lock(fCountMutex);
    return fDepartures;
}

void ReplayPinPad::Report(const std::string& ALine) {
    {
        std::lock_guard lock(fCountMutex);
        ++fDepartures;
    }
    if (fReport) fReport(ALine);
}

void ReplayPinPad::Trace(const std::string& ALine) const {
    if (fTrace) fTrace(ALine);
}

void ReplayPinPad::Run(Channel& AChannel, const std::atomic<bool>& AStop) {
    fChannel = &AChannel;
    std::vector<LinkUnit> units;
    while (!AStop) {
        auto now = Clock::now();
        SendDue(now);
        auto wait = std::chrono::milliseconds(200);
        if (!fDue.empty())
            wait = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(fDue.front().first - now),
                              std::chrono::milliseconds(0), wait);
        ByteString bytes;
        const auto result = AChannel.Read(bytes, wait);
        if (result == Channel::ReadResult::Closed) break;
        if (bytes.empty()) continue;
        now = Clock::now();
        units.clear();
        fDecoder.Feed(bytes, units);
        for (const auto& unit : units)
            OnUnit(unit, now);
    }
    fChannel = nullptr;
}

void ReplayPinPad::SendDue(Clock::time_point ANow) {
    while (!fDue.empty() && fDue.front().first <= ANow) {
        SendNow(fDue.front().second);
        fDue.pop_front();
    }
}

void ReplayPinPad::SendNow(const ByteString& ABytes) {
    if (!fChannel->Write(ABytes))
        Trace("the host is not there; " + std::to_string(ABytes.size()) + " bytes lost");
    // The last frame in what was sent, for a NAK the recording did not have.
    const auto syn = ABytes.rfind(static_cast<char>(vexo::SYN));
    if (syn != ByteString::npos) fLastFrame = ABytes.substr(syn);
}

void ReplayPinPad::Play(size_t AStep, Clock::time_point AAt) {
    const ReplayStep& step = fScript.Steps[AStep];
    for (const auto& chunk : step.Answer) {
        const auto after = std::chrono::duration_cast<Clock::duration>(chunk.After * fScale);
        // Chunks stay in order even when a scale or an earlier step pushes one past the next.
        auto due = AAt + after;
        if (!fDue.empty()) due = std::max(due, fDue.back().first);
        fDue.emplace_back(due, chunk.Bytes);
    }
    fNext = AStep + 1;
    {
        std::lock_guard lock(fCountMutex);
        ++fPlayed;
    }
    size_t bytes = 0;
    for (const auto& chunk : step.Answer)
        bytes += chunk.Bytes.size();
    Trace("<- " + Describe(step.Host) + ", step " + std::to_string(AStep + 1) + " of " +
          std::to_string(fScript.Steps.size()) + ": " + std::to_string(bytes) + " bytes as recorded");
    if (fNext == fScript.Steps.size() && !fEndReported) {
        fEndReported = true;
        Trace("the recording is played to its end");
    }
    SendDue(Clock::now());
}

void ReplayPinPad::OnUnit(const LinkUnit& AUnit, Clock::time_point AAt) {
    if (fNext < fScript.Steps.size() && fScript.Steps[fNext].Host.Raw == AUnit.Raw) return Play(fNext, AAt);
    switch (AUnit.What) {
    case LinkUnit::Kind::Frame:
        return OnCommand(AUnit, AAt);
    case LinkUnit::Kind::Can:
        Report("CAN where the recording has " +
               (fNext < fScript.Steps.size() ? fScript.Steps[fNext].Name() : std::string("nothing more")) +
               "; answered with EOT");
        fDue.clear();
        return SendNow(ByteString(1, static_cast<char>(vexo::EOT)));
    case LinkUnit::Kind::Nak:
        Report("NAK the recording does not have here; the last frame sent again");
        if (!fLastFrame.empty()) SendNow(fLastFrame);
        return;
    default:
        Report(std::string(trace::KindName(AUnit.What)) +
               " from the host, not in the recording here; ignored");
    }
}

void ReplayPinPad::OnCommand(const LinkUnit& AUnit, Clock::time_point AAt) {
    const std::string expected =
        fNext < fScript.Steps.size() ? fScript.Steps[fNext].Name() : std::string("nothing more");
    const std::string got = Describe(AUnit);
    if (!AUnit.CrcOk) {
        Report("command " + got + " where the recording has " + expected + "; answered with NAK");
        return SendNow(ByteString(1, static_cast<char>(vexo::NAK)));
    }
    if (fStrict) {
        Report("command " + got + " where the recording has " + expected + "; refused with status 010");
        char status[4];
        std::snprintf(status, sizeof status, "%03d", kRefusedStatus);
        SendNow(ByteString(1, static_cast<char>(vexo::ACK)));
        return SendNow(vexo::TVexoAbecsPacket(AUnit.Data.substr(0, 3) + status).AsString());
    }
    const int closest = ClosestStep(fScript, AUnit.Data, fNext);
    if (closest < 0) {
        Report("command " + got + " but the recording has no command; answered with NAK");
        return SendNow(ByteString(1, static_cast<char>(vexo::NAK)));
    }
    const ReplayStep& step = fScript.Steps[static_cast<size_t>(closest)];
    if (step.Host.Data != AUnit.Data)
        Report("command " + got + " differs from the recording, which has " + expected +
               " here; answered as recorded for " + step.Name() + " (step " + std::to_string(closest + 1) +
               ")");
    else if (fNext >= fScript.Steps.size())
        Report("command " + got + " after the end of the recording; answered as recorded at step " +
               std::to_string(closest + 1));
    else
        Report("command " + got + " is step " + std::to_string(closest + 1) + " of the recording, not step " +
               std::to_string(fNext + 1) + "; answered as recorded there");
    Play(static_cast<size_t>(closest), AAt);
}

} // namespace kestrel::sim
