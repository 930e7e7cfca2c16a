#pragma once
#include "util/Types.h"
#include <cstdint>
#include <string>

namespace vexo {

// What the serial port and the TCP socket have in common: a receive buffer, an error code with its
// text, an optional raise, and the three reads built on one packet read. Each transport supplies the
// packet read and the error it raises.
class TBlockChannel {
public:
    virtual ~TBlockChannel() = default;

    // Raise an error whenever an operation ends with a non-zero LastError.
    bool RaiseExcept = false;
    // Every wait for more data gets the full timeout again; when false the timeout bounds the whole call.
    bool InterPacketTimeout = true;
    // Longest work string of a terminated read (0 = unlimited).
    int MaxLineLength = 0;
    // With a CR LF terminator, any of CR, LF, CR LF or LF CR ends a line.
    bool ConvertLineEnd = false;
    // Bytes received but not yet returned to a caller.
    ByteString LineBuffer;

    int LastError() const { return fLastError; }
    const std::string& LastErrorDesc() const { return fLastErrorDesc; }

    // Whatever arrives within ATimeOut ms (LineBuffer first); empty with a timeout error otherwise.
    virtual ByteString RecvPacket(int ATimeOut) = 0;
    // One byte; 0 when nothing came (after raising when RaiseExcept is set).
    uint8_t RecvByte(int ATimeOut);
    // Exactly ALength bytes; bytes beyond ALength stay in LineBuffer.
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

protected:
    void SetError(int ACode);
    void ClearError() { SetError(0); }
    // Raises the transport's own error class when RaiseExcept is set and LastError is not 0.
    void ExceptCheck();
    [[noreturn]] virtual void RaiseError() = 0;
    virtual std::string ErrorText(int ACode) const = 0;
    // The error code of a terminated read that outgrows MaxLineLength.
    virtual int MaxBufferCode() const = 0;

private:
    int fLastError = 0;
    std::string fLastErrorDesc = "OK";
};

} // namespace vexo
