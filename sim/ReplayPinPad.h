#pragma once
#include "sim/Channel.h"
#include "sim/ReplayScript.h"
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>

namespace kestrel::sim {

// The PIN pad of a recording: each unit the host sends is matched with the recording's next one
// and answered with the bytes the recorded PIN pad wrote after it, with the recorded delays. A
// command frame that is not the next recorded one is reported and answered as the closest
// recorded command was (or, strict, refused with status 010); a CAN or NAK out of turn gets what
// any PIN pad would give it (EOT, the last frame again), reported too.
class ReplayPinPad {
public:
    using ReportFn = std::function<void(const std::string&)>;
    static constexpr int kRefusedStatus = 10;

    explicit ReplayPinPad(ReplayScript AScript);

    // Refuse a command that is not in the recording instead of answering it with the closest one.
    void SetStrict(bool AStrict) { fStrict = AStrict; }
    // Recorded delays are multiplied by this (0.5: twice as fast).
    void SetTimeScale(double AScale) { fScale = AScale; }
    // Departures from the recording, one line each, on the replay thread.
    void SetReport(ReportFn AReport) { fReport = std::move(AReport); }
    // What is received and sent, one line each (names and sizes, never the bytes: a recording made
    // without masking holds card data).
    void SetTrace(ReportFn ATrace) { fTrace = std::move(ATrace); }

    // Serves the channel until AStop is true; Wake() the channel after setting it.
    void Run(Channel& AChannel, const std::atomic<bool>& AStop);

    size_t StepsPlayed() const;
    size_t Departures() const;

private:
    using Clock = std::chrono::steady_clock;

    void OnUnit(const trace::LinkUnit& AUnit, Clock::time_point AAt);
    void OnCommand(const trace::LinkUnit& AUnit, Clock::time_point AAt);
    void Play(size_t AStep, Clock::time_point AAt);
    void SendNow(const ByteString& ABytes);
    void SendDue(Clock::time_point ANow);
    void Report(const std::string& ALine);
    void Trace(const std::string& ALine) const;

    ReplayScript fScript;
    bool fStrict = false;
    double fScale = 1;
    ReportFn fReport, fTrace;
    Channel* fChannel = nullptr;
    trace::FrameDecoder fDecoder;
    size_t fNext = 0;      // the recorded step the host should send next
    ByteString fLastFrame; // the last frame sent, for a NAK out of turn
    std::deque<std::pair<Clock::time_point, ByteString>> fDue;
    bool fEndReported = false;
    mutable std::mutex fCountMutex;
    size_t fPlayed = 0, fDepartures = 0;
};

} // namespace kestrel::sim
