// USB devices as udev shows them, run under umockdev: a Gertec PPC-930 PIN pad on ttyACM0, an Epson
// printer on usb/lp0, an unknown CDC-ACM board on ttyACM1 and a Zebra label printer without a node
// (the "WithDevices" run), or no USB device at all (the "NoDevice" run).
#include "DeviceTestSupport.h"
#include "device/PinPadMakers.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceSerial.h"
#include "device/VexoDeviceWinUSB.h"
#include "util/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace {

using namespace vexo;
using devtest::ErrorOf;

// The folder of the mocked /sys and /dev; empty when not running under umockdev.
std::string TestBed() {
    const char* dir = std::getenv("UMOCKDEV_DIR");
    return dir ? dir : "";
}

#define REQUIRE_UMOCKDEV()                                                                                   \
    if (TestBed().empty()) GTEST_SKIP() << "needs umockdev-run (ctest runs this program under it)"

// Points a mocked node at a pseudo-terminal of the test, so what the device layer sends arrives there.
void RouteNode(const std::string& ANode, const std::string& ATarget) {
    const std::string mocked = TestBed() + ANode;
    std::filesystem::remove(mocked);
    std::filesystem::create_symlink(ATarget, mocked);
}

std::string FileText(const std::string& AName) {
    std::ifstream in(AName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class USBFixture : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_UMOCKDEV();
        usb().API().Devices().DataBase().SetFileName("");
    }
    TVexoDeviceWinUSB& usb() { return device.WinUSB(); }
    TVexoUSBWinDeviceAPI& api() { return usb().API(); }

    TVexoDevice device;
};

// ---- no USB device present

using NoDevice = USBFixture;

TEST_F(NoDevice, UsbWithoutADeviceFailsAndListsNothing) {
    std::vector<std::string> list{"COM1"};
    device.AcharPortasUSB(list);
    EXPECT_EQ(list, std::vector<std::string>{"COM1"});

    device.SetPorta("USB");
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Nenhum dispositivo USB encontrado");
    EXPECT_FALSE(device.Ativo());
    EXPECT_EQ(ErrorOf([&] { api().Connect("USB:Gertec"); }), "Erro, dispositivo [Gertec] não encontrado");
    EXPECT_EQ(ErrorOf([&] { api().Connect(0); }), "Dispositivo USB num: 0 não existe");
    EXPECT_EQ(ErrorOf([&] { device.EnviaString("x"); }), "Dispositivo USB não está aberto");

    TVexoUSBHardwareType kind = htFiscal;
    int protocol = 9;
    EXPECT_FALSE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    EXPECT_EQ(kind, htUnknown);
    EXPECT_EQ(protocol, 0);
}

// ---- the four devices

using WithDevices = USBFixture;

TEST_F(WithDevices, ListsPrinterNodesThenSerialNodesThenKnownDevices) {
    std::vector<std::string> list{"already there"};
    device.AcharPortasUSB(list);
    EXPECT_EQ(list, (std::vector<std::string>{"already there", "USB:Epson, TM-T20", "USB:Gertec, PPC930",
                                              "USB:Arduino Uno (ttyACM1)", "USB:Zebra, GC420t"}));

    TVexoUSBWinDeviceList& d = api().Devices();
    ASSERT_EQ(d.Count(), 4);
    EXPECT_EQ(d[0].FDeviceInterface, "/dev/usb/lp0");
    EXPECT_EQ(d[0].FClassGUID, "usbmisc");
    EXPECT_EQ(d[0].FFrendlyName, "TM-T20");
    EXPECT_EQ(d[0].DeviceKind(), htPOSPrinter);
    EXPECT_EQ(d[0].VexoProtocol(), 1);
    EXPECT_EQ(d[1].FVendorID, "1753");
    EXPECT_EQ(d[1].FProductID, "c902");
    EXPECT_EQ(d[1].FDeviceInterface, "/dev/ttyACM0");
    EXPECT_EQ(d[1].FFrendlyName, "PPC930 (ttyACM0)");
    EXPECT_EQ(d[1].FUSBPort, "1-2");
    EXPECT_EQ(d[1].FClassGUID, "tty");
    EXPECT_EQ(d[1].FHardwareID, "USB\\VID_1753&PID_C902");
    EXPECT_EQ(d[1].FGUID, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2");
    EXPECT_EQ(d[2].FDeviceInterface, "/dev/ttyACM1");
    EXPECT_EQ(d[3].FDeviceInterface, "/dev/bus/usb/001/005");
    EXPECT_EQ(d[3].FClassGUID, "usb");
    EXPECT_EQ(d[3].DeviceKind(), htLabelPrinter);
}

TEST_F(WithDevices, TheHardwareTypeFiltersTheDevicesWithoutANode) {
    TVexoUSBWinDeviceList& d = api().Devices();
    d.FindUSBPrinters(htPOSPrinter);
    EXPECT_EQ(d.Count(), 3); // the Zebra is a label printer
    d.FindUSBPrinters(htLabelPrinter);
    ASSERT_EQ(d.Count(), 4);
    EXPECT_EQ(d[3].DeviceName(), "Zebra, GC420t");
}

TEST_F(WithDevices, OpensByNameByPathOrTheFirstDevice) {
    api().Connect("USB:Gertec");
    EXPECT_TRUE(api().IsOpen());
    EXPECT_EQ(api().InterfaceName(), "/dev/ttyACM0");
    EXPECT_EQ(api().DeviceIndex(), 1);

    api().Connect("usb:gertec, ppc"); // reopening closes first
    EXPECT_EQ(api().DeviceIndex(), 1);
    api().Connect("USB:Arduino Uno (ttyACM7)"); // the port part matches whatever its number
    EXPECT_EQ(api().InterfaceName(), "/dev/ttyACM1");
    api().Connect("USB");
    EXPECT_EQ(api().InterfaceName(), "/dev/usb/lp0");
    api().Connect("USB:/dev/ttyACM0");
    EXPECT_EQ(api().DeviceIndex(), 1);
    api().Connect(2);
    EXPECT_EQ(api().InterfaceName(), "/dev/ttyACM1");
    api().Close();
    EXPECT_FALSE(api().IsOpen());

    EXPECT_EQ(ErrorOf([&] { api().Connect("USB:Bematech"); }), "Erro, dispositivo [Bematech] não encontrado");
    EXPECT_EQ(ErrorOf([&] { api().Connect(4); }), "Dispositivo USB num: 4 não existe");
    EXPECT_EQ(ErrorOf([&] { api().Connect("USB:/dev/ttyACM9"); }),
              "Erro 00000002 ao abrir o Porta USB /dev/ttyACM9");
    // A bare USB device node carries no byte stream: refused, not opened to swallow the bytes.
    EXPECT_EQ(ErrorOf([&] { api().Connect("USB:Zebra"); }),
              "Erro 0000005F ao abrir o Porta USB /dev/bus/usb/001/005");
    EXPECT_FALSE(api().IsOpen());
}

TEST_F(WithDevices, APortInUseIsRefused) {
    TVexoDevice other;
    other.SetPorta("USB:Gertec");
    other.Ativar();
    EXPECT_EQ(ErrorOf([&] { api().Connect("USB:Gertec"); }),
              "Erro 00000010 ao abrir o Porta USB /dev/ttyACM0");
}

TEST_F(WithDevices, SendsToThePrinterInChunksAndLogsBothWays) {
    devtest::TempDir dir;
    const std::string log = dir.File("device.log");
    // The printer node becomes a plain file, as a printer that only takes bytes.
    const std::string paper = dir.File("lp0");
    std::ofstream{paper};
    RouteNode("/dev/usb/lp0", paper);
    device.SetArqLOG(log);
    device.SetPorta("USB:Epson");
    device.SetSendBytesCount(3);
    device.Ativar();
    EXPECT_TRUE(device.Ativo());
    EXPECT_EQ(usb().GetTimeOutMilissegundos(), 3000);
    device.EnviaString(std::string("AB\0\nEFG", 7));
    device.Desativar();
    EXPECT_EQ(FileText(paper), std::string("AB\0\nEFG", 7));

    // Both logs share the file; the transfer object's lines carry " - " after the time.
    std::vector<std::string> facade, transfer;
    for (const auto& l : devtest::LogLines(log)) {
        const std::string t = devtest::LogText(l);
        (t.starts_with("- ") ? transfer : facade).push_back(t.starts_with("- ") ? t.substr(2) : t);
    }
    auto has = [](const std::vector<std::string>& ALines, const std::string& AText) {
        return std::find(ALines.begin(), ALines.end(), AText) != ALines.end();
    };
    EXPECT_TRUE(has(facade, "   TVexoDeviceWinUSB.Conectar(USB:Epson, 3000)"));
    EXPECT_TRUE(has(facade, "  TVexoDeviceWinUSB.EnviaString"));
    EXPECT_EQ(std::count(facade.begin(), facade.end(), "  BytesToSend:3"), 3);
    EXPECT_TRUE(has(transfer, "  DeviceInterface: /dev/usb/lp0"));
    EXPECT_TRUE(has(transfer, "SendData: Bytes: 3, TimeOut: 3000"));
    EXPECT_TRUE(has(transfer, "  Buffer Enviado: AB[NUL]"));
    EXPECT_TRUE(has(transfer, "  Buffer Enviado: [LF]EF"));
}

TEST_F(WithDevices, TheLogHandlerCanKeepLinesOutOfTheFile) {
    devtest::TempDir dir;
    const std::string log = dir.File("usb.log");
    api().SetLogFile(log);
    std::vector<std::string> seen;
    api().OnLog = [&](const std::string& AText, bool& AHandled) {
        seen.push_back(AText);
        AHandled = AText == "Purge";
    };
    api().Purge();
    EXPECT_EQ(seen, (std::vector<std::string>{"Purge", "  RX"}));
    const auto lines = devtest::LogLines(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(2, 1), " ");
    EXPECT_EQ(lines[0].substr(21), " -   RX");
}

TEST_F(WithDevices, DetectsKindAndProtocolFromThePortName) {
    TVexoUSBHardwareType kind = htUnknown;
    int protocol = -1;
    device.SetPorta("USB:Epson");
    EXPECT_TRUE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    EXPECT_EQ(kind, htPOSPrinter);
    EXPECT_EQ(protocol, 1);
    EXPECT_EQ(device.Porta(), "USB:Epson");

    // A serial node matches the device whose friendly name carries it.
    device.SetPorta("/dev/ttyACM0");
    EXPECT_TRUE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    EXPECT_EQ(kind, htUnknown);
    device.SetPorta("\\\\.\\ttyACM1");
    EXPECT_TRUE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    device.SetPorta("/dev/ttyUSB3");
    EXPECT_FALSE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));

    // The names udev makes for a serial node are links to it, followed wherever a node is compared.
    const std::string byId = std::string(std::getenv("UMOCKDEV_DIR")) + "/dev/serial/by-id";
    std::filesystem::create_directories(byId);
    std::filesystem::create_symlink("../../ttyACM0", byId + "/usb-Gertec_PPC930-if00");
    device.SetPorta("/dev/serial/by-id/usb-Gertec_PPC930-if00");
    EXPECT_TRUE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    EXPECT_EQ(NoDoDispositivo("/dev/serial/by-id/usb-Gertec_PPC930-if00"), "/dev/ttyACM0");
    device.SetPorta("USB:/dev/serial/by-id/usb-Gertec_PPC930-if00");
    EXPECT_TRUE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    std::filesystem::remove_all(std::string(std::getenv("UMOCKDEV_DIR")) + "/dev/serial");

    // A USB name whose device is a serial node becomes that node.
    device.SetPorta("USB:Arduino");
    EXPECT_TRUE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    EXPECT_EQ(device.Porta(), "/dev/ttyACM1");
    EXPECT_EQ(device.DeviceType(), dtSerial);

    device.SetPorta("TCP:127.0.0.1:1");
    protocol = 5;
    EXPECT_FALSE(device.DetectarTipoEProtocoloDispositivoUSB(kind, protocol));
    EXPECT_EQ(protocol, 0);
}

// ---- bytes through a serial node, with the node routed to a pseudo-terminal

TEST_F(WithDevices, SerialNodeIsRawAndEveryReadModeWorks) {
    devtest::Pty pty;
    {
        // Cooked, as a terminal starts: LF would go out as CR LF, CR come in as LF, bytes echo.
        const int fd = ::open(pty.Name().c_str(), O_RDWR | O_NOCTTY);
        termios tio{};
        ::tcgetattr(fd, &tio);
        tio.c_oflag |= OPOST | ONLCR;
        tio.c_iflag |= ICRNL | IXON;
        tio.c_lflag |= ICANON | ECHO | ISIG;
        ::tcsetattr(fd, TCSANOW, &tio);
        ::close(fd);
    }
    RouteNode("/dev/ttyACM0", pty.Name());
    device.SetPorta("USB:Gertec");
    device.Ativar();

    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    device.EnviaString(all);
    EXPECT_EQ(pty.Read(256), all);
    pty.Write(all);
    EXPECT_EQ(device.LeString(2000, 256), all);

    // Counted: what is beyond the count stays for the next read.
    pty.Write("ABCDE");
    EXPECT_EQ(device.LeString(2000, 3), "ABC");
    EXPECT_EQ(api().InternalBuffer(), "DE");
    EXPECT_EQ(device.LeString(2000, 0), "DE"); // a packet read returns the buffer first
    // Terminated: the terminator is consumed, what follows kept.
    pty.Write("12\x03"
              "34");
    EXPECT_EQ(device.LeString(2000, 0, "\x03"), "12");
    EXPECT_EQ(device.LeByte(500), '3');
    EXPECT_EQ(device.LeByte(500), '4');
    // Timeouts return what came, without raising.
    pty.Write("xy");
    EXPECT_EQ(device.LeString(200, 5), "xy");
    pty.Write("no end");
    EXPECT_EQ(device.LeString(200, 0, "\r"), "");
    EXPECT_EQ(api().InternalBuffer(), "no end");
    device.Limpar();
    EXPECT_EQ(api().InternalBuffer(), "");
    EXPECT_EQ(device.LeString(100, 0), "");
    EXPECT_EQ(device.LeByte(100), 0);

    // The far end hanging up is an error, not endless silence.
    pty.CloseMaster();
    const std::string error = ErrorOf([&] { device.LeString(2000, 1); });
    EXPECT_TRUE(error == "Erro 00000005 ao ler a Porta USB /dev/ttyACM0" ||
                error == "Erro 00000013 ao ler a Porta USB /dev/ttyACM0")
        << error;
}

TEST_F(WithDevices, AWriteThatCannotFinishFailsWithTimeOut) {
    devtest::Pty pty;
    RouteNode("/dev/ttyACM0", pty.Name());
    device.SetPorta("USB:Gertec");
    device.SetTimeOutMilissegundos(200);
    device.Ativar();
    // Nobody reads the far end: the pseudo-terminal's queue fills and the write stops moving.
    const std::string block(1 << 20, 'x');
    EXPECT_EQ(ErrorOf([&] { device.EnviaString(block); }), "Erro TimeOut, ao enviar 1048576 bytes para USB");
}

} // namespace

// ---- the PIN-pad makers: the same four devices and an Ingenico Lane/3000 on ttyACM2, a model the
// database has no line for

namespace {

using PinPadMakersUSB = USBFixture;

TEST_F(PinPadMakersUSB, AMakersPinPadIsNamedByTheKernelsProductStringWhenTheDatabaseHasNoLine) {
    std::vector<std::string> list;
    device.AcharPortasUSB(list);
    EXPECT_EQ(list, (std::vector<std::string>{"USB:Epson, TM-T20", "USB:Gertec, PPC930",
                                              "USB:Arduino Uno (ttyACM1)", "USB:INGENICO, Lane/3000",
                                              "USB:Zebra, GC420t"}));
    // The kernel's string stands in for the model of a maker's device only: the unknown board and the
    // printers keep the names they had.
    TVexoUSBWinDeviceList& d = api().Devices();
    ASSERT_EQ(d.Count(), 5);
    EXPECT_EQ(d[3].VendorName(), "INGENICO");
    EXPECT_EQ(d[3].ProductModel(), "Lane/3000");
    EXPECT_EQ(d[2].ProductModel(), "");
}

TEST_F(PinPadMakersUSB, DetectionTriesTheMakersSerialNodesAfterTheSerialPortsAndNeverAPrinter) {
    EXPECT_EQ(PinPadMakerSerialNodes(device), (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyACM2"}));

    const auto saved = TVexoDeviceSerial::CandidatasPortasSeriais;
    // One serial port of the test's own, plus a maker's node the serial probe also found: no port twice.
    TVexoDeviceSerial::CandidatasPortasSeriais = [] { return std::vector<std::string>{"/dev/null"}; };
    const std::vector<std::string> ports = PinPadCandidatePorts(device);
    TVexoDeviceSerial::CandidatasPortasSeriais = saved;
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "/dev/ttyACM0"), 1);
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "/dev/ttyACM2"), 1);
    for (const auto& port : ports) {
        EXPECT_EQ(port.find("/dev/usb/lp"), std::string::npos) << port;
        EXPECT_NE(port, "/dev/ttyACM1") << "an Arduino is nobody's PIN pad";
    }
}

TEST(PinPadMakers, TheListNamesEveryMakerAsUsbIdsDoesAndTheDatabaseKnowsThemAll) {
    const std::map<std::string, std::string> expected{{"1753", "GERTEC Telecomunicacoes Ltda."},
                                                      {"0b00", "INGENICO"},
                                                      {"0f14", "Ingenico"},
                                                      {"11ca", "VeriFone Inc"},
                                                      {"0ca6", "Castles Technology Co., Ltd"},
                                                      {"1eab", "Fujian Newland Computer Co., Ltd"}};
    std::map<std::string, std::string> listed;
    for (const auto& maker : PinPadMakers())
        listed[maker.VendorID] = maker.Name;
    EXPECT_EQ(listed, expected);
    EXPECT_TRUE(IsPinPadMaker("0B00"));
    EXPECT_FALSE(IsPinPadMaker("04b8"));
    TVexoUSBIDDataBase database;
    database.SetFileName("");
    for (const auto& [id, name] : expected)
        EXPECT_TRUE(database.HasVendor(id)) << id << " " << name;
}

} // namespace
