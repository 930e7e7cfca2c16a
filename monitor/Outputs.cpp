#include "monitor/Outputs.h"

#include "trace/TraceText.h"
#include "trace/ValueText.h"
#include "util/FilesIO.h"
#include "util/Json.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace kestrel::monitor {

using namespace kestrel::trace;
using vexo::JsonValue;

namespace {

std::string Hex4(uint16_t AValue) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", AValue);
    return text;
}

// \u001F and the replacement character itself, as the JSON Lines have always been written.
constexpr vexo::JsonStyle kJsonLines{true, true};

JsonValue ValueJson(const ValueView& AView, JsonValue AObject) {
    AObject.Set(AView.IsText ? "text" : "hex", AView.Shown);
    if (!AView.Meaning.empty()) AObject.Set("meaning", AView.Meaning);
    return AObject;
}

JsonValue BlocksJson(const DecodedMessage& AMessage) {
    JsonValue blocks = JsonValue::Array();
    for (const DecodedBlock& block : AMessage.Blocks) {
        JsonValue object = JsonValue::Object();
        object.Set("size", static_cast<uint64_t>(block.Data.size()));
        if (!block.Damage.empty()) object.Set("damage", block.Damage);
        if (!block.IsTLV) {
            blocks.Push(ValueJson(ViewRaw(block.Data, false), std::move(object)));
            continue;
        }
        JsonValue items = JsonValue::Array();
        for (const DecodedTLV& item : block.Items) {
            JsonValue tlv = JsonValue::Object();
            tlv.Set("tag", Hex4(item.Tag));
            tlv.Set("name", item.Name);
            tlv.Set("size", static_cast<uint64_t>(item.Value.size()));
            if (!item.Damage.empty()) tlv.Set("damage", item.Damage);
            items.Push(
                ValueJson(ViewValue(item.Tag, AMessage.IsResponse, item.Value, false), std::move(tlv)));
        }
        object.Set("items", std::move(items));
        blocks.Push(std::move(object));
    }
    return blocks;
}

JsonValue Stamped(TraceClock::time_point AAt, const char* AEvent) {
    JsonValue object = JsonValue::Object();
    object.Set("time", IsoTime(AAt));
    object.Set("stamp", vexo::LogTimeStamp(AAt));
    object.Set("event", AEvent);
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
    JsonValue object = Stamped(AEvent.At, KindName(AEvent.What));
    const bool link = AEvent.What == K::Aborted || AEvent.What == K::Timeout;
    if (!link) object.Set("dir", AEvent.Dir == Direction::HostToPinPad ? "to-pinpad" : "to-host");
    const DecodedMessage& m = AEvent.Message;
    if (AEvent.What == K::Command || AEvent.What == K::Response) {
        object.Set("name", m.Name);
        if (AEvent.What == K::Command) {
            const std::string description = CommandDescription(m.Name);
            if (!description.empty()) object.Set("description", description);
        } else if (m.Status >= 0) {
            object.Set("status", m.Status);
            object.Set("status_text", m.StatusText);
        }
        object.Set("blocks", BlocksJson(m));
        if (!m.Ok()) object.Set("error", m.Error);
    }
    if (AEvent.Retry) object.Set("retry", true);
    if (AEvent.Took) object.Set("took_ms", static_cast<int64_t>(AEvent.Took->count()));
    if (!AEvent.Command.empty()) object.Set("command", AEvent.Command);
    if (!AEvent.Note.empty()) object.Set("note", AEvent.Note);
    if (AEvent.Unit.What == LinkUnit::Kind::Frame && !link) {
        object.Set("crc_ok", AEvent.Unit.CrcOk);
        if (!AEvent.Unit.CrcOk) {
            object.Set("crc", Hex4(AEvent.Unit.CrcGot));
            object.Set("crc_expected", Hex4(AEvent.Unit.CrcWant));
        }
    }
    if (!AEvent.Unit.Raw.empty()) object.Set("bytes", SpacedHex(AEvent.Unit.Raw));
    return object.Serialize(kJsonLines);
}

std::string NoteJson(TraceClock::time_point AAt, const std::string& AText) {
    JsonValue object = Stamped(AAt, "relay");
    object.Set("note", AText);
    return object.Serialize(kJsonLines);
}

std::string SummaryJson(TraceClock::time_point AAt, const TraceStats& AStats) {
    JsonValue commands = JsonValue::Object(), errors = JsonValue::Object();
    for (const auto& [name, count] : AStats.Commands)
        commands.Set(name, count);
    for (const auto& [code, count] : AStats.Errors) {
        char text[8];
        std::snprintf(text, sizeof text, "%03d", code);
        errors.Set(text, count);
    }
    JsonValue object = Stamped(AAt, "summary");
    object.Set("commands", std::move(commands));
    object.Set("errors", std::move(errors));
    object.Set("retries", AStats.Retries);
    object.Set("naks", AStats.Naks);
    object.Set("bad_frames", AStats.BadFrames);
    object.Set("aborts", AStats.Aborts);
    object.Set("timeouts", AStats.Timeouts);
    object.Set("strays", AStats.Strays);
    if (!AStats.SlowestCommand.empty()) {
        JsonValue slowest = JsonValue::Object();
        slowest.Set("command", AStats.SlowestCommand);
        slowest.Set("ms", static_cast<int64_t>(AStats.SlowestTime.count()));
        object.Set("slowest", std::move(slowest));
    }
    object.Set("bytes_to_pinpad", AStats.BytesToPinPad);
    object.Set("bytes_to_host", AStats.BytesToHost);
    return object.Serialize(kJsonLines);
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
