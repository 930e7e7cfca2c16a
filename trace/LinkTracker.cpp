#include "trace/LinkTracker.h"

#include "pinpad/VexoAbecsTables.h"

#include "util/Strings.h"

#include <cstdio>

namespace kestrel::trace {

namespace {

size_t Side(Direction ADir) {
    return ADir == Direction::HostToPinPad ? 0 : 1;
}

std::string Hex4(uint16_t AValue) {
    char text[8];
    std::snprintf(text, sizeof text, "%04Xh", AValue);
    return text;
}

std::string Seconds(Millis ATime) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ATime.count()) / 1000.0);
    return text;
}

// GKY answers with the key that was pressed (F1 to F4, CLEAR) as its return code: a result, not an error.
bool IsKeyAnswer(const DecodedMessage& AMessage) {
    return AMessage.Name == "GKY" && AMessage.Status >= vexo::ST_F1 && AMessage.Status <= vexo::ST_BACKSP;
}

Millis Between(TraceClock::time_point AFrom, TraceClock::time_point ATo) {
    return std::chrono::duration_cast<Millis>(ATo - AFrom);
}

} // namespace

const char* KindName(TraceEvent::Kind AKind) {
    switch (AKind) {
    case TraceEvent::Kind::Command:
        return "command";
    case TraceEvent::Kind::Response:
        return "response";
    case TraceEvent::Kind::BadFrame:
        return "bad-frame";
    case TraceEvent::Kind::Ack:
        return "ACK";
    case TraceEvent::Kind::Nak:
        return "NAK";
    case TraceEvent::Kind::Can:
        return "CAN";
    case TraceEvent::Kind::Eot:
        return "EOT";
    case TraceEvent::Kind::Stray:
        return "stray";
    case TraceEvent::Kind::Aborted:
        return "aborted";
    case TraceEvent::Kind::Timeout:
        break;
    }
    return "timeout";
}

TraceEvent LinkTracker::Made(TraceEvent::Kind AKind, Direction ADir, TraceClock::time_point AAt) const {
    TraceEvent event;
    event.What = AKind;
    event.Dir = ADir;
    event.At = AAt;
    if (fPending) event.Command = fPending->Name;
    return event;
}

void LinkTracker::Feed(Direction ADir, std::string_view ABytes, TraceClock::time_point AAt,
                       std::vector<TraceEvent>& AOut) {
    const size_t side = Side(ADir);
    (ADir == Direction::HostToPinPad ? fStats.BytesToPinPad : fStats.BytesToHost) += ABytes.size();
    (ADir == Direction::HostToPinPad ? fStats.RecordedToPinPad : fStats.RecordedToHost) += ABytes.size();
    fLastByte[side] = AAt;
    std::vector<LinkUnit> units;
    fDecoder[side].Feed(ABytes, units);
    for (LinkUnit& unit : units)
        OnUnit(ADir, std::move(unit), AAt, AOut);
}

void LinkTracker::Flush(TraceClock::time_point ANow, std::vector<TraceEvent>& AOut) {
    for (const Direction dir : {Direction::HostToPinPad, Direction::PinPadToHost}) {
        std::vector<LinkUnit> units;
        fDecoder[Side(dir)].Flush(units);
        for (LinkUnit& unit : units)
            OnUnit(dir, std::move(unit), ANow, AOut);
    }
}

void LinkTracker::OnUnit(Direction ADir, LinkUnit AUnit, TraceClock::time_point AAt,
                         std::vector<TraceEvent>& AOut) {
    using K = TraceEvent::Kind;
    const bool fromHost = ADir == Direction::HostToPinPad;
    TraceEvent event = Made(K::Stray, ADir, AAt);
    switch (AUnit.What) {
    case LinkUnit::Kind::Frame:
        if (!AUnit.CrcOk) {
            event.What = K::BadFrame;
            event.Note = "CRC " + Hex4(AUnit.CrcGot) + ", expected " + Hex4(AUnit.CrcWant);
            ++fStats.BadFrames;
            break;
        }
        event.What = fromHost ? K::Command : K::Response;
        event.Message = fromHost ? DecodeCommand(AUnit.Data) : DecodeResponse(AUnit.Data);
        if (!event.Message.Ok()) event.Note = event.Message.Error;
        break;
    case LinkUnit::Kind::Ack:
        event.What = K::Ack;
        break;
    case LinkUnit::Kind::Nak:
        event.What = K::Nak;
        break;
    case LinkUnit::Kind::Can:
        event.What = K::Can;
        break;
    case LinkUnit::Kind::Eot:
        event.What = K::Eot;
        break;
    case LinkUnit::Kind::Stray:
        ++fStats.Strays;
        event.Note = std::to_string(AUnit.Raw.size()) + " byte(s) outside a frame";
        break;
    }
    event.Unit = std::move(AUnit);
    // What the unit causes (an abort) is told after the unit itself.
    std::vector<TraceEvent> caused;
    const size_t side = Side(ADir), other = 1 - side;
    if (event.What == K::Command || event.What == K::Response) event.Retry = ResentAfterDamage(event);
    if (event.What == K::Command)
        OnCommand(event, caused);
    else if (event.What == K::Response)
        OnResponse(event);
    else
        OnControl(event, caused);
    if (event.What == K::Nak && fDamaged[other]) fDamageRefused[other] = true;
    if (event.What == K::Command || event.What == K::Response || event.What == K::BadFrame) {
        fDamaged[side] = event.What == K::BadFrame;
        fDamageRefused[side] = false;
    }
    AOut.push_back(std::move(event));
    for (TraceEvent& follow : caused)
        AOut.push_back(std::move(follow));
}

// A good frame right after a damaged one from the same side, which the other side NAKed: the
// sender's resend, even though the damaged copy could not be read.
bool LinkTracker::ResentAfterDamage(const TraceEvent& AEvent) {
    const size_t side = Side(AEvent.Dir);
    return fDamaged[side] && fDamageRefused[side];
}

void LinkTracker::OnCommand(TraceEvent& AEvent, std::vector<TraceEvent>& AOut) {
    const ByteString& data = AEvent.Unit.Data;
    if (AEvent.Retry) {
        AEvent.Note = "sent again after the PIN pad's NAK (the first copy was damaged)";
        ++fStats.Retries;
        if (fPending && fPending->Data == data && !fPending->CanAt) {
            fPending->Acked = false;
            fPending->SentAt = AEvent.At;
            return;
        }
    }
    if (fPending && fPending->Data == data && !fPending->CanAt) {
        AEvent.Retry = true;
        AEvent.Note = "sent again";
        ++fStats.Retries;
        fPending->Acked = false;
        fPending->SentAt = AEvent.At;
        return;
    }
    if (fPending && fPending->Blocking && fPending->Acked && !fPending->CanAt) {
        TraceEvent aborted = Made(TraceEvent::Kind::Aborted, AEvent.Dir, AEvent.At);
        aborted.Took = Between(fPending->SentAt, AEvent.At);
        aborted.Note = fPending->Name + " abandoned: a new command arrived while it waited";
        ++fStats.Aborts;
        fAbandoned = fPending->Name;
        AOut.push_back(std::move(aborted));
    }
    PendingCommand pending;
    pending.Name = AEvent.Message.Name;
    pending.Data = data;
    pending.SentAt = AEvent.At;
    pending.Blocking = IsBlockingCommand(pending.Name);
    fPending = std::move(pending);
    fLastResponse.reset();
    fResponseRefused = false;
    AEvent.Command = AEvent.Message.Name;
    ++fStats.Commands[AEvent.Message.Name];
}

void LinkTracker::OnResponse(TraceEvent& AEvent) {
    const ByteString& data = AEvent.Unit.Data;
    if (AEvent.Retry) {
        ++fStats.Retries;
        if (fLastResponse && *fLastResponse == data) {
            AEvent.Note = "sent again after the host's NAK (the first copy was damaged)";
            fResponseRefused = false;
            return;
        }
    }
    if (fLastResponse && *fLastResponse == data && fResponseRefused) {
        AEvent.Retry = true;
        AEvent.Note = "sent again after the host's NAK";
        ++fStats.Retries;
        fResponseRefused = false;
        return;
    }
    fResponseRefused = false;
    const DecodedMessage& message = AEvent.Message;
    if (message.Status > 0 && !IsKeyAnswer(message)) ++fStats.Errors[message.Status];
    if (fPending && (message.Name == fPending->Name || message.Name == "ERR")) {
        if (fPending->CanAt) AEvent.Note = "response to " + fPending->Name + " after the host's CAN";
        AEvent.Command = fPending->Name;
        AEvent.Took = Between(fPending->SentAt, AEvent.At);
        if (*AEvent.Took >= fStats.SlowestTime) {
            fStats.SlowestTime = *AEvent.Took;
            fStats.SlowestCommand = fPending->Name;
        }
        fPending.reset();
    } else if (!fAbandoned.empty() && message.Name == fAbandoned) {
        AEvent.Note = "left over: a response to " + fAbandoned + ", which was aborted";
    } else if (AEvent.Note.empty()) {
        AEvent.Note = fPending ? "does not answer " + fPending->Name : "no command is waiting for it";
    }
    if (AEvent.Retry && AEvent.Note.empty())
        AEvent.Note = "sent again after the host's NAK (the first copy was damaged)";
    fLastResponse = data;
}

void LinkTracker::OnControl(TraceEvent& AEvent, std::vector<TraceEvent>& AOut) {
    using K = TraceEvent::Kind;
    const bool fromHost = AEvent.Dir == Direction::HostToPinPad;
    switch (AEvent.What) {
    case K::Ack:
        if (!fromHost && fPending) fPending->Acked = true;
        break;
    case K::Nak:
        ++fStats.Naks;
        if (fromHost) {
            fResponseRefused = true;
            AEvent.Note = "the host refused the response";
        } else {
            AEvent.Note = "the PIN pad refused the command frame";
        }
        break;
    case K::Can:
        if (fromHost && fPending) {
            fPending->CanAt = AEvent.At;
            AEvent.Note = "the host aborts " + fPending->Name;
        }
        break;
    case K::Eot:
        if (!fromHost && fPending && fPending->CanAt) {
            TraceEvent aborted = Made(K::Aborted, AEvent.Dir, AEvent.At);
            aborted.Took = Between(fPending->SentAt, AEvent.At);
            aborted.Note = fPending->Name + " cancelled by the host (CAN/EOT)";
            ++fStats.Aborts;
            fAbandoned = fPending->Name;
            fPending.reset();
            AOut.push_back(std::move(aborted));
        }
        break;
    default:
        break;
    }
}

void LinkTracker::Tick(TraceClock::time_point ANow, std::vector<TraceEvent>& AOut) {
    for (const Direction dir : {Direction::HostToPinPad, Direction::PinPadToHost}) {
        const size_t side = Side(dir);
        if (!fDecoder[side].InFrame() || Between(fLastByte[side], ANow) < fOptions.FrameGap) continue;
        std::vector<LinkUnit> units;
        fDecoder[side].Flush(units);
        for (LinkUnit& unit : units) {
            OnUnit(dir, std::move(unit), ANow, AOut);
            AOut.back().Note = "a frame that never ended (" + AOut.back().Note + ")";
        }
    }
    if (!fPending) return;
    PendingCommand& p = *fPending;
    const Millis waited = Between(p.SentAt, ANow);
    if (p.CanAt) {
        if (!p.EotLate && Between(*p.CanAt, ANow) >= fOptions.EotTimeout) {
            p.EotLate = true;
            Late("no EOT after the host's CAN", ANow, AOut);
        }
    } else if (!p.Acked) {
        if (!p.AckLate && waited >= fOptions.AckTimeout) {
            p.AckLate = true;
            Late("no ACK or NAK for the command frame", ANow, AOut);
        }
    } else if (!p.Blocking && !p.ResponseLate && waited >= fOptions.ResponseTimeout) {
        p.ResponseLate = true;
        Late("no response", ANow, AOut);
    }
}

std::optional<TraceClock::time_point> LinkTracker::NextDeadline() const {
    std::optional<TraceClock::time_point> next;
    const auto consider = [&next](TraceClock::time_point AAt) {
        if (!next || AAt < *next) next = AAt;
    };
    for (size_t side = 0; side < 2; ++side)
        if (fDecoder[side].InFrame()) consider(fLastByte[side] + fOptions.FrameGap);
    if (!fPending) return next;
    const PendingCommand& p = *fPending;
    if (p.CanAt) {
        if (!p.EotLate) consider(*p.CanAt + fOptions.EotTimeout);
    } else if (!p.Acked) {
        if (!p.AckLate) consider(p.SentAt + fOptions.AckTimeout);
    } else if (!p.Blocking && !p.ResponseLate) {
        consider(p.SentAt + fOptions.ResponseTimeout);
    }
    return next;
}

void LinkTracker::Late(const char* AWhat, TraceClock::time_point ANow, std::vector<TraceEvent>& AOut) {
    TraceEvent event = Made(TraceEvent::Kind::Timeout, Direction::PinPadToHost, ANow);
    event.Took = Between(fPending->SentAt, ANow);
    event.Note = std::string(AWhat) + " to " + fPending->Name + " after " + Seconds(*event.Took);
    ++fStats.Timeouts;
    AOut.push_back(std::move(event));
}

} // namespace kestrel::trace
