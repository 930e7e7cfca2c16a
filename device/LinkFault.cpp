#include "device/LinkFault.h"

#include "device/BlockSerial.h"
#include "device/TCPBlockSocket.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace vexo {

namespace {

// Errors of a descriptor whose device went away or whose far end hung up.
constexpr int kGoneErrnos[] = {ENODEV, ENXIO, EIO, EPIPE, ECONNRESET, ENOTCONN, ESHUTDOWN, EBADF};

bool IsGoneErrno(int ACode) {
    for (int code : kGoneErrnos)
        if (code == ACode) return true;
    return false;
}

TLinkFault SerialFault(const ESerialPortError& AError) {
    const int code = AError.ErrorCode();
    if (code == ErrTimeout) return TLinkFault::lkTimeout;
    if (TBlockSerial::IsLineError(code)) return TLinkFault::lkLineError;
    if (code == ErrPortNotOpen || IsGoneErrno(code)) return TLinkFault::lkLinkGone;
    return TLinkFault::lkNone;
}

TLinkFault SocketFault(const ESocketError& AError) {
    switch (AError.ErrorCode()) {
    case WSAETIMEDOUT:
        return TLinkFault::lkTimeout;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
    case WSAEDISCON:
    case WSAENETDOWN:
    case WSAEBADF:
        return TLinkFault::lkLinkGone;
    default:
        return TLinkFault::lkNone;
    }
}

bool StartsWith(const std::string& AText, const std::string& APrefix) {
    return AText.compare(0, APrefix.size(), APrefix) == 0;
}

// The USB kind says "Erro <errno as 8 hex digits> ..." and the Bluetooth kind "IOException: <strerror>";
// both are plain errors, so their texts are all there is to go by.
TLinkFault PlainFault(const std::string& AMessage) {
    for (int code : kGoneErrnos) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "Erro %08X ", static_cast<unsigned>(code));
        if (StartsWith(AMessage, hex)) return TLinkFault::lkLinkGone;
        if (AMessage == std::string("IOException: ") + std::strerror(code)) return TLinkFault::lkLinkGone;
    }
    if (AMessage == std::string("IOException: ") + std::strerror(ETIMEDOUT)) return TLinkFault::lkTimeout;
    if (StartsWith(AMessage, "Erro TimeOut")) return TLinkFault::lkTimeout;
    return TLinkFault::lkNone;
}

} // namespace

TLinkFault LinkFaultOf(const std::exception& AError) {
    if (const auto* serial = dynamic_cast<const ESerialPortError*>(&AError)) return SerialFault(*serial);
    if (const auto* socket = dynamic_cast<const ESocketError*>(&AError)) return SocketFault(*socket);
    if (const auto* own = dynamic_cast<const Exception*>(&AError);
        own && std::string(own->ClassName()) == "Exception")
        return PlainFault(own->Message());
    return TLinkFault::lkNone;
}

} // namespace vexo
