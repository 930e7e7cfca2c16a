#include "monitor/Outputs.h"

#include "trace/TraceText.h"
#include "trace/ValueText.h"
#include "util/FilesIO.h"
#include "util/Json.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

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

std::string SummaryJson(TraceClock::time_point AAt, const TraceStats& AStats, uint64_t ANotShown) {
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
    object.Set("recorded_to_pinpad", AStats.RecordedToPinPad);
    object.Set("recorded_to_host", AStats.RecordedToHost);
    if (ANotShown > 0) object.Set("not_shown", ANotShown);
    return object.Serialize(kJsonLines);
}

std::string NoteLine(TraceClock::time_point AAt, const std::string& AText) {
    return vexo::LogTimeStamp(AAt) + " == " + AText;
}

std::string NotShownText(uint64_t ACount) {
    return std::to_string(ACount) + (ACount == 1 ? " event" : " events") +
           " not shown: the reader fell behind";
}

void QueuedTextOutput::Emit(std::string AText, const std::string& ADropNote) {
    if (fPending > 0) AText = ADropNote + AText;
    if (fWriter.TryPut(AText)) {
        fPending = 0;
        return;
    }
    ++fPending;
    ++fDropped;
}

void QueuedTextOutput::EmitLast(std::string AText, const std::string& ADropNote) {
    fWriter.Put(fPending > 0 ? ADropNote + AText : AText);
    fPending = 0;
}

namespace {

std::string Joined(const std::vector<std::string>& ALines) {
    std::string text;
    for (const std::string& line : ALines)
        text += line + "\n";
    return text;
}

int CreateFile(const std::string& APath) {
    const int fd = ::open(APath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + APath + ": " + std::strerror(errno));
    return fd;
}

} // namespace

void TraceTextOutput::OnEvent(const TraceEvent& AEvent) {
    if (!fEvents) return;
    Emit(Joined(FormatEvent(AEvent, {false, fBytes})),
         NoteLine(AEvent.At, NotShownText(PendingDrops())) + "\n");
}

void TraceTextOutput::OnNote(TraceClock::time_point AAt, const std::string& AText) {
    if (fEvents) Emit(NoteLine(AAt, AText) + "\n", NoteLine(AAt, NotShownText(PendingDrops())) + "\n");
}

void TraceTextOutput::OnEnd(TraceClock::time_point AAt, const TraceStats& AStats) {
    std::vector<std::string> lines{NoteLine(AAt, "summary")};
    for (const std::string& line : FormatStats(AStats))
        lines.push_back("  " + line);
    if (NotShown() > 0) lines.push_back("  not shown: " + NotShownText(NotShown()));
    EmitLast(Joined(lines), NoteLine(AAt, NotShownText(PendingDrops())) + "\n");
}

JsonLinesOutput::JsonLinesOutput(const std::string& APath, size_t ALimit)
    : QueuedTextOutput(CreateFile(APath), true, APath, ALimit) {}

void JsonLinesOutput::OnEvent(const TraceEvent& AEvent) {
    Emit(EventJson(AEvent) + "\n", NoteJson(AEvent.At, NotShownText(PendingDrops())) + "\n");
}

void JsonLinesOutput::OnNote(TraceClock::time_point AAt, const std::string& AText) {
    Emit(NoteJson(AAt, AText) + "\n", NoteJson(AAt, NotShownText(PendingDrops())) + "\n");
}

void JsonLinesOutput::OnEnd(TraceClock::time_point AAt, const TraceStats& AStats) {
    EmitLast(SummaryJson(AAt, AStats, NotShown()) + "\n", NoteJson(AAt, NotShownText(PendingDrops())) + "\n");
}

RawOutput::RawOutput(const std::string& APath, bool AMasked, int AResponseTimeoutMs, size_t ALimit)
    : fPath(APath), fWriter(CreateFile(APath), true, APath, ALimit) {
    fWriter.Put(std::string(kRawMagic) + "\n" + (AMasked ? "masked yes" : "masked no") + "\n" +
                "response-timeout " + std::to_string(AResponseTimeoutMs) + "\n");
}

void RawOutput::OnItem(const RelayItem& AItem) {
    if (!fStopped.empty() || AItem.What == RelayItem::Kind::End) return;
    if (fWriter.TryPut(FormatRawRecord(AItem) + "\n")) return;
    if (!fWriter.Error().empty()) return;
    fStopped = "the recording in " + fPath + " stopped: the disk fell " +
               std::to_string(fWriter.Waiting() >> 20) + " MB behind the line; the relay goes on";
    fWriter.Put("# " + fStopped + "\n");
}

void RawOutput::OnEnd(TraceClock::time_point AAt, const TraceStats& AStats) {
    if (!fStopped.empty()) return;
    fWriter.Put(std::string(kRawWireBytes) + " " + std::to_string(AStats.BytesToPinPad) + " " +
                std::to_string(AStats.BytesToHost) + "\n" + FormatRawRecord(RelayItem::Ending(AAt)) + "\n");
}

std::string RawOutput::Error() const {
    if (!fStopped.empty()) return fStopped;
    const std::string error = fWriter.Error();
    return error.empty() ? error : error + "; the recording stops there, the relay goes on";
}

} // namespace kestrel::monitor
