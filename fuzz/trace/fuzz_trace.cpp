// Arbitrary bytes in both directions through the link tracker and the trace text: every byte must
// come out in exactly one event, whatever the chunks, and nothing may crash or hang. The bytes as
// a data field, masked, keep their length.
#include "trace/LinkMask.h"
#include "trace/LinkTracker.h"
#include "trace/TraceText.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kestrel::trace;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view field(reinterpret_cast<const char*>(AData), ASize);
    for (const bool response : {false, true})
        if (MaskDataField(field, response).size() != ASize) std::abort();
    LinkTracker tracker;
    std::vector<TraceEvent> events;
    auto now = TraceClock::time_point(std::chrono::seconds(1'700'000'000));
    uint64_t fed[2] = {0, 0};
    size_t at = 0;
    while (at < ASize) {
        // A header byte: direction, chunk length and how long the line was quiet before it.
        const uint8_t header = AData[at++];
        const auto dir = header & 1 ? Direction::PinPadToHost : Direction::HostToPinPad;
        const size_t length = std::min<size_t>((header >> 1 & 0x1F) + 1, ASize - at);
        now += std::chrono::milliseconds((header >> 6) * 700);
        tracker.Tick(now, events);
        tracker.Feed(dir, std::string_view(reinterpret_cast<const char*>(AData + at), length), now, events);
        fed[dir == Direction::PinPadToHost] += length;
        at += length;
    }
    tracker.Flush(now, events);
    uint64_t seen[2] = {0, 0};
    for (const TraceEvent& event : events) {
        seen[event.Dir == Direction::PinPadToHost] += event.Unit.Raw.size();
        FormatEvent(event, {true, true});
        FormatEvent(event, {false, false});
    }
    FormatStats(tracker.Stats());
    if (seen[0] != fed[0] || seen[1] != fed[1]) std::abort();
    return 0;
}
