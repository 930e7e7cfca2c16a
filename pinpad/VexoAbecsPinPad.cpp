#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsReturnCode.h"

#include "device/LinkFault.h"
#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAckTimeOut = 2000;    // ms for the answer byte after a packet
constexpr int kReadSlice = 1000;     // ms of one read while waiting for the response to start
constexpr int kDataTimeOut = 2000;   // ms for each byte inside a response frame
constexpr int kEOTTimeOut = 2000;    // ms for EOT after CAN
constexpr int kPurgePause = 500;     // ms of silence before a purge
constexpr int kMaxSends = 3;         // sends of one packet
constexpr int kMaxFrameFailures = 3; // damaged response frames in a row
constexpr int kMaxCANTries = 3;
// Before a command: what is already on the line is read in reads this short; after an exchange
// that failed, the line must stay silent this long, since the PIN pad may still be answering the
// old command. However much it talks, the new command goes after kQuietLimit.
constexpr int kQuietRead = 1;
constexpr int kSettleSilence = 250;
constexpr int kQuietLimit = 3000;
// The protocol's error answer, which may come for any command.
constexpr std::string_view kErrorAnswer = "ERR";

// The log shows an error by its class name; std::exception has none.
const char* ClassNameOf(const std::exception& AError) {
    const auto* e = dynamic_cast<const Exception*>(&AError);
    return e ? e->ClassName() : "Exception";
}

} // namespace

TVexoAbecsPinPad::TVexoAbecsPinPad(TComponent* AOwner) : TComponent(AOwner) {
    ClearSecureData();
    ClearCapabilities();
    fDevice = std::make_unique<TVexoDevice>(this);
    fDevice->SetName("VexoDevice");
    fCommand = std::make_unique<TVexoAbecsCommand>();
    fResponse = std::make_unique<TVexoAbecsResponse>();
    fIsBusy = false;
}

TVexoAbecsPinPad::~TVexoAbecsPinPad() {
    fOnWriteLog = nullptr;
    fOnStartCommand = nullptr;
    fOnWaitForResponse = nullptr;
    fOnEndCommand = nullptr;
    fOnProgress = nullptr;
    try {
        Disable();
    } catch (...) {
        // Closing a port that has already failed must not stop the component from going away.
    }
}

void TVexoAbecsPinPad::Enable() {
    SetIsEnabled(true);
}

void TVexoAbecsPinPad::Disable() {
    CancelWaiting();
    SetIsEnabled(false);
}

bool TVexoAbecsPinPad::IsEnabled() const {
    return fDevice->Ativo();
}

void TVexoAbecsPinPad::SetIsEnabled(bool AValue) {
    if (fDevice->Ativo() == AValue) return;
    Log(1, std::string("SetIsEnabled( ") + (AValue ? "True" : "False") + " )");
    fDevice->SetAtivo(AValue);
    ClearCapabilities();
    ClearSecureData();
}

void TVexoAbecsPinPad::CancelWaiting() {
    if (!fIsBusy) return;
    Log(1, "  CancelWaiting");
    fIsBusy = false;
}

std::string TVexoAbecsPinPad::Port() const {
    return fDevice->Porta();
}

void TVexoAbecsPinPad::SetPort(const std::string& AValue) {
    fDevice->SetPorta(AValue);
}

void TVexoAbecsPinPad::ClearCapabilities() {
    fPinPadCapabilities = TVexoAbecsPinPadCapabilities{};
}

void TVexoAbecsPinPad::ClearSecureData() {
    fSPEKmod.clear();
    fSPEKpub.clear();
    fPinpadKSec.clear();
}

void TVexoAbecsPinPad::ExecCommand(bool AEvaluateResponse) {
    Log(1, "ExecCommand: " + fCommand->ID());
    if (fOnStartCommand) fOnStartCommand(this);
    fIsBusy = true;
    auto finish = [this] {
        fIsBusy = false;
        if (fOnEndCommand) fOnEndCommand(this);
    };
    try {
        RunPackets(AEvaluateResponse);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TVexoAbecsPinPad::RunPackets(bool AEvaluateResponse) {
    if (fLogLevel >= 4) LogApplicationLayer(*fCommand);
    QuietLine();
    const bool report = fReportProgress && fOnProgress;
    const int total = report ? CountPackets() : 0;
    int done = 0;
    int32_t blockStart = -1;
    while (blockStart < fCommand->Blocks().Count()) {
        fResponse->Clear();
        int nakCount = 0;
        int32_t blocksRead = 0;
        // Until the response is in, a failure may leave the PIN pad still talking.
        fLineUnsettled = true;
        for (;;) {
            blockStart = std::max(blockStart, 0);
            SendCommand(blockStart, blocksRead);
            const uint8_t answer = WaitForACK();
            if (answer == ACK) break;
            if (answer != NAK) DoException("Error reading ACK");
            ++nakCount;
            LogF(3, "      ACK Fail: %d", nakCount);
            if (nakCount >= kMaxSends) DoException("Error reading ACK");
        }
        WaitForResponse();
        fLineUnsettled = false;
        if (AEvaluateResponse) EvaluateResponse();
        if (report && fOnProgress) fOnProgress(this, ++done, total);
        blockStart += blocksRead;
    }
}

int TVexoAbecsPinPad::CountPackets() const {
    int packets = 0;
    int32_t blockStart = -1;
    while (blockStart < fCommand->Blocks().Count()) {
        blockStart = std::max(blockStart, 0);
        int32_t blocksRead = 0;
        fCommand->GetDataPacket(blockStart, blocksRead);
        blockStart += blocksRead;
        ++packets;
    }
    return packets;
}

void TVexoAbecsPinPad::SendCommand(int32_t ABlockStart, int32_t& ABlocksRead) {
    ABlocksRead = 0;
    LogF(3, "  SendCommand: %s, BlockStart: %d", fCommand->ID().c_str(), ABlockStart);
    if (!IsEnabled()) DoException("Communication is not Enabled");
    const TVexoAbecsPacket packet(fCommand->GetDataPacket(ABlockStart, ABlocksRead));
    LogF(3, "    DataPacket, %d Bytes, %d Blocks", static_cast<int>(packet.Data().size()), ABlocksRead);
    const ByteString frame = packet.AsString();
    fDevice->EnviaString(frame);
    LogData(2, "  TX -> ", frame);
}

// Whatever came since the last exchange (a late answer, the rest of a frame given up on, noise) would
// be read as this command's acknowledgement or response.
void TVexoAbecsPinPad::QuietLine() {
    if (!IsEnabled()) return; // the send says so
    const int silence = fLineUnsettled ? kSettleSilence : kQuietRead;
    fLineUnsettled = false;
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kQuietLimit);
    size_t discarded = 0;
    bool quiet = false;
    while (!quiet && Clock::now() < limit) {
        try {
            const ByteString late = fDevice->Ler(silence, 0);
            discarded += late.size();
            quiet = late.empty();
        } catch (const std::exception& e) {
            // What came with a damaged byte is still there and goes with the next read; a port that is
            // gone is not silence.
            if (LinkFaultOf(e) != TLinkFault::lkLineError) throw;
        }
    }
    if (discarded > 0 || !quiet)
        LogF(3, "  QuietLine: %zu Bytes discarded%s", discarded, quiet ? "" : ", the line is still busy");
}

uint8_t TVexoAbecsPinPad::WaitForACK() {
    Log(3, "    WaitForACK");
    const std::optional<uint8_t> answer = fDevice->LerByte(kAckTimeOut);
    // Not the timeout class: hosts read that one as the PIN pad's own "the cardholder took too long".
    if (!answer) DoException("Error reading ACK");
    LogF(2, "    RX <- %d", *answer);
    return *answer;
}

void TVexoAbecsPinPad::WaitForResponse() {
    Log(2, "  WaitForResponse");
    TVexoAbecsPacket packet;
    int failures = 0;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(fTimeOut);
    for (;;) {
        WaitForSYN(deadline);
        try {
            ReadResponseFrame(packet);
        } catch (const std::exception& e) {
            if (Logs(3)) Log(3, TextToAnsi(Format("    %s: %s", ClassNameOf(e), e.what())));
            IgnoreAllBytes(kPurgePause);
            SendNAK();
            if (++failures >= kMaxFrameFailures) {
                LogF(3, "    %d Fails", failures);
                DoException("Error reading Response");
            }
            // The repeated frame gets the whole time again.
            deadline = Clock::now() + std::chrono::milliseconds(fTimeOut);
            continue;
        }
        if (AnswersCommand(packet.Data())) break;
    }
    try {
        fResponse->SetAsString(packet.Data());
    } catch (const EVexoAbecsPinPadError& e) {
        // A good frame whose blocks or items do not add up: logged like any failure of the component.
        DoException(e);
    }
    LogF(2, "  Response.STAT: %d", fResponse->STAT());
    if (fLogLevel >= 4) LogApplicationLayer(*fResponse);
}

// The frame after SYN: data up to ETB, the CRC, the checks. Any failure is a damaged frame.
void TVexoAbecsPinPad::ReadResponseFrame(TVexoAbecsPacket& APacket) {
    ByteString data;
    WaitForDataPacket(data);
    Log(4, "    ReadCRC");
    const ByteString crc = fDevice->Ler(kDataTimeOut, 2);
    LogData(3, "    CRC: ", crc);
    if (crc.size() < 2) throw EVexoAbecsPinPadTimeout("Timeout reading CRC");
    // The packet holds the limit, counted in data bytes: a frame whose escapes doubled it on the wire
    // may still be good.
    ByteString frame;
    frame.reserve(data.size() + 4);
    frame += static_cast<char>(SYN);
    frame += data;
    frame += static_cast<char>(ETB);
    frame += crc;
    APacket.SetAsString(frame);
}

// A good frame that names another command is the late answer to an earlier one: the link needs
// nothing sent for it, and the wait for this command's answer goes on.
bool TVexoAbecsPinPad::AnswersCommand(const ByteString& AData) {
    const ByteString name = AData.substr(0, 3);
    const ByteString wanted = TextToAnsi(fCommand->ID());
    if (name == wanted || name == kErrorAnswer) return true;
    Log(2, "  Answer to another command: " + name + ", waiting for " + wanted);
    return false;
}

void TVexoAbecsPinPad::WaitForSYN(Clock::time_point ADeadline) {
    Log(3, "  WaitForSYN");
    for (;;) {
        if (fCommand->IsBlocking()) {
            if (fOnWaitForResponse) {
                bool cancel = false;
                fOnWaitForResponse(cancel);
                fIsBusy = !cancel;
            }
            if (!fIsBusy) {
                Log(2, "    UserCancelled");
                if (SendCAN()) DoException("Cancelled by User");
                DoException("Error waiting for CAN response");
            }
        } else {
            const Clock::time_point now = Clock::now();
            if (now > ADeadline) DoException(EVexoAbecsPinPadTimeout("Timeout reading Response"));
            LogF(5, "    TL: %.3f sec", std::chrono::duration<double>(ADeadline - now).count());
        }
        const std::optional<uint8_t> b = ReadWaitingByte();
        if (!b) continue;
        LogF(3, "    RX <- %d", *b);
        if (*b == SYN) break;
    }
    Log(4, "  SYN received");
}

// One read slice of the wait for SYN. A port that failed (gone, peer closed) must not read as
// silence: that would keep a blocking command waiting, or spinning, on a dead link for ever. A byte
// that came in damaged is no failure of the port: before SYN it is noise like any other, and the
// wait goes on.
std::optional<uint8_t> TVexoAbecsPinPad::ReadWaitingByte() {
    const Clock::time_point start = Clock::now();
    try {
        if (const std::optional<uint8_t> b = fDevice->LerByte(kReadSlice)) return b;
    } catch (const std::exception& e) {
        if (LinkFaultOf(e) == TLinkFault::lkLineError) {
            if (Logs(3)) Log(3, TextToAnsi(Format("    %s: %s", ClassNameOf(e), e.what())));
            return std::nullopt;
        }
        if (const auto* error = dynamic_cast<const Exception*>(&e)) LogException(*error);
        throw;
    }
    if (!IsEnabled()) DoException("Communication is not Enabled");
    // Kinds that return at once with nothing (the null port, a file) would make this loop spin:
    // give the slice its full length.
    const Clock::time_point end = start + std::chrono::milliseconds(kReadSlice);
    if (Clock::now() < end) std::this_thread::sleep_until(end);
    return std::nullopt;
}

// Bytes are collected as they arrive, still escaped: every data byte may come as two.
void TVexoAbecsPinPad::WaitForDataPacket(ByteString& AData) {
    Log(3, "  WaitForDataPacket");
    AData.clear();
    for (;;) {
        const std::optional<uint8_t> b = fDevice->LerByte(kDataTimeOut);
        // A silence inside a frame damages it; it is never a byte of it.
        if (!b) throw EVexoAbecsPinPadTimeout("Timeout reading Data Packet");
        if (*b == ETB) break;
        if (AData.size() >= 2 * MaxPacketData)
            DoException(Format("Data Packet is Larger than %d", static_cast<int>(MaxPacketData)));
        AData += static_cast<char>(*b);
    }
    LogData(2, "  DataPacket: ", AData);
}

void TVexoAbecsPinPad::EvaluateResponse() {
    const int32_t stat = fResponse->STAT();
    LogF(3, "  EvaluateResponse: %d", stat);
    const std::string message = ReturnCodeErrorMessage(stat);
    if (stat == ST_TIMEOUT) DoException(EVexoAbecsPinPadTimeout(message));
    if (stat != ST_OK) DoException(message);
}

bool TVexoAbecsPinPad::SendCAN() {
    bool confirmed = false;
    for (int tries = 1; !confirmed && tries <= kMaxCANTries; ++tries) {
        LogF(3, "  SendCAN: %d", tries);
        Log(2, "  TX -> CAN");
        fDevice->EnviaByte(CAN);
        try {
            LogF(3, "  Wait %d for EOT", kEOTTimeOut);
            // After a silence the next CAN goes at once; after another byte the line is emptied first.
            if (const std::optional<uint8_t> b = fDevice->LerByte(kEOTTimeOut)) {
                LogF(2, "  RX <- %d", *b);
                if (*b == EOT)
                    confirmed = true;
                else
                    IgnoreAllBytes(kPurgePause);
            }
        } catch (...) {
            // Whatever the PIN pad or the port does here, the next try (or the error) follows.
        }
    }
    return confirmed;
}

void TVexoAbecsPinPad::SendNAK() {
    Log(3, "  SendNAK");
    Log(2, "  TX -> NAK");
    fDevice->EnviaByte(NAK);
}

void TVexoAbecsPinPad::IgnoreAllBytes(int32_t AMilliseconds) {
    LogF(3, "  IgnoreAllBytes( %d )", AMilliseconds);
    // The pause lets the rest of a damaged frame arrive, so that the purge takes all of it.
    std::this_thread::sleep_for(std::chrono::milliseconds(AMilliseconds));
    Log(2, "  TX/RX - Purge");
    fDevice->Limpar();
}

} // namespace vexo
