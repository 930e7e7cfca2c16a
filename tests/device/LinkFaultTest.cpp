// Which failures mean the port is gone, which a timeout or a damaged byte, and which say nothing of the
// link, for every error the device layer raises.
#include "device/LinkFault.h"
#include "device/BlockSerial.h"
#include "device/TCPBlockSocket.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using vexo::LinkFaultOf;
using vexo::TLinkFault;

TEST(LinkFault, ClassifiesTheErrorsOfEveryPortKind) {
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(ENODEV, "No such device")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(EIO, "Input/output error")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(ENXIO, "No such device or address")),
              TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(vexo::ErrTimeout, "Timeout")), TLinkFault::lkTimeout);
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(vexo::ErrFrame, "Frame error")), TLinkFault::lkLineError);
    // A port that is busy or refused was never open: nothing to close.
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(EBUSY, "busy")), TLinkFault::lkNone);
    EXPECT_EQ(LinkFaultOf(vexo::ESerialPortError(ENOENT, "no such port")), TLinkFault::lkNone);

    EXPECT_EQ(LinkFaultOf(vexo::ESocketError(vexo::WSAECONNRESET, "reset")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::ESocketError(vexo::WSAECONNABORTED, "aborted")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::ESocketError(vexo::WSAETIMEDOUT, "timeout")), TLinkFault::lkTimeout);
    EXPECT_EQ(LinkFaultOf(vexo::ESocketError(vexo::WSAECONNREFUSED, "refused")), TLinkFault::lkNone);

    // The USB and Bluetooth kinds raise plain errors.
    EXPECT_EQ(LinkFaultOf(vexo::Exception("Erro 00000013 ao ler a Porta USB /dev/ttyACM0")),
              TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::Exception(std::string("IOException: ") + std::strerror(ECONNRESET))),
              TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(vexo::Exception("Erro TimeOut, ao enviar 9 bytes para USB")),
              TLinkFault::lkTimeout);
    EXPECT_EQ(LinkFaultOf(vexo::Exception("Porta não definida")), TLinkFault::lkNone);
    EXPECT_EQ(LinkFaultOf(vexo::ERangeError()), TLinkFault::lkNone);
    EXPECT_EQ(LinkFaultOf(std::runtime_error("Erro 00000013")), TLinkFault::lkNone);
}

} // namespace
