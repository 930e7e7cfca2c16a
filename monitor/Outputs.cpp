#include "monitor/Outputs.h"

#include "monitor/Json.h"
#include "trace/TraceText.h"
#include "trace/ValueText.h"
#include "util/FilesIO.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace kestrel::monitor {

using namespace kestrel::trace;

namespace {

std::string Hex4(uint16_t AValue) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", AValue);
    return text;
}

std::string ValueJson(const ValueView& AView, JsonObject AObject) {
    AObject.Add(AView.IsText ? "text" : "hex", AView.Shown);
    if (!AView.Meaning.empty()) AObject.Add("meaning", AView.Meaning);
    return AObject.Text();
}

std::string BlocksJson(const DecodedMessage& AMessage) {
    JsonArray blocks;
    for (const DecodedBlock& block : AMessage.Blocks) {
        JsonObject object;
        object.Add("size", static_cast<uint64_t>(block.Data.size()));
        if (!block.IsTLV) {
            blocks.AddRaw(ValueJson(ViewRaw(block.Data, false), object));
            continue;
        }
        JsonArray items;
        for (const DecodedTLV& item : block.Items) {
            JsonObject tlv;
            tlv.Add("tag", Hex4(item.Tag))
                .Add("name", item.Name)
                .Add("size", static_cast<uint64_t>(item.Value.size()));
            items.AddRaw(ValueJson(ViewValue(item.Tag, AMessage.IsResponse, item.Value, false), tlv));
        }
        object.AddRaw("items", items.Text());
        blocks.AddRaw(object.Text());
    }
    return blocks.Text();
}

JsonObject Stamped(TraceClock::time_point AAt, const char* AEvent) {
    JsonObject object;
    object.Add("time", IsoTime(AAt)).Add("stamp", vexo::LogTimeStamp(AAt)).Add("event", AEvent);
    return object;
}

} // namespace

std::string IsoTime(TraceClock::time_point AAt) {
    const std::time_t seconds = TraceClock::to_time_t(AAt);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(AAt.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64], zone[8];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local); // +hhmm
    std::string iso = text;
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis < 0 ? millis + 1000 : millis));
    iso += fraction;
    const std::string z = zone;
    iso += z.size() == 5 ? z.substr(0, 3) + ":" + z.substr(3) : z;
    return iso;
}

std::string EventJson(const TraceEvent& AEvent) {
    using K = TraceEvent::Kind;
    JsonObject object = Stamped(AEvent.At, KindName(AEvent.What));
    const bool link = AEvent.What == K::Aborted || AEvent.What == K::Timeout;
    if (!link) object.Add("dir", AEvent.Dir == Direction::HostToPinPad ? "to-pinpad" : "to-host");
    const DecodedMessage& m = AEvent.Message;
    if (AEvent.What == K::Command || AEvent.What == K::Response) {
        object.Add("name", m.Name);
        if (AEvent.What == K::Command) {
            const std::string description = CommandDescription(m.Name);
            if (!description.empty()) object.Add("description", description);
        } else if (m.Status >= 0) {
            object.Add("status", m.Status).Add("status_text", m.StatusText);
        }
        object.AddRaw("blocks", BlocksJson(m));
        if (!m.Ok()) object.Add("error", m.Error);
    }
    if (AEvent.Retry) object.Add("retry", true);
    if (AEvent.Took) object.Add("took_ms", static_cast<int64_t>(AEvent.Took->count()));
    if (!AEvent.Command.empty()) object.Add("command", AEvent.Command);
    if (!AEvent.Note.empty()) object.Add("note", AEvent.Note);
    if (AEvent.Unit.What == LinkUnit::Kind::Frame && !link) {
        object.Add("crc_ok", AEvent.Unit.CrcOk);
        if (!AEvent.Unit.CrcOk)
            object.Add("crc", Hex4(AEvent.Unit.CrcGot)).Add("crc_expected", Hex4(AEvent.Unit.CrcWant));
    }
    if (!AEvent.Unit.Raw.empty()) object.Add("bytes", SpacedHex(AEvent.Unit.Raw));
    return object.Text();
}

std::string NoteJson(TraceClock::time_point AAt, const std::string& AText) {
    return Stamped(AAt, "relay").Add("note", AText).Text();
}

std::string SummaryJson(TraceClock::time_point AAt, const TraceStats& AStats) {
    JsonObject commands, errors;
    for (const auto& [name, count] : AStats.Commands)
        commands.Add(name, count);
    for (const auto& [code, count] : AStats.Errors) {
        char text[8];
        std::snprintf(text, sizeof text, "%03d", code);
        errors.Add(text, count);
    }
    JsonObject object = Stamped(AAt, "summary");
    object.AddRaw("commands", commands.Text())
        .AddRaw("errors", errors.Text())
        .Add("retries", AStats.Retries)
        .Add("naks", AStats.Naks)
        .Add("bad_frames", AStats.BadFrames)
        .Add("aborts", AStats.Aborts)
        .Add("timeouts", AStats.Timeouts)
        .Add("strays", AStats.Strays);
    if (!AStats.SlowestCommand.empty())
        object.AddRaw("slowest", JsonObject()
                                     .Add("command", AStats.SlowestCommand)
                                     .Add("ms", static_cast<int64_t>(AStats.SlowestTime.count()))
                                     .Text());
    object.Add("bytes_to_pinpad", AStats.BytesToPinPad).Add("bytes_to_host", AStats.BytesToHost);
    return object.Text();
}

std::string NoteLine(TraceClock::time_point AAt, const std::string& AText) {
    return vexo::LogTimeStamp(AAt) + " == " + AText;
}

void TraceTextOutput::Line(const std::string& AText) {
    if (!fError.empty()) return;
    if (std::fwrite(AText.data(), 1, AText.size(), fFile) != AText.size() || std::fputc('\n', fFile) == EOF)
        fError = std::string("cannot write the trace: ") + std::strerror(errno);
}

void TraceTextOutput::OnEvent(const TraceEvent& AEvent) {
    if (!fEvents) return;
    for (const std::string& line : FormatEvent(AEvent, {false, fBytes}))
        Line(line);
}

void TraceTextOutput::OnNote(TraceClock::time_point AAt, const std::string& AText) {
    if (fEvents) Line(NoteLine(AAt, AText));
}

void TraceTextOutput::OnEnd(TraceClock::time_point AAt, const TraceStats& AStats) {
    Line(NoteLine(AAt, "summary"));
    for (const std::string& line : FormatStats(AStats))
        Line("  " + line);
}

void TraceTextOutput::OnBatch() {
    if (fError.empty() && std::fflush(fFile) != 0)
        fError = std::string("cannot write the trace: ") + std::strerror(errno);
}

JsonLinesOutput::JsonLinesOutput(const std::string& APath) : fPath(APath) {
    fFile = std::fopen(APath.c_str(), "wb");
    if (!fFile) throw std::runtime_error("cannot create " + APath + ": " + std::strerror(errno));
}

JsonLinesOutput::~JsonLinesOutput() {
    if (fFile) std::fclose(fFile);
}

void JsonLinesOutput::Line(const std::string& AText) {
    if (!fError.empty()) return;
    if (std::fwrite(AText.data(), 1, AText.size(), fFile) != AText.size() || std::fputc('\n', fFile) == EOF)
        fError = "cannot write " + fPath + ": " + std::strerror(errno);
}

void JsonLinesOutput::OnBatch() {
    if (fError.empty() && std::fflush(fFile) != 0)
        fError = "cannot write " + fPath + ": " + std::strerror(errno);
}

} // namespace kestrel::monitor
