#include "cli/CheckSuite.h"

#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsReturnCode.h"
#include "pinpad/VexoAbecsTables.h"

#include <chrono>
#include <cstdio>

namespace kestrel::cli {

namespace {

constexpr int kAckMs = 2000;
// A PIN pad that never falls silent does not hold the run for ever.
constexpr int kSettleMaxMs = 15000;

std::string Reply(const kestrel::trace::DecodedMessage& AMessage) {
    char code[16];
    std::snprintf(code, sizeof code, "%03d", AMessage.Status);
    return AMessage.Name + " " + code;
}

} // namespace

CheckEnv::CheckEnv(const LinkOptions& ALink, CheckCardholder& ACardholder, const PinPadFacts& AFacts,
                   CheckReport& AReport, int ASettleMs)
    : fLink(ALink), fCardholder(ACardholder), fFacts(AFacts), fReport(AReport), fSettleMs(ASettleMs) {}

CheckEnv::~CheckEnv() {
    Close();
}

void CheckEnv::Close() {
    if (fClosed) return;
    fClosed = true;
    // A check that failed may have left a command waiting for the cardholder.
    if (Failed() && fWaiting) CancelLeftovers();
    try {
        Settle();
    } catch (const std::exception& e) {
        fNotePrefix.clear();
        Note(false, std::string("the line could not be watched after the check: ") + e.what());
    }
    if (fRaw) fRaw->Close();
    if (fHost) {
        try {
            fHost->Disable();
        } catch (const std::exception&) {
        }
    }
}

RawLink& CheckEnv::OpenRaw(bool AForget) {
    if (fHost && fHost->IsEnabled()) fHost->Disable();
    if (!fRaw)
        fRaw = std::make_unique<RawLink>([this](bool ASent, const std::string& ALine) { Note(ASent, ALine); },
                                         fLink.Mask);
    if (!fRaw->IsOpen()) {
        fRaw->Open(fLink.Port, fLink.Params);
        if (AForget) fRaw->Forget();
    }
    return *fRaw;
}

RawLink& CheckEnv::Raw() {
    return OpenRaw(true);
}

void CheckEnv::Settle() {
    // Nothing was opened: the check never reached the PIN pad.
    if (!fRaw && !fHost) return;
    RawLink& link = OpenRaw(false);
    link.SetRecording(true);
    fNotePrefix = "after the check: ";
    std::vector<LinkUnit> late;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleMaxMs);
    for (;;) {
        const auto units =
            link.Read(fSettleMs, [](const std::vector<LinkUnit>& AUnits) { return !AUnits.empty(); });
        if (units.empty()) {
            const auto rest = link.Drain(0);
            late.insert(late.end(), rest.begin(), rest.end());
            break;
        }
        late.insert(late.end(), units.begin(), units.end());
        if (std::chrono::steady_clock::now() >= deadline) {
            Note(false, "the line did not fall quiet within " + std::to_string(kSettleMaxMs) + " ms");
            break;
        }
    }
    fNotePrefix.clear();
    if (late.empty()) return;
    std::string what;
    for (const auto& unit : late)
        what += (what.empty() ? "" : "; ") + link.Describe(unit);
    Fail("late bytes after the check ended: " + what);
}

vexo::TVexoAbecsPinPad& CheckEnv::Host() {
    if (fRaw) fRaw->Close();
    if (!fHost) {
        fHost = std::make_unique<vexo::TVexoAbecsPinPad>();
        Configure(*fHost, fLink);
        fHost->SetOnEndCommand([this](vexo::TComponent*) {
            const bool mask = fLink.Mask;
            Note(true, "command " + RawLink::Brief(fHost->Command().AsString(), false, mask));
            if (!fHost->Response().ID().empty())
                Note(false, "response " + RawLink::Brief(fHost->Response().AsString(), true, mask));
        });
    }
    if (!fHost->IsEnabled()) fHost->Enable();
    return *fHost;
}

int CheckEnv::HostStep(const std::function<void()>& AStep) {
    vexo::TVexoAbecsPinPad& host = Host();
    try {
        AStep();
        return host.Response().STAT();
    } catch (const vexo::EVexoAbecsPinPadError& e) {
        if (vexo::IsReturnCodeError(host, e)) return host.Response().STAT();
        Note(false, std::string("no answer: ") + e.ClassName() + ": " + e.Message());
        Fail(e.Message());
        return -1;
    } catch (const std::exception& e) {
        Note(false, std::string("no answer: ") + e.what());
        Fail(e.what());
        return -1;
    }
}

Answer CheckEnv::Ask(const ByteString& AData, int ATimeoutMs) {
    RawLink& link = Raw();
    Answer answer;
    link.SendFrame(AData);
    const auto first = link.ReadOne(kAckMs);
    if (first.empty()) {
        answer.Problem = "no ACK within 2000 ms";
        return answer;
    }
    if (first[0].What == LinkUnit::Kind::Nak) {
        answer.Problem = "the frame was refused with NAK";
        return answer;
    }
    if (first[0].What != LinkUnit::Kind::Ack) {
        answer.Problem = link.Describe(first[0]) + " came instead of ACK";
        return answer;
    }
    answer.Acked = true;
    const int timeout = ATimeoutMs > 0 ? ATimeoutMs : fLink.TimeOutMs;
    const auto units = link.ReadFrame(timeout);
    if (units.empty() || units.back().What != LinkUnit::Kind::Frame) {
        answer.Problem = "no response within " + std::to_string(timeout) + " ms of the ACK";
        return answer;
    }
    const LinkUnit& frame = units.back();
    answer.Frame = frame.Raw;
    if (!frame.CrcOk) {
        answer.Problem = "the response frame came with a wrong CRC";
        return answer;
    }
    answer.Response = kestrel::trace::DecodeResponse(frame.Data);
    if (!answer.Response->Ok()) {
        answer.Problem = "the response cannot be read: " + answer.Response->Error;
        return answer;
    }
    // A frame named after another command answers that command, not this one (ERR answers any).
    const std::string sent = kestrel::trace::DecodeCommand(AData).Name;
    if (answer.Response->Name != sent && answer.Response->Name != "ERR") {
        answer.Problem = link.Describe(frame) + " came where the response to " + sent +
                         " was due: it answers another command";
        answer.Response.reset();
    }
    return answer;
}

bool CheckEnv::Expect(const Answer& AAnswer, const std::string& AName, int ACode, const std::string& AStep) {
    if (!AAnswer.Problem.empty()) {
        Fail(AStep + ": " + AAnswer.Problem);
        return false;
    }
    const auto& response = *AAnswer.Response;
    if (response.Name != AName || response.Status != ACode) {
        char want[16];
        std::snprintf(want, sizeof want, "%03d", ACode);
        Fail(AStep + ": came " + Reply(response) +
             (response.StatusText.empty() ? "" : " (" + response.StatusText + ")") + ", expected " + AName +
             " " + want);
        return false;
    }
    return true;
}

void CheckEnv::CancelLeftovers() {
    if (!fRaw || !fRaw->IsOpen()) return;
    fRaw->SetRecording(false);
    try {
        fRaw->SendBytes(ByteString(1, static_cast<char>(vexo::CAN)), "CAN");
        fRaw->Drain(500);
    } catch (const std::exception&) {
    }
    fRaw->SetRecording(true);
}

void CheckEnv::Note(bool ASent, const std::string& ALine) {
    (ASent ? fReport.Sent : fReport.Got).push_back(fNotePrefix + ALine);
    fReport.Exchange.push_back((ASent ? "-> " : "<- ") + fNotePrefix + ALine);
}

void CheckEnv::Fail(const std::string& ADiagnosis) {
    if (fReport.Status == CheckStatus::Fail) return;
    fReport.Status = CheckStatus::Fail;
    fReport.Diagnosis = ADiagnosis;
}

void CheckEnv::Skip(const std::string& AReason) {
    if (fReport.Status == CheckStatus::Fail) return;
    fReport.Status = CheckStatus::Skip;
    fReport.Diagnosis = AReason;
}

} // namespace kestrel::cli
