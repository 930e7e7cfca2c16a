#include "DeviceTestSupport.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceTCP.h"
#include <fcntl.h>
#include <gtest/gtest.h>

using namespace vexo;

namespace {

const auto SocketErrorOf = devtest::CodedErrorOf<ESocketError>;

std::string Porta(int APort) {
    return "TCP:127.0.0.1:" + std::to_string(APort);
}

struct TCPFixture : ::testing::Test {
    devtest::Listener listener;
    TVexoDevice device;
    int peer = -1;
    void SetUp() override {
        device.SetPorta(Porta(listener.Port()));
        device.Ativar();
        peer = listener.Accept();
        ASSERT_GE(peer, 0);
    }
};

} // namespace

TEST(TCPPortName, HostAndPortWithTheirDefaults) {
    const struct {
        std::string name, host, port;
    } rows[] = {
        {"TCP:192.168.0.10", "192.168.0.10", "9100"},
        {"TCP:10.0.0.7:4001", "10.0.0.7", "4001"},
        {"tcp:host:123456", "host", "123456"}, // refused by Conectar, never cut to another port
        {"TCP:host:", "host", "9100"},
        {"TCP:[::1]:4000", "::1", "4000"},
        {"TCP:", "", "9100"},
    };
    for (const auto& row : rows) {
        std::string host, port;
        TVexoDeviceTCP::SepararHostPorta(row.name, host, port);
        EXPECT_EQ(host, row.host) << row.name;
        EXPECT_EQ(port, row.port) << row.name;
    }
}

// The resolver would take a port past 65535 for another (99999 for 34463): the name is refused
// before anything connects.
TEST(TCPPortName, APortOutOfRangeOrNotANumberIsRefusedBeforeConnecting) {
    devtest::Listener listener;
    for (const std::string& port :
         {std::to_string(listener.Port() + 65536), std::string("http"), std::string("0")}) {
        TVexoDevice device;
        device.SetPorta("TCP:127.0.0.1:" + port);
        try {
            device.Ativar();
            ADD_FAILURE() << port << " was taken";
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find("is not"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("from 1 to 65535"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(listener.Accept(0), -1) << "nothing connected";
}

TEST_F(TCPFixture, CarriesBytesBothWaysWithTheSerialReadMeanings) {
    EXPECT_EQ(device.DeviceTCP().IP(), "127.0.0.1");
    EXPECT_EQ(device.Socket().RemotePort(), listener.Port());
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    device.EnviaString(all);
    device.EnviaByte(0x06);
    EXPECT_EQ(devtest::RecvSome(peer, 257), all + "\x06");
    devtest::SendAll(peer, "ABCxyz\x03rest");
    EXPECT_EQ(device.LeString(2000, 2, {}), "AB");
    EXPECT_EQ(device.LeByte(2000), 'C');
    EXPECT_EQ(device.LeString(2000, 0, "\x03"), "xyz");
    EXPECT_EQ(device.BytesParaLer(), 4);
    EXPECT_EQ(device.LeString(2000, 0, {}), "rest");
}

TEST_F(TCPFixture, SilenceRaisesTimeoutOrReturnsNothing) {
    const auto [code, message] = SocketErrorOf([&] { device.LeByte(50); });
    EXPECT_EQ(code, 10060);
    EXPECT_EQ(message, "Pelvor TCP/IP Socket error 10060: Connection timed out");
    device.Socket().RaiseExcept = false;
    EXPECT_EQ(device.LeByte(50), 0);
    EXPECT_EQ(device.LeString(50, 0, {}), "");
}

// A line that outgrows MaxLineLength fails with what came kept for the next read.
TEST_F(TCPFixture, TerminatedReadsTakeAnyLineEndAndStopAtMaxLineLength) {
    TTCPBlockSocket& socket = device.Socket();
    socket.ConvertLineEnd = true;
    devtest::SendAll(peer, "one\ntwo\n\rthree\r\n");
    EXPECT_EQ(socket.RecvString(2000), "one");
    EXPECT_EQ(socket.RecvString(2000), "two");
    EXPECT_EQ(socket.RecvString(2000), "three");
    socket.RaiseExcept = false;
    socket.MaxLineLength = 4;
    devtest::SendAll(peer, "toolong");
    EXPECT_EQ(socket.RecvString(2000), "");
    EXPECT_EQ(socket.LastError(), WSAENOBUFS);
    EXPECT_EQ(socket.LineBuffer, "toolong");
}

TEST_F(TCPFixture, LimparDiscardsAGreeting) {
    devtest::SendAll(peer, "WELCOME\r\n");
    ASSERT_TRUE(device.Socket().CanRead(2000));
    device.Limpar();
    EXPECT_EQ(device.BytesParaLer(), 0);
    devtest::SendAll(peer, "\x06");
    EXPECT_EQ(device.LeByte(2000), 0x06);
}

TEST_F(TCPFixture, PeerClosingFailsTheReadWhateverRaiseExceptSays) {
    devtest::SendAll(peer, "Z");
    ::close(peer);
    device.Socket().RaiseExcept = false;
    EXPECT_EQ(device.LeByte(20000), 'Z'); // what came before the close is still delivered
    const auto [code, message] = SocketErrorOf([&] { device.LeByte(20000); });
    EXPECT_EQ(code, 10054);
    EXPECT_EQ(message, "Pelvor TCP/IP Socket error 10054: Connection reset by peer");
    EXPECT_EQ(SocketErrorOf([&] { device.LeString(20000, 3, {}); }).first, 10054);
    device.Desativar();
}

TEST_F(TCPFixture, ChunkedSendLogsEveryPiece) {
    devtest::TempDir dir;
    device.SetArqLOG(dir.File("tcp.log"));
    device.SetSendBytesCount(4);
    device.EnviaString("0123456789");
    EXPECT_EQ(devtest::RecvSome(peer, 10), "0123456789");
    const auto lines = devtest::LogTexts(dir.File("tcp.log"));
    const std::vector<std::string> tail(lines.end() - 4, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"  TVexoDeviceTCP.EnviaString", "  BytesToSend:4",
                                              "  BytesToSend:4", "  BytesToSend:4"}));
}

TEST_F(TCPFixture, BandwidthReachesTheSocketAndPacedSendsArriveWhole) {
    device.SetMaxBandwidth(1000);
    EXPECT_EQ(device.Socket().MaxSendBandwidth, 1000);
    EXPECT_EQ(device.MaxBandwidth(), 1000);
    device.EnviaString("0123456789");
    device.EnviaString("x"); // held back about 10 ms
    EXPECT_EQ(devtest::RecvSome(peer, 11), "0123456789x");
}

// A caller that does not care which transport failed catches the shared base, and still has the
// transport's own class, code and text.
TEST(ChannelError, EitherTransportFailsAsTheSharedBase) {
    const auto caught = [](TVexoDevice& ADevice) {
        try {
            ADevice.LeByte(50);
        } catch (const EChannelError& e) {
            return std::string(e.ClassName()) + " " + std::to_string(e.ErrorCode()) + " " + e.ErrorMessage();
        }
        return std::string("<no error>");
    };
    devtest::Pty pty;
    TVexoDevice serial;
    serial.SetPorta(pty.Name());
    serial.Ativar();
    EXPECT_EQ(caught(serial), "ESerialPortError 9997 Timeout during operation");
    devtest::Listener listener;
    TVexoDevice tcp;
    tcp.SetPorta(Porta(listener.Port()));
    tcp.Ativar();
    EXPECT_EQ(caught(tcp), "ESocketError 10060 Connection timed out");
}

TEST(TCPConnect, RefusedIsRaisedUnloggedAndLeavesTheDeviceInactive) {
    int port;
    {
        devtest::Listener gone;
        port = gone.Port();
    }
    devtest::TempDir dir;
    TVexoDevice device;
    device.SetArqLOG(dir.File("tcp.log"));
    device.SetPorta(Porta(port));
    const auto [code, message] = SocketErrorOf([&] { device.Ativar(); });
    EXPECT_EQ(code, 10061);
    EXPECT_EQ(message, "Pelvor TCP/IP Socket error 10061: Connection refused");
    EXPECT_FALSE(device.Ativo());
    const auto lines = devtest::LogTexts(dir.File("tcp.log"));
    EXPECT_EQ(lines.back(), "  IP:127.0.0.1, Porta:" + std::to_string(port) + ")");
}

TEST(TCPConnect, NoAnswerWithinTheTimeout) {
    // A listener whose accept queue is full drops further handshakes, so they never complete.
    devtest::Listener busy(0);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(busy.Port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(s);
    }
    TVexoDevice device;
    device.SetTimeOutMilissegundos(300);
    device.SetPorta(Porta(busy.Port()));
    EXPECT_EQ(SocketErrorOf([&] { device.Ativar(); }).first, 10060);
    EXPECT_FALSE(device.Ativo());
    for (int s : fillers)
        ::close(s);
}

TEST(TCPConnect, UnknownHost) {
    TVexoDevice device;
    device.SetPorta("TCP:no-such-host.invalid:4000");
    const int code = SocketErrorOf([&] { device.Ativar(); }).first;
    EXPECT_TRUE(code == 11001 || code == 11002 || code == 11004) << code;
}

TEST(TCPErrors, ErrnoValuesMapToSocketNumbers) {
    EXPECT_EQ(TTCPBlockSocket::ErrnoToSocketError(ECONNREFUSED), 10061);
    EXPECT_EQ(TTCPBlockSocket::ErrnoToSocketError(ETIMEDOUT), 10060);
    EXPECT_EQ(TTCPBlockSocket::ErrnoToSocketError(ECONNRESET), 10054);
    EXPECT_EQ(TTCPBlockSocket::ErrnoToSocketError(EPIPE), 10054);
    EXPECT_EQ(TTCPBlockSocket::ErrorDescription(11001), "Host not found");
    EXPECT_EQ(TTCPBlockSocket::ErrorDescription(12345), "Other Winsock error (12345)");
}
