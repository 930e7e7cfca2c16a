#pragma once
#include "monitor/RelayItem.h"
#include "trace/FrameDecoder.h"
#include <deque>
#include <optional>

namespace kestrel::monitor {

// Stands between the relay and everything that records or shows what passed. With masking on,
// card data is taken out of the bytes themselves (trace/LinkMask.h), which needs whole frames: a
// chunk that ends inside a frame is held until the frame is complete (or the line has been quiet
// for the frame gap), and everything after it waits behind it, so the items come out in the
// order they came in, with their own times, chunk by chunk. Bytes outside frames are masked as
// one stretch, however many reads brought them (a response whose SYN was lost, in pieces), up to
// the next frame or control byte, the frame gap, or kMaxStray bytes; then digits at the end wait
// for the next stretch, so that a card number is never cut in two. With masking off, items pass
// at once. The relay forwards the original bytes before they get here; only the record waits.
class MaskingQueue {
public:
    MaskingQueue(bool AMask, trace::Millis AFrameGap) : fMask(AMask), fFrameGap(AFrameGap) {}

    void Push(RelayItem AItem);
    // A frame in progress whose last byte came AFrameGap or longer before ANow is over: its bytes
    // are masked as stray bytes and released.
    void Expire(TraceClock::time_point ANow);
    // Everything still held is released (the session ends).
    void Flush();
    // The next item whose bytes are final, or false.
    bool Pop(RelayItem& AItem);

    // When Expire would release something, if anything is held.
    std::optional<TraceClock::time_point> NextExpiry() const;
    // The time of the first item still held.
    std::optional<TraceClock::time_point> FrontTime() const;

private:
    struct Held {
        RelayItem Item;
        uint64_t Begin = 0, End = 0; // Bytes: where the chunk lies in its direction's stream
        ByteString Out;              // Bytes: the masked bytes found so far
    };
    static constexpr size_t kMaxStray = 4096;

    struct Side {
        trace::FrameDecoder Decoder;
        trace::LinkUnit Stray; // bytes outside frames, not masked yet
        bool HasStray = false;
        uint64_t Fed = 0, Done = 0; // stream bytes pushed; bytes whose unit is complete
        TraceClock::time_point LastAt{};
    };

    void Take(Direction ADir, const trace::LinkUnit& AUnit);
    void EndStray(Direction ADir, bool AAll);
    void Complete(Direction ADir, const trace::LinkUnit& AUnit);
    bool Ready(const Held& AHeld) const;

    bool fMask;
    trace::Millis fFrameGap;
    std::deque<Held> fHeld;
    Side fSide[2];
};

} // namespace kestrel::monitor
