#include "sim/Simulator.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/ValueText.h"
#include "util/Strings.h"
#include <thread>

namespace kestrel::sim {

using namespace vexo;
using kestrel::trace::LinkUnit;
using kestrel::trace::SpacedHex;

namespace {

constexpr int kMaxSends = 3;
constexpr Millis kIdlePoll{250};
const ByteString kNoise("\x00\xFF\x41\x06\x33\x80\x7E", 7);

} // namespace

Simulator::Simulator(Channel& AChannel, PinPadModel& AModel, Cardholder& ACardholder, FaultPlan& AFaults)
    : fChannel(AChannel), fModel(AModel), fCardholder(ACardholder), fFaults(AFaults) {}

void Simulator::Trace(const std::string& ALine) const {
    if (fTrace) fTrace(ALine);
}

void Simulator::Run(const std::atomic<bool>& AStop) {
    fStop = &AStop;
    NotifyIfChanged();
    while (!AStop) {
        const auto now = Clock::now();
        const auto wait = std::chrono::ceil<Millis>(NextWake(now) - now);
        ByteString bytes;
        const auto result = fChannel.Read(bytes, std::max(wait, Millis(0)));
        if (AStop) break;
        try {
            if (!bytes.empty()) Receive(bytes);
            Serve();
        } catch (const std::exception& e) {
            // A PIN pad does not die on a host's bytes: say what went wrong and go on.
            Trace(std::string("   internal error: ") + e.what());
        }
        NotifyIfChanged();
        if (result == Channel::ReadResult::Closed) {
            Trace("line closed");
            break;
        }
    }
}

void Simulator::Receive(const ByteString& ABytes) {
    if (fByteTap) fByteTap(true, ABytes);
    Feed(ABytes);
}

void Simulator::Serve() {
    const auto now = Clock::now();
    if (fDecoder.InFrame() && now - fLastRx > fInterByte) EndIncompleteFrame();
    if (fEotDue && now >= *fEotDue) {
        fEotDue.reset();
        SendByte(EOT, "EOT");
    }
    while (!fScheduled.empty() && now >= fScheduled.front().first) {
        const ByteString data = std::move(fScheduled.front().second);
        fScheduled.pop_front();
        UpdateProcessing();
        Transmit(data, true);
    }
    if (fAnswering && now >= fAnswering->Due) {
        const SimReply reply = std::move(fAnswering->Reply);
        fAnswering.reset();
        UpdateProcessing();
        SendReply(reply);
        UpdateProcessing();
    }
    ServeLive();
    ServeCardholder(now);
}

void Simulator::NotifyIfChanged() {
    const uint64_t revision = fModel.Revision();
    if (revision == fSeenRevision) return;
    fSeenRevision = revision;
    if (fOnChange) fOnChange();
}

// The display says PROCESSING while a response is still to go out.
void Simulator::UpdateProcessing() {
    if (fAnswering)
        fModel.SetProcessing(fAnswering->Reply.Name);
    else
        fModel.SetProcessing(fScheduled.empty() ? std::string() : fScheduled.front().second.substr(0, 3));
}

Simulator::Clock::time_point Simulator::NextWake(Clock::time_point ANow) const {
    auto wake = ANow + kIdlePoll;
    if (fDecoder.InFrame()) wake = std::min(wake, fLastRx + fInterByte + Millis(1));
    if (!fScheduled.empty()) wake = std::min(wake, fScheduled.front().first);
    if (fEotDue) wake = std::min(wake, *fEotDue);
    if (fAnswering) wake = std::min(wake, fAnswering->Due);
    if (fDelayUntil) wake = std::min(wake, *fDelayUntil);
    if (const auto deadline = fModel.Deadline()) wake = std::min(wake, *deadline);
    return wake;
}

void Simulator::Feed(const ByteString& ABytes) {
    fLastRx = Clock::now();
    std::vector<LinkUnit> units;
    fDecoder.Feed(ABytes, units);
    for (const LinkUnit& unit : units)
        OnUnit(unit);
}

void Simulator::OnUnit(const LinkUnit& AUnit) {
    switch (AUnit.What) {
    case LinkUnit::Kind::Frame:
        OnFrame(AUnit.Raw);
        break;
    case LinkUnit::Kind::Can:
        Trace("<- CAN");
        OnCan();
        break;
    case LinkUnit::Kind::Nak:
        Trace("<- NAK");
        OnNak();
        break;
    case LinkUnit::Kind::Stray:
        if (AUnit.Abandoned == LinkUnit::Cut::TooLong) {
            OnBadFrame("frame longer than a packet", AUnit.Raw);
            break;
        }
        if (AUnit.Abandoned == LinkUnit::Cut::Restarted) {
            // A SYN cannot occur inside escaped data: the host started over, nothing to answer.
            Trace("<- frame restarted after " + std::to_string(AUnit.Raw.size()) + " bytes");
            break;
        }
        [[fallthrough]];
    default: // ACK, EOT and anything outside a frame mean nothing to a PIN pad
        Trace("<- noise " + SpacedHex(AUnit.Raw));
        break;
    }
}

void Simulator::OnFrame(const ByteString& AFrame) {
    TVexoAbecsPacket packet;
    try {
        packet.SetAsString(AFrame);
    } catch (const Exception& e) {
        Trace("<- bad frame (" + e.Message() + "): " + SpacedHex(AFrame));
        SendByte(NAK, "NAK");
        return;
    }
    Trace("<- " + EscaparNaoImprimiveis(packet.Data()) + "  [" + SpacedHex(AFrame) + "]");
    OnCommand(packet.Data());
}

void Simulator::OnBadFrame(const std::string& AWhy, const ByteString& AFrame) {
    Trace("<- bad frame (" + AWhy + "): " + SpacedHex(AFrame));
    SendByte(NAK, "NAK");
}

// The host stopped in the middle of a frame: what it sent is damaged.
void Simulator::EndIncompleteFrame() {
    std::vector<LinkUnit> units;
    fDecoder.Flush(units);
    for (const LinkUnit& unit : units)
        OnBadFrame("incomplete frame", unit.Raw);
}

void Simulator::OnCommand(const ByteString& AData) {
    const std::string name = AData.substr(0, 3);
    const std::optional<ScenarioMatch> match = PeekScenario(AData);
    const ActiveFaults faults = fFaults.Take(name);
    if (faults.NoAck) {
        Trace("   fault: no answer to this frame");
        return;
    }
    if (faults.Nak) {
        Trace("   fault: refusing a good frame");
        SendByte(NAK, "NAK");
        return;
    }
    fScenarioFaulted = false;
    // A new command ends the one the PIN pad is busy with: that one gets no response.
    if (fModel.Waiting()) Trace("   " + fModel.WaitingFor() + " abandoned for the new command");
    if (fAnswering) Trace("   " + fAnswering->Reply.Name + " abandoned for the new command");
    fModel.Abandon();
    fAnswering.reset();
    fLast.reset();
    fDelayUntil.reset();
    fWalkedAway = false;
    fCurrent = faults;
    // Busy from the moment the frame is taken, so a host that has the ACK finds it so.
    fModel.SetProcessing(name);
    SendByte(ACK, "ACK");
    NotifyIfChanged();
    SimCommand command;
    std::optional<SimReply> reply;
    if (!SimCommand::Parse(AData, command)) {
        // A PIN pad cannot guess at a parameter that is cut short or a block that does not add up.
        Trace("   malformed command, " + command.Fault);
        reply = SimReply(name, ST_INVPAR);
    } else if (match)
        reply = RunScenario(*match, command);
    else
        reply = fModel.Execute(command);
    CountCommand();
    if (!reply) {
        UpdateProcessing();
        Trace("   " + name + " waits for the cardholder");
        return;
    }
    const int ruleDelay = match ? match->Step.DelayMs : 0;
    if (const int delay = ruleDelay > 0 ? ruleDelay : fModel.AnswerDelay(command); delay > 0) {
        const auto span = std::chrono::duration<double, std::milli>(delay * fModel.TimeScale());
        fAnswering = Answering{Clock::now() + std::chrono::duration_cast<Clock::duration>(span), *reply};
        Trace("   " + name + " takes " + std::to_string(int(span.count())) + " ms to answer");
        UpdateProcessing();
        return;
    }
    // Done before the response leaves, so a host that has it never sees the PIN pad busy.
    UpdateProcessing();
    SendReply(*reply);
    UpdateProcessing();
}

std::optional<ScenarioMatch> Simulator::PeekScenario(const ByteString& AData) {
    SimCommand command;
    if (!fScenario || !SimCommand::Parse(AData, command)) return std::nullopt;
    std::optional<ScenarioMatch> match = fScenario->Peek(command);
    // The rule's fault goes into the plan once, before the frame draws its faults; a resent frame
    // finds what is left of it there.
    if (match && match->Step.Fault && !fScenarioFaulted) {
        FaultRule fault = *match->Step.Fault;
        if (fault.Command.empty()) fault.Command = command.Name;
        fFaults.Add(fault);
        fScenarioFaulted = true;
    }
    return match;
}

std::optional<SimReply> Simulator::RunScenario(const ScenarioMatch& AMatch, const SimCommand& ACommand) {
    fScenario->Commit(AMatch);
    const ScenarioStep& step = AMatch.Step;
    Trace("   scenario: " + AMatch.Describe() +
          (step.Reply ? " answers " + ACommand.Name : " lets the PIN pad answer"));
    if (!step.Display.empty()) fModel.ShowLines(step.Display);
    if (!step.ShowMedia.empty() && !fModel.ShowMedia(step.ShowMedia))
        Trace("   scenario: no media file " + step.ShowMedia + " to show");
    if (step.After) {
        fFaults.Add(*step.After);
        Trace("   scenario: from now on " + step.After->Describe());
    }
    if (!step.Reply) return fModel.Execute(ACommand);
    if (step.WaitFor) {
        fModel.HoldFor(ACommand.Name, *step.WaitFor, *step.Reply);
        return std::nullopt;
    }
    return step.Reply;
}

void Simulator::SendReply(const SimReply& AReply) {
    if (fCurrent.Silent) {
        Trace("   fault: response " + AReply.DataField().substr(0, 6) + " withheld");
        return;
    }
    ByteString data = AReply.DataField();
    if (fCurrent.ShortTlv > 0) data = CutLastTLVShort(AReply, fCurrent.ShortTlv);
    if (fCurrent.Oversize) {
        SimReply bigger = AReply;
        while (bigger.DataField().size() <= MaxPacketData + 8)
            bigger.AddData(ByteString(999, 'X'));
        data = bigger.DataField();
    } else if (data.size() > MaxPacketData) {
        // More than a packet can carry: a PIN pad says so rather than sending it.
        data = SimReply(AReply.Name, ST_RSPOVRFL).DataField();
    }
    if (fCurrent.LateMs > 0) {
        Trace("   fault: response held back " + std::to_string(fCurrent.LateMs) + " ms");
        fScheduled.emplace_back(Clock::now() + Millis(fCurrent.LateMs), data);
        return;
    }
    Transmit(data, true);
}

// The last block loses its last bytes while the length of the item they belonged to stays: the
// response of a PIN pad that lost part of a value on its way out.
ByteString Simulator::CutLastTLVShort(const SimReply& AReply, int ABytes) const {
    if (AReply.Blocks.empty() || AReply.Blocks.back().empty()) {
        Trace("   fault: no TLV item to cut short in " + AReply.Name);
        return AReply.DataField();
    }
    SimReply cut = AReply;
    ByteString& last = cut.Blocks.back();
    const size_t lose = std::min(last.size(), static_cast<size_t>(ABytes));
    last.resize(last.size() - lose);
    Trace("   fault: the last TLV item of " + AReply.Name + " cut " + std::to_string(lose) + " bytes short");
    return cut.DataField();
}

void Simulator::Transmit(const ByteString& AData, bool AFirst) {
    fLast = AData;
    fSends = AFirst ? 1 : fSends + 1;
    ByteString frame = TVexoAbecsPacket(AData).AsString();
    std::string what = "-> " + EscaparNaoImprimiveis(AData);
    if (fCurrent.BadCrc > 0) {
        --fCurrent.BadCrc;
        frame.back() = static_cast<char>(frame.back() ^ 0x5A);
        what += " (fault: bad CRC)";
    }
    if (AFirst && fCurrent.Noise > 0) {
        ByteString noise;
        for (int i = 0; i < fCurrent.Noise; ++i)
            noise += kNoise[size_t(i) % kNoise.size()];
        WriteRaw(noise, "-> noise " + SpacedHex(noise));
    }
    if (fCurrent.Hangup) {
        fCurrent.Hangup = false;
        WriteRaw(frame.substr(0, frame.size() / 2), what + " (fault: cut in half)");
        // Give the half a moment on the wire: a pseudo-terminal throws away what the host has
        // not read yet when its master side goes.
        Pause(Millis(200));
        Trace("   fault: line dropped");
        fLast.reset();
        fChannel.Drop();
        Trace("   line is back at " + fChannel.Describe());
        return;
    }
    if (fCurrent.SplitMs > 0) {
        const size_t third = std::max<size_t>(1, frame.size() / 3);
        Trace(what + " (fault: split, " + std::to_string(fCurrent.SplitMs) + " ms pauses)");
        for (size_t p = 0; p < frame.size() && !*fStop; p += third) {
            if (p > 0) Pause(Millis(fCurrent.SplitMs));
            Send(frame.substr(p, third));
        }
        return;
    }
    WriteRaw(frame, what + "  [" + SpacedHex(frame) + "]");
}

void Simulator::WriteRaw(const ByteString& ABytes, const std::string& AWhat) {
    Trace(AWhat);
    if (!Send(ABytes)) Trace("   (nobody is listening)");
}

bool Simulator::Send(std::string_view ABytes) {
    if (fByteTap) fByteTap(false, ByteString(ABytes));
    return fChannel.Write(ABytes);
}

void Simulator::SendByte(unsigned char AByte, const char* AName) {
    WriteRaw(ByteString(1, static_cast<char>(AByte)), std::string("-> ") + AName);
}

void Simulator::Pause(Millis ATime) {
    const auto until = Clock::now() + ATime;
    while (!*fStop && Clock::now() < until)
        std::this_thread::sleep_for(std::min<Clock::duration>(Millis(50), until - Clock::now()));
}

void Simulator::OnNak() {
    if (!fLast) {
        Trace("   nothing to send again");
        return;
    }
    if (fModel.Breaks().IgnoreNak) {
        Trace("   rule broken on purpose: NAK ignored, no resend");
        return;
    }
    if (fSends >= kMaxSends) {
        Trace("   response already sent " + std::to_string(fSends) + " times; giving up");
        fLast.reset();
        return;
    }
    Transmit(*fLast, false);
}

void Simulator::OnCan() {
    const Profile::RuleBreaks breaks = fModel.Breaks();
    // What CAN aborts: the response it would have had, for a PIN pad that sends it anyway.
    std::optional<ByteString> aborted;
    if (fAnswering)
        aborted = fAnswering->Reply.DataField();
    else if (fModel.Waiting())
        aborted = SimReply(fModel.WaitingFor(), ST_CANCEL).DataField();
    fScheduled.clear();
    fAnswering.reset();
    UpdateProcessing();
    fLast.reset();
    fDelayUntil.reset();
    if (fModel.Waiting()) Trace("   " + fModel.WaitingFor() + " cancelled by the host");
    fModel.Abandon();
    if (fCurrent.NoEot) {
        Trace("   fault: CAN not confirmed");
    } else if (breaks.NoEotAfterCan) {
        Trace("   rule broken on purpose: CAN not confirmed");
    } else if (breaks.LateEot) {
        Trace("   rule broken on purpose: EOT held back " + std::to_string(kLateEot.count()) + " ms");
        fEotDue = Clock::now() + kLateEot;
    } else {
        SendByte(EOT, "EOT");
    }
    if (aborted && breaks.LeftoverAfterAbort) {
        Trace("   rule broken on purpose: the aborted command answers after all");
        Transmit(*aborted, true);
    } else if (aborted && breaks.AnswerAfterEot && aborted->starts_with("GKY")) {
        Trace("   rule broken on purpose: the aborted command answers " +
              std::to_string(kAnswerAfterEot.count()) + " ms after the EOT");
        fScheduled.emplace_back(Clock::now() + kAnswerAfterEot, *aborted);
    }
}

void Simulator::ServeCardholder(Clock::time_point ANow) {
    if (!fModel.Waiting()) return;
    if (const auto deadline = fModel.Deadline(); deadline && ANow >= *deadline) {
        Trace("   the PIN pad's wait for " + fModel.WaitingFor() + " ran out");
        fDelayUntil.reset();
        SendReply(fModel.Expire());
        return;
    }
    while (!fWalkedAway) {
        const auto action = fCardholder.Front();
        if (!action) return;
        if (action->What == CardholderAction::Kind::Delay) {
            if (!fDelayUntil) {
                const auto span =
                    std::chrono::duration<double, std::milli>(action->Number * fModel.TimeScale());
                fDelayUntil = ANow + std::chrono::duration_cast<Clock::duration>(span);
            }
            if (ANow < *fDelayUntil) return;
            fDelayUntil.reset();
            fCardholder.Pop();
            continue;
        }
        fCardholder.Pop();
        if (action->What == CardholderAction::Kind::Never) {
            Trace("   cardholder: walks away from " + fModel.WaitingFor());
            fWalkedAway = true;
            return;
        }
        if (OfferAction(*action)) return;
    }
}

void Simulator::ServeLive() {
    if (!fLive) return;
    while (const auto action = fLive->Take()) {
        using Kind = CardholderAction::Kind;
        if (action->What == Kind::Delay || action->What == Kind::Never) {
            Trace("   cardholder: " + action->Describe() + " only makes sense in a script; ignored");
            continue;
        }
        OfferAction(*action);
    }
}

// True when the action ended the command that waited for the cardholder, and its response went.
bool Simulator::OfferAction(const CardholderAction& AAction) {
    std::string note;
    const std::string waiting = fModel.WaitingFor();
    const auto reply = fModel.Offer(AAction, note);
    if (!reply) {
        Trace("   cardholder: " + note);
        return false;
    }
    Trace("   cardholder: " + AAction.Describe() + " ends " + waiting);
    SendReply(*reply);
    return true;
}

void Simulator::CountCommand() {
    std::lock_guard lock(fCountMutex);
    ++fHandled;
    fCountChanged.notify_all();
}

size_t Simulator::CommandsHandled() const {
    std::lock_guard lock(fCountMutex);
    return fHandled;
}

bool Simulator::WaitForCommands(size_t ACount, Millis ATimeout) const {
    std::unique_lock lock(fCountMutex);
    return fCountChanged.wait_for(lock, ATimeout, [&] { return fHandled >= ACount; });
}

} // namespace kestrel::sim
