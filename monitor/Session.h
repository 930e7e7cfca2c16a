#pragma once
#include "monitor/MaskingQueue.h"
#include "monitor/RelayItem.h"
#include "trace/LinkTracker.h"
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::monitor {

// Where a session's results go: the live trace, JSON Lines, the raw recording, a test.
class SessionOutput {
public:
    virtual ~SessionOutput() = default;
    // Every item as it is recorded (bytes masked when the session masks), the end included.
    virtual void OnItem(const RelayItem&) {}
    virtual void OnEvent(const trace::TraceEvent&) {}
    virtual void OnNote(TraceClock::time_point, const std::string&) {}
    virtual void OnEnd(TraceClock::time_point, const trace::TraceStats&) {}
    // The items that arrived together are all out: a good moment to flush.
    virtual void OnBatch() {}
    // The first thing that went wrong writing this output, or empty.
    virtual std::string Error() const { return {}; }
    // Events left out of this output because its reader fell behind.
    virtual uint64_t NotShown() const { return 0; }
};

struct SessionOptions {
    bool Mask = true; // card data out of the bytes before anything sees them
    trace::TrackerOptions Tracker;
};

// Decodes what the relay saw (live, or from a recording) and hands it to the outputs. Everything
// it does depends only on the items and their times, never on when they are handed in, so a
// recording played back gives exactly the trace the live session gave: silences are reported at
// the tracker's own deadlines, ticked in order between the items.
class Session {
public:
    Session(SessionOptions AOptions, std::vector<SessionOutput*> AOutputs);

    // Bytes, a note, or the end (after which nothing more is taken).
    void Take(RelayItem AItem);
    // Nothing arrived until ANow: silences up to then are reported.
    void Idle(TraceClock::time_point ANow);
    // When Idle next has something to do.
    std::optional<TraceClock::time_point> NextWake() const;

    // The tracker's counts, with the bytes as they crossed the line (masking may change a frame's
    // length by an escape) beside the bytes decoded and recorded.
    trace::TraceStats Stats() const;
    bool Ended() const { return fEnded; }

    // Told once per output, the first time writing it fails.
    void SetOnOutputError(std::function<void(const std::string&)> AHandler) {
        fOnOutputError = std::move(AHandler);
    }

private:
    void Batch();
    void Drain(TraceClock::time_point ALimit);
    void Feed(const RelayItem& AItem);
    void TickUntil(TraceClock::time_point ALimit);
    void Emit(std::vector<trace::TraceEvent>& AEvents);

    MaskingQueue fQueue;
    trace::LinkTracker fTracker;
    std::vector<SessionOutput*> fOutputs;
    std::vector<bool> fFailed;
    std::function<void(const std::string&)> fOnOutputError;
    uint64_t fWire[2]{}; // bytes as they crossed the line, before any masking
    bool fEnded = false;
};

} // namespace kestrel::monitor
