#include "pinpad/VexoAbecsPinPad.h"

#include "device/TCPBlockSocket.h"
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
// Bytes between SYN and ETB on the wire: every data byte may be escaped into two. The packet then
// holds its unescaped data to MaxPacketData.
constexpr int kMaxDataPacket = 2 * static_cast<int>(MaxPacketData);
constexpr int kMaxSends = 3;         // sends of one packet
constexpr int kMaxFrameFailures = 3; // damaged response frames in a row
constexpr int kMaxCANTries = 3;

// While the response has not started, silence is normal: the port's raise-on-timeout is switched
// off for the wait and restored on every way out.
class TRaiseExceptOff {
public:
    explicit TRaiseExceptOff(TBlockChannel* AChannel) : fChannel(AChannel) {
        if (fChannel) {
            fSaved = fChannel->RaiseExcept;
            fChannel->RaiseExcept = false;
        }
    }
    ~TRaiseExceptOff() {
        if (fChannel) fChannel->RaiseExcept = fSaved;
    }
    TRaiseExceptOff(const TRaiseExceptOff&) = delete;
    TRaiseExceptOff& operator=(const TRaiseExceptOff&) = delete;

private:
    TBlockChannel* fChannel;
    bool fSaved = true;
};

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
    const bool report = fReportProgress && fOnProgress;
    const int total = report ? CountPackets() : 0;
    int done = 0;
    int32_t blockStart = -1;
    while (blockStart < fCommand->Blocks().Count()) {
        fResponse->Clear();
        int nakCount = 0;
        int32_t blocksRead = 0;
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

uint8_t TVexoAbecsPinPad::WaitForACK() {
    Log(3, "    WaitForACK");
    const uint8_t answer = fDevice->LeByte(kAckTimeOut);
    LogF(2, "    RX <- %d", answer);
    return answer;
}

void TVexoAbecsPinPad::WaitForResponse() {
    Log(2, "  WaitForResponse");
    TVexoAbecsPacket packet;
    int failures = 0;
    for (;;) {
        WaitForSYN();
        try {
            ByteString data;
            WaitForDataPacket(data);
            Log(4, "    ReadCRC");
            const ByteString crc = fDevice->LeString(kDataTimeOut, 2, {});
            LogData(3, "    CRC: ", crc);
            ByteString frame;
            frame.reserve(data.size() + 4);
            frame += static_cast<char>(SYN);
            frame += data;
            frame += static_cast<char>(ETB);
            frame += crc;
            packet.SetAsString(frame);
            break;
        } catch (const std::exception& e) {
            const auto* ve = dynamic_cast<const Exception*>(&e);
            if (Logs(3))
                Log(3, TextToAnsi(Format("    %s: %s", ve ? ve->ClassName() : "Exception", e.what())));
            IgnoreAllBytes(kPurgePause);
            SendNAK();
            if (++failures >= kMaxFrameFailures) {
                LogF(3, "    %d Fails", failures);
                DoException("Error reading Response");
            }
        }
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

TBlockChannel* TVexoAbecsPinPad::ActiveChannel() const {
    if (fDevice->IsSerialPort()) return &fDevice->Serial();
    // The socket raises on every silent second; waiting for a cardholder over TCP needs the same
    // quiet reads as the serial port.
    if (fDevice->IsTCPPort()) return &fDevice->Socket();
    return nullptr;
}

void TVexoAbecsPinPad::WaitForSYN() {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(fTimeOut);
    Log(3, "  WaitForSYN");
    const TRaiseExceptOff quiet(ActiveChannel());
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
            if (now > deadline) DoException(EVexoAbecsPinPadTimeout("Timeout reading Response"));
            LogF(5, "    TL: %.3f sec", std::chrono::duration<double>(deadline - now).count());
        }
        const uint8_t b = ReadWaitingByte();
        if (b != 0) LogF(3, "    RX <- %d", b);
        if (b == SYN) break;
    }
    Log(4, "  SYN received");
}

// One read slice of the wait for SYN. A port that failed (gone, peer closed) must not read as
// silence: that would keep a blocking command waiting, or spinning, on a dead link for ever. A byte
// that came in damaged is no failure of the port: before SYN it is noise like any other, and the
// wait goes on.
uint8_t TVexoAbecsPinPad::ReadWaitingByte() {
    const Clock::time_point start = Clock::now();
    const uint8_t b = fDevice->LeByte(kReadSlice);
    if (b != 0) return b;
    if (TBlockChannel* channel = ActiveChannel()) {
        const int error = channel->LastError();
        const bool serial = fDevice->IsSerialPort();
        const int timeoutCode = serial ? static_cast<int>(ErrTimeout) : WSAETIMEDOUT;
        if (serial && TBlockSerial::IsLineError(error)) {
            const ESerialPortError damaged(error, channel->LastErrorDesc());
            LogText(std::string("    ") + damaged.ClassName() + ": " + damaged.Message(), 3);
            return b;
        }
        if (error != 0 && error != timeoutCode) {
            if (serial) DoException(ESerialPortError(error, channel->LastErrorDesc()));
            DoException(ESocketError(error, channel->LastErrorDesc()));
        }
        if (error == 0) return b; // a real 00h byte
    } else if (!IsEnabled()) {
        DoException("Communication is not Enabled");
    }
    // Kinds that return at once with nothing (the null port, a file) would make this loop spin:
    // give the slice its full length.
    const Clock::time_point end = start + std::chrono::milliseconds(kReadSlice);
    if (Clock::now() < end) std::this_thread::sleep_until(end);
    return b;
}

void TVexoAbecsPinPad::WaitForDataPacket(ByteString& AData) {
    Log(3, "  WaitForDataPacket");
    AData.clear();
    for (;;) {
        const uint8_t b = fDevice->LeByte(kDataTimeOut);
        if (b == ETB) break;
        if (AData.size() > static_cast<size_t>(kMaxDataPacket))
            DoException(Format("Data Packet is Larger than %d", kMaxDataPacket));
        AData += static_cast<char>(b);
    }
    LogData(2, "  DataPacket: ", AData);
}

void TVexoAbecsPinPad::EvaluateResponse() {
    const int32_t stat = fResponse->STAT();
    LogF(3, "  EvaluateResponse: %d", stat);
    const std::string message = Format("Error: %d - %s", stat, ReturnStatusMessage(stat).c_str());
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
            const uint8_t b = fDevice->LeByte(kEOTTimeOut);
            LogF(2, "  RX <- %d", b);
            if (b == EOT)
                confirmed = true;
            else
                IgnoreAllBytes(kPurgePause);
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
