#pragma once
#include "device/BlockChannel.h"
#include <cstdint>
#include <functional>
#include <string>

namespace vexo {

// Error codes of the serial port; any other code is an errno value.
enum : int {
    ErrAlreadyOwned = 9991,
    ErrAlreadyInUse = 9992,
    ErrWrongParameter = 9993,
    ErrPortNotOpen = 9994,
    ErrNoDeviceAnswer = 9995,
    ErrMaxBuffer = 9996,
    ErrTimeout = 9997,
    ErrNotRead = 9998,
    ErrFrame = 9999,
    ErrOverrun = 10000,
    ErrRxOver = 10001,
    ErrRxParity = 10002,
    ErrTxFull = 10003,
};

// "Communication error %d: %s"
class ESerialPortError : public EChannelError {
public:
    ESerialPortError(int ACode, std::string AText)
        : EChannelError("Communication error", ACode, std::move(AText)) {}
    const char* ClassName() const noexcept override { return "ESerialPortError"; }
};

enum THookSerialReason : uint8_t {
    HR_SerialClose,
    HR_Connect,
    HR_CanRead,
    HR_CanWrite,
    HR_ReadCount,
    HR_WriteCount,
    HR_Wait,
};

class TBlockSerial;
using THookSerialStatus =
    std::function<void(TBlockSerial* Sender, THookSerialReason Reason, const std::string& Value)>;

// A blocking serial port over termios. The descriptor is non-blocking; every wait is a poll()
// bounded by the caller's timeout or DeadlockTimeout.
class TBlockSerial : public TBlockChannel {
public:
    TBlockSerial();
    ~TBlockSerial() override;
    TBlockSerial(const TBlockSerial&) = delete;
    TBlockSerial& operator=(const TBlockSerial&) = delete;

    // ms one write may wait for the port before it is abandoned.
    int DeadlockTimeout = 30000;
    // Require DSR / CTS asserted before every transfer.
    bool TestDSR = false;
    bool TestCTS = false;
    // ms for modem commands.
    int AtTimeout = 1000;
    THookSerialStatus OnStatus;

    static constexpr int SizeRecvBuffer = 4096;

    // COMn names /dev/ttyS(n-1), \\.\name names /dev/name; anything else is opened as given.
    static std::string NomeDispositivo(const std::string& AComPort);
    static std::string ErrorDescription(int ACode);
    // A byte received damaged (framing, overrun, parity: a BREAK, a device powering up or down). The
    // line is still there; only that byte is in doubt.
    static bool IsLineError(int ACode) noexcept {
        return ACode == ErrFrame || ACode == ErrOverrun || ACode == ErrRxOver || ACode == ErrRxParity;
    }

    void Connect(const std::string& AComPort);
    void Config(int ABaud, int ABits, char AParity, int AStop, bool ASoftFlow, bool AHardFlow);
    void CloseSocket();

    int Handle() const { return fHandle; }
    bool IsOpen() const { return fHandle >= 0; }
    const std::string& Device() const { return fDevice; }
    bool InstanceActive() const { return fInstanceActive; }

    int SendBuffer(const char* AData, int ALength) override;
    ByteString RecvPacket(int ATimeOut) override;
    int WaitingData() override;
    int TimeoutCode() const override { return ErrTimeout; }
    // True at once when bytes are queued; else waits up to ATimeOut ms for one.
    bool CanRead(int ATimeOut);
    // Waits up to ATimeOut ms until the output queue has drained.
    bool CanWrite(int ATimeOut);
    void Purge() override;
    void Flush();
    void SendBreak(int ADuration);

    void SetRTS(bool AValue);
    void SetDTR(bool AValue);
    bool CTS();
    bool DSR();
    bool Carrier();
    bool Ring();
    void EnableRTSToggle(bool AValue) { fRTSToggle = AValue; }

    // Sends ACommand + CR and collects lines until "OK" or "ERROR".
    ByteString ATCommand(const ByteString& ACommand);
    // Collects lines until one begins with "CONNECT", or a failure line.
    ByteString ATConnect(const ByteString& ACommand);

protected:
    [[noreturn]] void RaiseError() override;
    std::string ErrorText(int ACode) const override { return ErrorDescription(ACode); }
    int MaxBufferCode() const override { return ErrMaxBuffer; }
    void BandwidthWaiting(int AMs) override { DoStatus(HR_Wait, std::to_string(AMs)); }

private:
    bool PreTransfer();
    bool ReadQueued(ByteString& AData);
    void CheckLineErrors();
    int ModemStatus();
    void SetModemLine(int ALine, bool AValue);
    void DoStatus(THookSerialReason AReason, const std::string& AValue);

    int fHandle = -1;
    std::string fDevice;
    bool fInstanceActive = false;
    bool fRTSToggle = false;
    int fModemWord = 0;
    struct TLineCounters {
        int frame = 0, overrun = 0, parity = 0, bufOverrun = 0;
    } fCounters;
};

} // namespace vexo
