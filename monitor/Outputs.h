#pragma once
#include "monitor/RawRecording.h"
#include "monitor/Session.h"
#include <cstdio>
#include <memory>
#include <string>

namespace kestrel::monitor {

// The event as one JSON object (no line break). Values are rendered as they are, since the
// session masked the bytes already when it masks.
std::string EventJson(const trace::TraceEvent& AEvent);
std::string NoteJson(TraceClock::time_point AAt, const std::string& AText);
std::string SummaryJson(TraceClock::time_point AAt, const trace::TraceStats& AStats);
// "2024-06-10T14:00:00.123-03:00": local time, as the trace's time stamps are.
std::string IsoTime(TraceClock::time_point AAt);

// The note line of the trace: "10/06 14:00:00:123 == the POS application opened /tmp/pos".
std::string NoteLine(TraceClock::time_point AAt, const std::string& AText);

// The readable trace, the summary at the end.
class TraceTextOutput : public SessionOutput {
public:
    // AFile stays the caller's. With AEvents false only the summary is written.
    TraceTextOutput(std::FILE* AFile, bool AEvents, bool ABytes)
        : fFile(AFile), fEvents(AEvents), fBytes(ABytes) {}
    void OnEvent(const trace::TraceEvent& AEvent) override;
    void OnNote(TraceClock::time_point AAt, const std::string& AText) override;
    void OnEnd(TraceClock::time_point AAt, const trace::TraceStats& AStats) override;
    void OnBatch() override;
    std::string Error() const override { return fError; }

private:
    void Line(const std::string& AText);

    std::FILE* fFile;
    bool fEvents, fBytes;
    std::string fError;
};

// One JSON object per line: every event, every note, and a summary at the end.
class JsonLinesOutput : public SessionOutput {
public:
    explicit JsonLinesOutput(const std::string& APath); // raises std::runtime_error
    ~JsonLinesOutput() override;
    void OnEvent(const trace::TraceEvent& AEvent) override { Line(EventJson(AEvent)); }
    void OnNote(TraceClock::time_point AAt, const std::string& AText) override { Line(NoteJson(AAt, AText)); }
    void OnEnd(TraceClock::time_point AAt, const trace::TraceStats& AStats) override {
        Line(SummaryJson(AAt, AStats));
    }
    void OnBatch() override;
    std::string Error() const override { return fError; }

private:
    void Line(const std::string& AText);

    std::FILE* fFile = nullptr;
    std::string fPath, fError;
};

// The raw recording (RawRecording.h).
class RawOutput : public SessionOutput {
public:
    RawOutput(const std::string& APath, bool AMasked, int AResponseTimeoutMs)
        : fWriter(APath, AMasked, AResponseTimeoutMs) {}
    void OnItem(const RelayItem& AItem) override { fWriter.Write(AItem); }
    void OnBatch() override { fWriter.Flush(); }
    std::string Error() const override { return fWriter.Error(); }

private:
    RawWriter fWriter;
};

} // namespace kestrel::monitor
