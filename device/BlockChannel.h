#pragma once
#include "util/DeadlineReader.h"
#include "util/Exception.h"
#include "util/Types.h"
#include <chrono>
#include <cstdint>
#include <string>

namespace vexo {

// An error of one transport: its number and text, after the transport's own prefix.
class EChannelError : public Exception {
public:
    const char* ClassName() const noexcept override { return "EChannelError"; }
    int ErrorCode() const noexcept { return fErrorCode; }
    const std::string& ErrorMessage() const noexcept { return fErrorMessage; }

protected:
    EChannelError(const std::string& APrefix, int ACode, std::string AText)
        : Exception(APrefix + " " + std::to_string(ACode) + ": " + AText), fErrorCode(ACode),
          fErrorMessage(std::move(AText)) {}

private:
    int fErrorCode;
    std::string fErrorMessage;
};

// What the serial port and the TCP socket have in common: a receive buffer, an error code with its
// text, an optional raise, the three reads built on one packet read, and the pacing of sends. Each
// transport supplies the packet read and the error it raises.
class TBlockChannel {
public:
    virtual ~TBlockChannel() = default;

    // Raise an error whenever an operation ends with a non-zero LastError.
    bool RaiseExcept = false;
    // Longest work string of a terminated read (0 = unlimited).
    int MaxLineLength = 0;
    // With a CR LF terminator, any of CR, LF, CR LF or LF CR ends a line.
    bool ConvertLineEnd = false;
    // Bytes per second, 0 = unlimited.
    int MaxSendBandwidth = 0;
    int MaxRecvBandwidth = 0;
    // Bytes received but not yet returned to a caller.
    ByteString LineBuffer;

    int LastError() const { return fLastError; }
    const std::string& LastErrorDesc() const { return fLastErrorDesc; }
    // The code LastError takes when a read saw nothing within its timeout.
    virtual int TimeoutCode() const = 0;
    // Raises the transport's own error class for LastError, whatever RaiseExcept says.
    [[noreturn]] void RaiseLastError();

    // Whatever arrives within ATimeOut ms (LineBuffer first); empty with a timeout error otherwise.
    virtual ByteString RecvPacket(int ATimeOut) = 0;
    // One byte; 0 when nothing came (after raising when RaiseExcept is set).
    uint8_t RecvByte(int ATimeOut);
    // Exactly ALength bytes; bytes beyond ALength stay in LineBuffer. The timeout bounds the whole
    // read, however the bytes trickle in; so it does for a terminated read.
    ByteString RecvBufferStr(int ALength, int ATimeOut);
    // The bytes before ATerminator, which is consumed; what follows stays in LineBuffer.
    ByteString RecvTerminated(int ATimeOut, const ByteString& ATerminator);
    // A line ended by CR LF.
    ByteString RecvString(int ATimeOut) { return RecvTerminated(ATimeOut, "\r\n"); }

    void SendString(const ByteString& AData) { SendBuffer(AData.data(), static_cast<int>(AData.size())); }
    void SendByte(uint8_t AByte) {
        const char c = static_cast<char>(AByte);
        SendBuffer(&c, 1);
    }
    virtual int SendBuffer(const char* AData, int ALength) = 0;

    // Bytes waiting in the platform's queue / in LineBuffer first.
    virtual int WaitingData() = 0;
    int WaitingDataEx() { return LineBuffer.empty() ? WaitingData() : static_cast<int>(LineBuffer.size()); }
    // Discards what is buffered and what is waiting to be read.
    virtual void Purge() = 0;

protected:
    using Clock = std::chrono::steady_clock;
    // A deadline AMs from now; a negative AMs is now.
    static Clock::time_point After(int AMs);
    // What is left until ADeadline, never below 0, rounded up as TDeadline does.
    static int RemainingMs(Clock::time_point ADeadline);

    // Holds a send of ALength bytes back until the previous one has had its time at MaxSendBandwidth.
    void BandwidthWait(int ALength);
    // Told how long BandwidthWait is about to hold a send back.
    virtual void BandwidthWaiting(int /*AMs*/) {}

    void SetError(int ACode);
    // The code's own text with a detail that says what was wrong.
    void SetError(int ACode, const std::string& ADetail);
    void ClearError() { SetError(0); }
    // Raises the transport's own error class when RaiseExcept is set and LastError is not 0.
    void ExceptCheck();
    // A channel whose far end has gone can never deliver again; answering "no data" would let a caller
    // that polls with RaiseExcept off spin for ever, so this sets ACode and raises whatever
    // RaiseExcept says.
    [[noreturn]] void RaiseGone(int ACode);
    [[noreturn]] virtual void RaiseError() = 0;
    virtual std::string ErrorText(int ACode) const = 0;
    // The error code of a terminated read that outgrows MaxLineLength.
    virtual int MaxBufferCode() const = 0;

private:
    // A reader whose steps are this channel's packet reads; it starts with LineBuffer's bytes.
    TDeadlineReader PacketReader();
    // ARead on a PacketReader; what that reader still holds goes back in front of LineBuffer.
    template <class F> TReadResult ReadThrough(F ARead);

    Clock::time_point fNextSend{};
    int fLastError = 0;
    std::string fLastErrorDesc = "OK";
};

} // namespace vexo
