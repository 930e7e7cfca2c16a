#pragma once
#include "trace/FrameDecoder.h"
#include "trace/MessageDecoder.h"
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::trace {

enum class Direction { HostToPinPad, PinPadToHost };
using TraceClock = std::chrono::system_clock;
using Millis = std::chrono::milliseconds;

// One thing that happened on the link, as a person reading a trace wants to see it.
struct TraceEvent {
    enum class Kind {
        Command,  // a good command frame
        Response, // a good response frame
        BadFrame, // a frame whose CRC does not match its data
        Ack,
        Nak,
        Can,
        Eot,
        Stray,   // bytes outside any frame, or a frame that never ended
        Aborted, // a waiting command ended with no response: CAN/EOT, or a new command took over
        Timeout, // an ACK, a response or an EOT did not come in time
    };
    Kind What = Kind::Stray;
    Direction Dir = Direction::HostToPinPad;
    TraceClock::time_point At{};
    LinkUnit Unit;              // the bytes behind the event (none for Aborted and Timeout)
    DecodedMessage Message;     // Command and Response
    bool Retry = false;         // the same command frame again, or the response resent after a NAK
    std::optional<Millis> Took; // Response and Aborted: time since the command frame
    std::string Command;        // the command the event belongs to, when one is pending
    std::string Note;           // what happened, in words, when the kind alone does not say
};

const char* KindName(TraceEvent::Kind AKind);

struct TraceStats {
    std::map<std::string, int> Commands; // command frames by name, resends not counted
    std::map<int, int> Errors;           // responses whose return code is not 0, by code
    int Retries = 0;                     // command frames and responses sent again
    int Naks = 0;                        // NAK bytes, both directions
    int BadFrames = 0, Aborts = 0, Timeouts = 0, Strays = 0;
    std::string SlowestCommand;
    Millis SlowestTime{0};
    uint64_t BytesToPinPad = 0, BytesToHost = 0;       // as they crossed the line
    uint64_t RecordedToPinPad = 0, RecordedToHost = 0; // as decoded (and recorded), masking done
};

struct TrackerOptions {
    Millis AckTimeout{2000};       // a command frame unanswered by ACK or NAK
    Millis ResponseTimeout{10000}; // a command that does not wait for the cardholder, unanswered
    Millis EotTimeout{2000};       // CAN not confirmed
    Millis FrameGap{1000};         // a frame in progress whose next byte is this late never ends
};

// Follows both directions of one ABECS link: pairs each response with its command, times the
// PIN pad, spots resends, NAKs, aborts and silences, and counts it all. Feed it the bytes of each
// direction as they pass, with the time they passed; call Tick now and then so silences show.
class LinkTracker {
public:
    explicit LinkTracker(TrackerOptions AOptions = {}) : fOptions(AOptions) {}

    void Feed(Direction ADir, std::string_view ABytes, TraceClock::time_point AAt,
              std::vector<TraceEvent>& AOut);
    void Tick(TraceClock::time_point ANow, std::vector<TraceEvent>& AOut);
    // The earliest time at which Tick would report something (a silence, a frame that never
    // ended), or nothing while no wait is running. Ticking exactly then gives events stamped
    // with that time, so a recording played back reports them as the live session did.
    std::optional<TraceClock::time_point> NextDeadline() const;
    // The input ended: frames in progress become stray bytes.
    void Flush(TraceClock::time_point ANow, std::vector<TraceEvent>& AOut);

    const TraceStats& Stats() const { return fStats; }
    // The command waiting for its response, or empty.
    std::string Pending() const { return fPending ? fPending->Name : std::string(); }

private:
    struct PendingCommand {
        std::string Name;
        ByteString Data;
        TraceClock::time_point SentAt{};
        bool Blocking = false;
        bool Acked = false;
        bool AckLate = false, ResponseLate = false, EotLate = false; // each reported once
        std::optional<TraceClock::time_point> CanAt;
    };

    void OnUnit(Direction ADir, LinkUnit AUnit, TraceClock::time_point AAt, std::vector<TraceEvent>& AOut);
    void OnCommand(TraceEvent& AEvent, std::vector<TraceEvent>& AOut);
    void OnResponse(TraceEvent& AEvent);
    bool ResentAfterDamage(const TraceEvent& AEvent);
    void OnControl(TraceEvent& AEvent, std::vector<TraceEvent>& AOut);
    void Late(const char* AWhat, TraceClock::time_point ANow, std::vector<TraceEvent>& AOut);
    TraceEvent Made(TraceEvent::Kind AKind, Direction ADir, TraceClock::time_point AAt) const;

    TrackerOptions fOptions;
    FrameDecoder fDecoder[2];
    TraceClock::time_point fLastByte[2]{};
    std::optional<PendingCommand> fPending;
    std::optional<ByteString> fLastResponse; // data field, to tell a resend from a new response
    bool fResponseRefused = false;           // the host NAKed the last response
    std::string fAbandoned;                  // a command aborted whose response may still come
    // Per side: its last frame was damaged (and then whether the other side NAKed it).
    bool fDamaged[2]{}, fDamageRefused[2]{};
    TraceStats fStats;
};

} // namespace kestrel::trace
