#include "monitor/Session.h"

#include <algorithm>

namespace kestrel::monitor {

Session::Session(SessionOptions AOptions, std::vector<SessionOutput*> AOutputs)
    : fQueue(AOptions.Mask, AOptions.Tracker.FrameGap), fTracker(AOptions.Tracker),
      fOutputs(std::move(AOutputs)), fFailed(fOutputs.size(), false) {}

void Session::Batch() {
    for (size_t i = 0; i < fOutputs.size(); ++i) {
        fOutputs[i]->OnBatch();
        if (fFailed[i]) continue;
        const std::string error = fOutputs[i]->Error();
        if (error.empty()) continue;
        fFailed[i] = true;
        if (fOnOutputError) fOnOutputError(error);
    }
}

void Session::Take(RelayItem AItem) {
    if (fEnded) return;
    const auto at = AItem.At;
    if (AItem.What == RelayItem::Kind::End) {
        if (AItem.Wire) {
            fWire[0] = (*AItem.Wire)[0];
            fWire[1] = (*AItem.Wire)[1];
        }
        fQueue.Flush();
        Drain(at);
        TickUntil(at);
        std::vector<trace::TraceEvent> events;
        fTracker.Flush(at, events);
        Emit(events);
        fEnded = true;
        const trace::TraceStats stats = Stats();
        for (auto* output : fOutputs) {
            output->OnItem(AItem);
            output->OnEnd(at, stats);
        }
        Batch();
        return;
    }
    if (AItem.What == RelayItem::Kind::Bytes)
        fWire[AItem.Dir == Direction::HostToPinPad ? 0 : 1] += AItem.Bytes.size();
    fQueue.Expire(at);
    fQueue.Push(std::move(AItem));
    Drain(at);
    Batch();
}

trace::TraceStats Session::Stats() const {
    trace::TraceStats stats = fTracker.Stats();
    stats.BytesToPinPad = fWire[0];
    stats.BytesToHost = fWire[1];
    return stats;
}

void Session::Idle(TraceClock::time_point ANow) {
    if (fEnded) return;
    fQueue.Expire(ANow);
    Drain(ANow);
    Batch();
}

std::optional<TraceClock::time_point> Session::NextWake() const {
    // While bytes are held, the tracker cannot move past them: only their release can come next.
    if (fQueue.FrontTime()) return fQueue.NextExpiry();
    return fTracker.NextDeadline();
}

void Session::Drain(TraceClock::time_point ALimit) {
    RelayItem item;
    while (fQueue.Pop(item)) {
        TickUntil(item.At);
        Feed(item);
    }
    const auto front = fQueue.FrontTime();
    TickUntil(front ? std::min(*front, ALimit) : ALimit);
}

void Session::Feed(const RelayItem& AItem) {
    for (auto* output : fOutputs)
        output->OnItem(AItem);
    if (AItem.What == RelayItem::Kind::Note) {
        for (auto* output : fOutputs)
            output->OnNote(AItem.At, AItem.Text);
        return;
    }
    std::vector<trace::TraceEvent> events;
    fTracker.Feed(AItem.Dir, AItem.Bytes, AItem.At, events);
    Emit(events);
}

void Session::TickUntil(TraceClock::time_point ALimit) {
    std::vector<trace::TraceEvent> events;
    for (auto at = fTracker.NextDeadline(); at && *at <= ALimit; at = fTracker.NextDeadline()) {
        const size_t before = events.size();
        fTracker.Tick(*at, events);
        if (events.size() == before) break; // a deadline that reports nothing would come back for ever
    }
    Emit(events);
}

void Session::Emit(std::vector<trace::TraceEvent>& AEvents) {
    for (const auto& event : AEvents)
        for (auto* output : fOutputs)
            output->OnEvent(event);
    AEvents.clear();
}

} // namespace kestrel::monitor
