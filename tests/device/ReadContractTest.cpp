// One read contract for every kind of port: a silence is "no byte", never a 00h and never an error;
// a NUL that came is a byte; a port that is gone raises, and LinkFaultOf says what an error means.
#include "DeviceTestSupport.h"
#include "device/BlockSerial.h"
#include "device/LinkFault.h"
#include "device/TCPBlockSocket.h"
#include "device/VexoDevice.h"
#include <gtest/gtest.h>
#include <stdexcept>

using namespace vexo;

namespace {

TLinkFault FaultOf(const std::function<void()>& AAction) {
    try {
        AAction();
    } catch (const std::exception& e) {
        return LinkFaultOf(e);
    }
    return TLinkFault::lkNone;
}

// The same steps on every kind whose peer the test can write to and silence.
void ExpectSilenceNulAndBytes(TVexoDevice& ADevice, const std::function<void(const std::string&)>& AWrite) {
    EXPECT_EQ(ADevice.LerByte(100), std::nullopt);
    EXPECT_EQ(ADevice.Ler(100, 0), "");
    AWrite(std::string(1, '\0'));
    EXPECT_EQ(ADevice.LerByte(2000), std::optional<uint8_t>(0));
    // Two asked, one came: nothing within the time, and the one is still there for the next read.
    AWrite("A");
    ByteString got = ADevice.Ler(300, 2);
    EXPECT_LT(got.size(), 2u);
    AWrite("B");
    got += ADevice.Ler(2000, 0);
    got += ADevice.Ler(300, 0);
    EXPECT_EQ(got, "AB");
}

TEST(ReadContract, SerialPortSilenceIsNoByteAndAHangupIsALinkGone) {
    devtest::Pty pty;
    TVexoDevice device;
    device.SetPorta(pty.Name());
    ASSERT_EQ(device.DeviceType(), dtSerial);
    device.Ativar();
    ASSERT_TRUE(device.Serial().RaiseExcept); // the kind's own reads still raise on a timeout
    ExpectSilenceNulAndBytes(device, [&](const std::string& AData) { pty.Write(AData); });
    EXPECT_EQ(device.Serial().RaiseExcept, true);
    pty.CloseMaster();
    EXPECT_EQ(FaultOf([&] { device.LerByte(500); }), TLinkFault::lkLinkGone);
}

TEST(ReadContract, TCPSilenceIsNoByteAndAClosedPeerIsALinkGone) {
    devtest::Listener listener;
    TVexoDevice device;
    device.SetPorta("TCP:127.0.0.1:" + std::to_string(listener.Port()));
    device.Ativar();
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    ExpectSilenceNulAndBytes(device, [&](const std::string& AData) { devtest::SendAll(peer, AData); });
    ::shutdown(peer, SHUT_RDWR);
    EXPECT_EQ(FaultOf([&] { device.LerByte(500); }), TLinkFault::lkLinkGone);
}

TEST(ReadContract, KindsThatReadNothingOrThroughAHookAnswerTheSameWay) {
    TVexoDevice device;
    device.SetPorta("NULL");
    device.Ativar();
    EXPECT_EQ(device.LerByte(100), std::nullopt);
    EXPECT_EQ(device.LeByte(100), 0); // the kind's own read keeps its form
    device.Desativar();

    std::string pending;
    device.SetHookLeString([&](int, int, ByteString& ARetorno) { ARetorno = std::exchange(pending, {}); });
    device.SetPorta("DLL:x");
    device.Ativar();
    EXPECT_EQ(device.LerByte(100), std::nullopt);
    pending = std::string(1, '\0');
    EXPECT_EQ(device.LerByte(100), std::optional<uint8_t>(0));
}

TEST(ReadContract, LinkFaultOfSortsEveryErrorIntoOneSmallSet) {
    EXPECT_EQ(LinkFaultOf(ESerialPortError(ErrTimeout, "t")), TLinkFault::lkTimeout);
    for (int code : {int(ErrFrame), int(ErrOverrun), int(ErrRxOver), int(ErrRxParity)})
        EXPECT_EQ(LinkFaultOf(ESerialPortError(code, "l")), TLinkFault::lkLineError) << code;
    EXPECT_EQ(LinkFaultOf(ESerialPortError(ENODEV, "g")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(ESerialPortError(ErrPortNotOpen, "g")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(ESocketError(WSAETIMEDOUT, "t")), TLinkFault::lkTimeout);
    EXPECT_EQ(LinkFaultOf(ESocketError(WSAECONNRESET, "g")), TLinkFault::lkLinkGone);
    EXPECT_EQ(LinkFaultOf(ELinkError(TLinkFault::lkTimeout, "t")), TLinkFault::lkTimeout);
    EXPECT_EQ(LinkFaultOf(ELinkError(TLinkFault::lkLinkGone, "g")), TLinkFault::lkLinkGone);
    EXPECT_STREQ(ELinkError(TLinkFault::lkLinkGone, "g").ClassName(), "Exception");
    EXPECT_EQ(LinkFaultOf(Exception("Porta não definida")), TLinkFault::lkNone);
    EXPECT_EQ(LinkFaultOf(std::runtime_error("x")), TLinkFault::lkNone);
}

} // namespace
