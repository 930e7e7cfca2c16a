// Arbitrary text as a raw recording: every line that parses as a record formats back to a line
// that parses to the same record, and a whole recording plays through a masking session, its
// events rendered as trace lines and JSON, without crashing or hanging; and the same text, or JSON
// Lines, read as a recording to replay.
#include "monitor/Outputs.h"
#include "monitor/RawRecording.h"
#include "monitor/RecordingFile.h"
#include "monitor/Session.h"
#include "sim/ReplayScript.h"
#include "trace/TraceText.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace kestrel::monitor;

namespace {

class Rendering : public SessionOutput {
public:
    void OnEvent(const kestrel::trace::TraceEvent& AEvent) override {
        kestrel::trace::FormatEvent(AEvent, {false, true});
        EventJson(AEvent);
    }
    void OnEnd(TraceClock::time_point AAt, const kestrel::trace::TraceStats& AStats) override {
        SummaryJson(AAt, AStats);
    }
};

void CheckLine(std::string_view ALine) {
    RelayItem item, back;
    std::string why;
    if (!ParseRawRecord(ALine, item, why)) return;
    const std::string again = FormatRawRecord(item);
    if (!ParseRawRecord(again, back, why) || FormatRawRecord(back) != again || back.What != item.What ||
        back.Bytes != item.Bytes || back.Dir != item.Dir)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string text(reinterpret_cast<const char*>(AData), ASize);
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        CheckLine(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    std::istringstream in(text);
    try {
        RawReader reader(in);
        Rendering out;
        SessionOptions options;
        options.Mask = !reader.Masked();
        Session session(options, {&out});
        RelayItem item;
        TraceClock::time_point last{};
        while (!session.Ended() && reader.Next(item)) {
            last = item.At;
            session.Take(item);
        }
        if (!session.Ended()) session.Take(RelayItem::Ending(last));
    } catch (const ERawFormat&) {
    }
    // Either form of recording, cut into the steps a replay plays.
    std::istringstream again(text);
    try {
        const auto script = kestrel::sim::BuildReplayScript(ReadRecording(again, "fuzz").Items);
        for (const auto& step : script.Steps)
            if (step.IsFrame()) kestrel::sim::ClosestStep(script, step.Host.Data, 0);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
