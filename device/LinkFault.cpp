#include "device/LinkFault.h"
#include "device/BlockSerial.h"
#include "device/TCPBlockSocket.h"

namespace vexo {

namespace {

TLinkFault SerialFault(int ACode) {
    if (ACode == ErrTimeout) return TLinkFault::lkTimeout;
    if (TBlockSerial::IsLineError(ACode)) return TLinkFault::lkLineError;
    return TLinkFault::lkLinkGone;
}

} // namespace

TLinkFault LinkFaultOf(const std::exception& AError) {
    if (const auto* link = dynamic_cast<const ELinkError*>(&AError)) return link->Fault();
    if (const auto* serial = dynamic_cast<const ESerialPortError*>(&AError))
        return SerialFault(serial->ErrorCode());
    if (const auto* socket = dynamic_cast<const ESocketError*>(&AError))
        return socket->ErrorCode() == WSAETIMEDOUT ? TLinkFault::lkTimeout : TLinkFault::lkLinkGone;
    return TLinkFault::lkNone;
}

} // namespace vexo
