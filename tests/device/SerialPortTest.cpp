#include "DeviceTestSupport.h"
#include "device/VexoDevice.h"
#include "util/CodePage.h"
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace vexo;

namespace {

const auto SerialErrorOf = devtest::CodedErrorOf<ESerialPortError>;

const auto ErrorOf = devtest::ClassAndErrorOf;

struct SerialFixture : ::testing::Test {
    devtest::Pty pty;
    TVexoDevice device;
    void SetUp() override {
        device.SetPorta(pty.Name());
        device.Ativar();
    }
};

std::string AllBytes() {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    return all;
}

} // namespace

TEST_F(SerialFixture, EveryByteValuePassesBothWays) {
    const std::string all = AllBytes();
    device.EnviaString(all + all);
    EXPECT_EQ(pty.Read(512), all + all);
    pty.Write(all);
    EXPECT_EQ(device.LeString(2000, 256, {}), all);
}

TEST_F(SerialFixture, ReadsByCountTerminatorOrWhateverArrives) {
    pty.Write("ABC");
    EXPECT_EQ(device.LeString(2000, 2, {}), "AB");
    EXPECT_EQ(device.BytesParaLer(), 1);
    EXPECT_EQ(device.LeByte(2000), 'C'); // the extra byte waited for the next read

    pty.Write("xyz\x03rest");
    EXPECT_EQ(device.LeString(2000, 0, "\x03"), "xyz");
    EXPECT_EQ(device.LeString(2000, 0, {}), "rest");

    pty.Write(std::string("\x00\x10", 2));
    EXPECT_EQ(device.LeByte(0), 0);
    EXPECT_EQ(device.LeByte(0), 0x10);
}

TEST_F(SerialFixture, SilenceRaisesTimeoutOrReturnsNothing) {
    const auto [code, message] = SerialErrorOf([&] { device.LeByte(50); });
    EXPECT_EQ(code, 9997);
    EXPECT_EQ(message, "Communication error 9997: Timeout during operation");
    EXPECT_EQ(SerialErrorOf([&] { device.LeString(50, 2, {}); }).first, 9997);
    EXPECT_EQ(SerialErrorOf([&] { device.LeString(50, 0, "\x03"); }).first, 9997);

    device.Serial().RaiseExcept = false;
    EXPECT_EQ(device.LeByte(50), 0);
    EXPECT_EQ(device.LeString(50, 0, {}), "");
    // A short count read gives nothing, but the bytes that did arrive are not lost.
    pty.Write("A");
    EXPECT_EQ(device.LeString(50, 3, {}), "");
    pty.Write("B\x03");
    EXPECT_EQ(device.LeString(2000, 0, "\x03"), "AB");
    // A kept 00h byte reads as a byte, not as the earlier timeout.
    pty.Write(std::string(1, '\0'));
    EXPECT_EQ(device.LeString(50, 0, "\x03"), "");
    EXPECT_EQ(device.Serial().LastError(), 9997);
    EXPECT_EQ(device.LeByte(50), 0);
    EXPECT_EQ(device.Serial().LastError(), 0);
}

TEST_F(SerialFixture, ChunkedSendPacesEveryPiece) {
    devtest::TempDir dir;
    device.SetArqLOG(dir.File("send.log"));
    std::vector<std::string> writes;
    device.SetOnStatus([&](TBlockSerial*, THookSerialReason AReason, const std::string& AValue) {
        if (AReason == HR_WriteCount) writes.push_back(AValue);
    });
    device.SetSendBytesCount(10);
    device.SetSendBytesInterval(20);
    const std::string data = "0123456789abcdefghijKLMNO";
    device.EnviaString(data);
    EXPECT_EQ(pty.Read(25), data);
    EXPECT_EQ(writes, (std::vector<std::string>{"10", "10", "5"}));
    const auto lines = devtest::LogTexts(dir.File("send.log"));
    const std::vector<std::string> tail(lines.end() - 7, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"  TVexoDeviceSerial.EnviaString", "  BytesToSend:10",
                                              "  Sleep(20)", "  BytesToSend:10", "  Sleep(20)",
                                              "  BytesToSend:10", "  Sleep(20)"}));
}

// At MaxBandwidth bytes a second a send waits until the one before has had its time on the line, and
// the wait is reported before it starts.
TEST_F(SerialFixture, BandwidthHoldsTheNextSendBackAndReportsTheWait) {
    std::vector<int> waits;
    device.SetOnStatus([&](TBlockSerial*, THookSerialReason AReason, const std::string& AValue) {
        if (AReason == HR_Wait) waits.push_back(std::stoi(AValue));
    });
    device.SetMaxBandwidth(40);
    EXPECT_EQ(device.Serial().MaxSendBandwidth, 40);
    const std::string first(20, 'a'); // half a second of line time
    device.EnviaString(first);
    EXPECT_TRUE(waits.empty());
    device.EnviaString("b");
    EXPECT_EQ(pty.Read(21), first + "b");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_LE(waits[0], 500);
}

TEST_F(SerialFixture, LimparDiscardsQueuedAndBufferedInput) {
    pty.Write("ABC");
    EXPECT_EQ(device.LeString(2000, 1, {}), "A");
    pty.Write("junk");
    ASSERT_TRUE(device.Serial().CanRead(2000));
    device.Limpar();
    EXPECT_EQ(device.BytesParaLer(), 0);
    device.Serial().RaiseExcept = false;
    EXPECT_EQ(device.LeString(50, 0, {}), "");
}

TEST_F(SerialFixture, ParametersReachTheLineAtOnce) {
    device.SetParamsString("BAUD=19200 DATA=7 PARITY=E STOP=2 SOFTFLOW");
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0); // a pty master reports its slave's settings
    // (a pty always forces 8 bits without parity, so those two cannot be seen here)
    EXPECT_EQ(::cfgetospeed(&tio), B19200);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    device.SetHandShake(hsRTS_CTS);
    device.SetBaud(115200);
    ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), B115200);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_iflag & IXON);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO)); // still raw
    device.SetBaud(14400);                       // a rate without a termios constant
    ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0);
    EXPECT_NE(::cfgetospeed(&tio), speed_t(B115200));
    EXPECT_NE(::cfgetospeed(&tio), speed_t(B38400)); // the stand-in before the exact rate
    device.EnviaString("ok");
    EXPECT_EQ(pty.Read(2), "ok");
}

// termios cannot give one and a half stop bits with more than 5 data bits; asking for it must fail at
// activation rather than quietly run the line with two.
TEST(SerialPort, OneAndAHalfStopBitsNeedFiveDataBits) {
    devtest::Pty pty;
    TVexoDevice device;
    device.SetPorta(pty.Name());
    device.SetParamsString("DATA=8 STOP=1,5");
    const std::string refused =
        "Communication error 9993: Wrong parameter at call: 1.5 stop bits need 5 data bits";
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Exception: " + refused);
    EXPECT_FALSE(device.Ativo());

    device.SetParamsString("DATA=5 STOP=1,5");
    device.Ativar();
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    // Reconfiguring the open port is refused the same way, and the line keeps what it had.
    EXPECT_EQ(SerialErrorOf([&] { device.SetData(7); }), std::make_pair(9993, refused));
    device.EnviaString("ok");
    EXPECT_EQ(pty.Read(2), "ok");
}

TEST_F(SerialFixture, ModemLinesOfAPseudoTerminalReadAsAbsent) {
    EXPECT_TRUE(device.DeviceSerial().EmLinha(50));
    device.SetHandShake(hsRTS_CTS);
    EXPECT_FALSE(device.DeviceSerial().EmLinha(50));
    device.Serial().SetRTS(true); // no modem lines: not a failure
    EXPECT_EQ(device.Serial().LastError(), 0);
    device.Desativar();
    EXPECT_FALSE(device.DeviceSerial().EmLinha(50));
}

TEST(SerialPort, AHeldPortIsRefused) {
    devtest::Pty pty;
    TVexoDevice first, second;
    first.SetPorta(pty.Name());
    second.SetPorta(pty.Name());
    first.Ativar();
    EXPECT_EQ(ErrorOf([&] { second.Ativar(); }),
              "Exception: Communication error 16: Device or resource busy");
    EXPECT_FALSE(second.Ativo());
    first.Desativar();
    second.Ativar(); // released on close
    EXPECT_TRUE(second.Ativo());
}

TEST(SerialPort, AMissingPortIsNamedAndLoggedFirst) {
    devtest::TempDir dir;
    TVexoDevice device;
    device.SetArqLOG(dir.File("device.log"));
    device.SetPorta("\\\\.\\ttyKestrelMissing");
    const std::string message = "Porta \\\\.\\ttyKestrelMissing não encontrada";
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Exception: " + message);
    EXPECT_FALSE(device.Ativo());
    EXPECT_EQ(devtest::LogTexts(dir.File("device.log")).back(), TextToAnsi("Exception: " + message));
}

TEST(SerialPort, TransfersBeforeActivationFail) {
    devtest::Pty pty;
    TVexoDevice device;
    device.SetPorta(pty.Name());
    const auto [code, message] = SerialErrorOf([&] { device.LeByte(10); });
    EXPECT_EQ(code, 9994);
    EXPECT_EQ(message, "Communication error 9994: Instance not yet connected");
    EXPECT_EQ(SerialErrorOf([&] { device.EnviaString("x"); }).first, 9994);
}

TEST(SerialPort, ComNamesMapToLinuxDevices) {
    EXPECT_EQ(TBlockSerial::NomeDispositivo("COM1"), "/dev/ttyS0");
    EXPECT_EQ(TBlockSerial::NomeDispositivo("com12"), "/dev/ttyS11");
    EXPECT_EQ(TBlockSerial::NomeDispositivo("\\\\.\\ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(TBlockSerial::NomeDispositivo("COM0"), "COM0");
    EXPECT_EQ(TBlockSerial::NomeDispositivo("COMX"), "COMX");
    EXPECT_EQ(TBlockSerial::NomeDispositivo("/dev/ttyACM3"), "/dev/ttyACM3");
}

TEST(SerialPort, ErrorTextsComeFromTheTableOrErrno) {
    EXPECT_EQ(TBlockSerial::ErrorDescription(0), "OK");
    EXPECT_EQ(TBlockSerial::ErrorDescription(9991), "Port owned by other process");
    EXPECT_EQ(TBlockSerial::ErrorDescription(10003), "Tranceive Queue is full");
    EXPECT_EQ(TBlockSerial::ErrorDescription(2), "No such file or directory");
}

// The far end going away is reported at once, even where silence would be answered with "no data",
// so a caller polling with short reads cannot spin on a dead line.
TEST(SerialPort, FarEndClosingDuringAReadFailsTheRead) {
    devtest::Pty pty;
    TVexoDevice device;
    device.SetPorta(pty.Name());
    device.Ativar();
    device.Serial().RaiseExcept = false;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // holds the master a moment longer, then exits and so hangs the line up
        ::usleep(200 * 1000);
        ::_exit(0);
    }
    pty.CloseMaster();
    const auto [code, message] = SerialErrorOf([&] { device.LeByte(20000); });
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(code, ENODEV);
    EXPECT_EQ(message, "Communication error 19: No such device");
    // And it stays that way for every later read or write.
    EXPECT_EQ(SerialErrorOf([&] { device.LeString(20000, 0, {}); }).first, ENODEV);
    EXPECT_EQ(SerialErrorOf([&] { device.LeString(20000, 4, {}); }).first, ENODEV);
    EXPECT_EQ(SerialErrorOf([&] { device.EnviaString("x"); }).first, ENODEV);
    device.Desativar();
    EXPECT_FALSE(device.Ativo());
}

TEST(SerialProbe, AppendsTheCandidatesThatOpen) {
    devtest::Pty free1, held, free2;
    TVexoDevice holder;
    holder.SetPorta(held.Name());
    holder.Ativar();
    TVexoDeviceSerial::CandidatasPortasSeriais = [&] {
        return std::vector<std::string>{free1.Name(), "/dev/ttyKestrelMissing", held.Name(), free2.Name()};
    };
    TVexoDevice device;
    std::vector<std::string> list{"USB:already there"};
    device.AcharPortasSeriais(list, 64);
    EXPECT_EQ(list, (std::vector<std::string>{"USB:already there", free1.Name(), free2.Name()}));
    device.AcharPortasSeriais(list, 1);
    EXPECT_EQ(list.size(), 4u);
    EXPECT_EQ(list.back(), free1.Name());
    std::vector<std::string> all;
    device.AcharPortas(all); // the other kinds list nothing yet
    EXPECT_EQ(all, (std::vector<std::string>{free1.Name(), free2.Name()}));
    TVexoDeviceSerial::CandidatasPortasSeriais = nullptr;
    // The probed ports were closed again.
    free1.Write("x");
    TVexoDevice after;
    after.SetPorta(free1.Name());
    after.Ativar();
    EXPECT_TRUE(after.Ativo());
}
