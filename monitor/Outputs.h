#pragma once
#include "monitor/OutputWriter.h"
#include "monitor/RawRecording.h"
#include "monitor/Session.h"
#include <cstdint>
#include <memory>
#include <string>

namespace kestrel::monitor {

// The event as one JSON object (no line break). Values are rendered as they are, since the
// session masked the bytes already when it masks.
std::string EventJson(const trace::TraceEvent& AEvent);
std::string NoteJson(TraceClock::time_point AAt, const std::string& AText);
// ANotShown: events this output dropped because its reader fell behind.
std::string SummaryJson(TraceClock::time_point AAt, const trace::TraceStats& AStats, uint64_t ANotShown = 0);
// "2024-06-10T14:00:00.123-03:00": local time, as the trace's time stamps are.
std::string IsoTime(TraceClock::time_point AAt);

// The note line of the trace: "10/06 14:00:00:123 == the POS application opened /tmp/pos".
std::string NoteLine(TraceClock::time_point AAt, const std::string& AText);
// "N events not shown: the reader fell behind".
std::string NotShownText(uint64_t ACount);

// How much of an output may wait for its reader before events are dropped from it.
constexpr size_t kTraceBacklog = 1 << 20;
// A recording keeps every byte; it only stops when this much could not be written.
constexpr size_t kRecordingBacklog = 64 << 20;

// What the text outputs share: events written behind the relay, dropped when the reader falls
// behind, and the drop said in the output itself as soon as there is room again.
class QueuedTextOutput : public SessionOutput {
public:
    QueuedTextOutput(int AFd, bool AOwn, std::string AName, size_t ALimit)
        : fWriter(AFd, AOwn, std::move(AName), ALimit) {}
    std::string Error() const override { return fWriter.Error(); }
    uint64_t NotShown() const override { return fDropped; }

protected:
    // One event's text, with its line breaks; ANote turns a drop count into the output's own line.
    void Emit(std::string AText, const std::string& ADropNote);
    // The last words: always queued, the drop note first when one is owed.
    void EmitLast(std::string AText, const std::string& ADropNote);
    uint64_t PendingDrops() const { return fPending; }

private:
    OutputWriter fWriter;
    uint64_t fPending = 0, fDropped = 0;
};

// The readable trace, the summary at the end.
class TraceTextOutput : public QueuedTextOutput {
public:
    // AFd stays the caller's. With AEvents false only the summary is written.
    TraceTextOutput(int AFd, bool AEvents, bool ABytes, size_t ALimit = kTraceBacklog)
        : QueuedTextOutput(AFd, false, "the trace", ALimit), fEvents(AEvents), fBytes(ABytes) {}
    void OnEvent(const trace::TraceEvent& AEvent) override;
    void OnNote(TraceClock::time_point AAt, const std::string& AText) override;
    void OnEnd(TraceClock::time_point AAt, const trace::TraceStats& AStats) override;

private:
    bool fEvents, fBytes;
};

// One JSON object per line: every event, every note, and a summary at the end.
class JsonLinesOutput : public QueuedTextOutput {
public:
    // Raises std::runtime_error when the file cannot be created.
    explicit JsonLinesOutput(const std::string& APath, size_t ALimit = kTraceBacklog);
    void OnEvent(const trace::TraceEvent& AEvent) override;
    void OnNote(TraceClock::time_point AAt, const std::string& AText) override;
    void OnEnd(TraceClock::time_point AAt, const trace::TraceStats& AStats) override;
};

// The raw recording (RawRecording.h), written behind the relay. It keeps every byte: when the
// disk fails, or falls ALimit bytes behind the line, the recording stops there and says why; the
// relay goes on.
class RawOutput : public SessionOutput {
public:
    // Raises std::runtime_error when the file cannot be created.
    RawOutput(const std::string& APath, bool AMasked, int AResponseTimeoutMs,
              size_t ALimit = kRecordingBacklog);
    void OnItem(const RelayItem& AItem) override;
    // The bytes as they crossed the line, then the end record.
    void OnEnd(TraceClock::time_point AAt, const trace::TraceStats& AStats) override;
    std::string Error() const override;

private:
    std::string fPath;
    OutputWriter fWriter;
    std::string fStopped;
};

} // namespace kestrel::monitor
