// The Bluetooth kind against BlueZ as python3-dbusmock's bluez5 template plays it, on a private bus
// that this program starts and stops. The kernel here has no Bluetooth sockets, so the stream to a
// device's serial-port service is one end of a socket pair (or a TCP connection to the simulator).
#include "DeviceTestSupport.h"
#include "device/RFCOMMSocket.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceBlueTooth.h"
#include "tests/support/Spawn.h"
#include "util/CodePage.h"

#ifdef KESTREL_TEST_WITH_SIM
#include "PinPadSessionSupport.h"
#endif

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <thread>

namespace {

using namespace vexo;
using devtest::ErrorOf;
using Clock = std::chrono::steady_clock;

// A child process, stopped (SIGTERM, then SIGKILL after two seconds) when this goes.
class Child {
public:
    // Its output goes to AOutput, out of the test's report.
    Child(const std::vector<std::string>& AArgs, const std::string& AOutput) {
        const int out = ::open(AOutput.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (out < 0) return;
        kestrel::test::SpawnOptions options;
        options.Out = options.Err = out;
        fPid = kestrel::test::Spawn(AArgs.front(), {AArgs.begin() + 1, AArgs.end()}, options);
        ::close(out);
    }
    ~Child() { Stop(); }
    bool Started() const { return fPid > 0; }
    void Stop() {
        if (fPid <= 0) return;
        ::kill(fPid, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (::waitpid(fPid, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(fPid, SIGKILL);
                ::waitpid(fPid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        fPid = -1;
    }

private:
    pid_t fPid = -1;
};

// A private bus with the mocked BlueZ on it, for the whole program.
class MockBlueZ {
public:
    bool Start(std::string& AWhy) {
        for (const char* tool : {"/usr/bin/dbus-daemon", "/usr/bin/python3"})
            if (!std::filesystem::exists(tool)) return AWhy = std::string(tool) + " is missing", false;
        fAddress = "unix:path=" + fDir.File("bus");
        fDaemon =
            std::make_unique<Child>(std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork",
                                                             "--nopidfile", "--address=" + fAddress},
                                    fDir.File("dbus.out"));
        if (!fDaemon->Started() || !WaitFor([&] { return std::filesystem::exists(fDir.File("bus")); }))
            return AWhy = "dbus-daemon did not start", false;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", fAddress.c_str(), 1);
        fMock = std::make_unique<Child>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--template", "bluez5"},
            fDir.File("dbusmock.out"));
        if (!fMock->Started() || !WaitFor([&] { return Call("/", "org.freedesktop.DBus.Peer", "Ping", ""); }))
            return AWhy = "python3-dbusmock's bluez5 template did not come up", false;
        return true;
    }
    void Stop() {
        fMock.reset();
        fDaemon.reset();
    }
    const std::string& Address() const { return fAddress; }

    // A method call on org.bluez with string and integer arguments; false when it failed.
    template <class... A>
    bool Call(const char* APath, const char* AIface, const char* AMethod, const char* ASig, A... AArgs) {
        sd_bus* bus = nullptr;
        if (sd_bus_open_system(&bus) < 0) return false;
        sd_bus_set_method_call_timeout(bus, 2000000);
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int r =
            sd_bus_call_method(bus, "org.bluez", APath, AIface, AMethod, &error, nullptr, ASig, AArgs...);
        sd_bus_error_free(&error);
        sd_bus_flush_close_unref(bus);
        return r >= 0;
    }
    bool Mock(const char* AMethod, const char* ASig, auto... AArgs) {
        return Call("/", "org.bluez.Mock", AMethod, ASig, AArgs...);
    }
    // Sets one property of an object through dbusmock's own interface.
    bool Update(const std::string& APath, const char* AIface, const char* AName, const char* AType,
                auto AValue) {
        return Call(APath.c_str(), "org.freedesktop.DBus.Mock", "UpdateProperties", "sa{sv}", AIface, 1,
                    AName, AType, AValue);
    }
    bool Powered() {
        sd_bus* bus = nullptr;
        if (sd_bus_open_system(&bus) < 0) return false;
        int b = 0;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_get_property_trivial(bus, "org.bluez", "/org/bluez/hci0", "org.bluez.Adapter1", "Powered",
                                    &error, 'b', &b);
        sd_bus_error_free(&error);
        sd_bus_flush_close_unref(bus);
        return b != 0;
    }

private:
    static bool WaitFor(const std::function<bool()>& ACondition) {
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < deadline) {
            if (ACondition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    devtest::TempDir fDir;
    std::string fAddress;
    std::unique_ptr<Child> fDaemon, fMock;
};

MockBlueZ* gBlueZ = nullptr;
std::string gWhy;

constexpr uint32_t kPrinterClass = 0x040680;  // imaging, printer
constexpr uint32_t kKeyboardClass = 0x000540; // peripheral, keyboard: not a printer
const std::string kMPT = "00:11:22:33:44:01", kMobi = "00:11:22:33:44:02", kFone = "00:11:22:33:44:03";

std::string DevicePath(const std::string& AAddress) {
    std::string path = "/org/bluez/hci0/dev_" + AAddress;
    std::replace(path.begin(), path.end(), ':', '_');
    return path;
}

// One adapter (powered as asked) with two paired devices of different classes and one unpaired.
bool Populate(bool APowered = true) {
    MockBlueZ& b = *gBlueZ;
    b.Mock("RemoveAdapterWithDevices", "s", "hci0");
    bool ok = b.Mock("AddAdapter", "ss", "hci0", "kestrel");
    for (const auto& [addr, name, cls] :
         {std::tuple{kMPT, "MPT-II", kPrinterClass}, std::tuple{kMobi, "Gertec MOBI PIN 10", kKeyboardClass},
          std::tuple{kFone, "Fone", 0u}}) {
        ok = ok && b.Mock("AddDevice", "sss", "hci0", addr.c_str(), name);
        if (addr != kFone)
            ok = ok && b.Mock("PairDevice", "ssi", "hci0", addr.c_str(), static_cast<int>(cls));
        ok = ok && b.Update(DevicePath(addr), "org.bluez.Device1", "Class", "u", cls);
    }
    return ok && b.Update("/org/bluez/hci0", "org.bluez.Adapter1", "Powered", "b", APowered ? 1 : 0);
}

class BlueTooth : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gBlueZ) GTEST_SKIP() << gWhy;
        ASSERT_TRUE(Populate());
        TVexoDeviceBlueTooth::ConectarServico = [this](const TBlueToothDeviceInfo& ADevice,
                                                       const std::string& AUUID, int ATimeOut) {
            calls.push_back(ADevice.Address + " " + AUUID + " " + std::to_string(ATimeOut));
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
            peers.push_back(pair[1]);
            if (closePeers) ::close(pair[1]), peers.back() = -1;
            return pair[0];
        };
        device.SetArqLOG(dir.File("device.log"));
    }
    void TearDown() override {
        device.Desativar();
        for (int p : peers)
            if (p >= 0) ::close(p);
        TVexoDeviceBlueTooth::ConectarServico = {};
    }
    std::vector<std::string> Log() { return devtest::LogTexts(dir.File("device.log")); }
    // The log file is in the code page.
    bool Logged(const std::string& AText) {
        const auto l = Log();
        return std::find(l.begin(), l.end(), TextToAnsi(AText)) != l.end();
    }
    TVexoDeviceBlueTooth& bt() { return device.BlueTooth(); }

    devtest::TempDir dir;
    TVexoDevice device;
    std::vector<std::string> calls;
    std::vector<int> peers;
    bool closePeers = false;
};

TEST_F(BlueTooth, ListsPairedDevicesAllOrPrintersOnly) {
    std::vector<std::string> list{"USB:already there"};
    device.AcharPortasBlueTooth(list, true);
    EXPECT_EQ(list, (std::vector<std::string>{"USB:already there", "BTH:MPT-II", "BTH:Gertec MOBI PIN 10"}));
    EXPECT_TRUE(bt().TemPermissao());
    EXPECT_TRUE(Logged("AcharPortasBlueTooth"));
    EXPECT_TRUE(Logged("BlueTooth Conectado!"));

    list.clear();
    device.AcharPortasBlueTooth(list, false);
    EXPECT_EQ(list, std::vector<std::string>{"BTH:MPT-II"});
}

TEST_F(BlueTooth, AnAdapterThatIsOffIsSwitchedOnAndNoAdapterListsNothing) {
    ASSERT_TRUE(Populate(/*APowered=*/false));
    ASSERT_FALSE(gBlueZ->Powered());
    std::vector<std::string> list;
    device.AcharPortasBlueTooth(list, true);
    EXPECT_TRUE(gBlueZ->Powered());
    EXPECT_EQ(list.size(), 2u);

    ASSERT_TRUE(gBlueZ->Mock("RemoveAdapterWithDevices", "s", "hci0"));
    list.clear();
    device.AcharPortasBlueTooth(list, true);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(Logged("BlueTooth Desconetado!"));
}

TEST_F(BlueTooth, NoBusAtAllReadsAsNoAdapter) {
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("nobody")).c_str(), 1);
    std::vector<std::string> list;
    device.AcharPortasBlueTooth(list, true);
    device.SetPorta("BTH:MPT");
    const std::string error = ErrorOf([&] { device.Ativar(); });
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", gBlueZ->Address().c_str(), 1);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(Logged("BlueTooth Desconetado!"));
    EXPECT_EQ(error, "Dispositivo [BTH:MPT] não encontrado ou não pareado");
}

TEST_F(BlueTooth, ConnectsToTheFirstPairedDeviceWhoseNameBeginsWithThePort) {
    device.SetPorta("BTH: mpt ");
    EXPECT_EQ(device.DeviceType(), dtBlueTooth);
    // The kind itself refuses without permission; activating a named port asks for it.
    EXPECT_EQ(ErrorOf([&] { bt().Conectar("BTH: mpt ", 2500); }),
              "Sem Permissão para acesso a Dispositivos BlueTooth");
    EXPECT_TRUE(Logged("Exception: Sem Permissão para acesso a Dispositivos BlueTooth"));
    device.SetTimeOutMilissegundos(2500);
    device.Ativar();
    EXPECT_TRUE(Logged("PedirPermissoesBlueTooth"));
    EXPECT_TRUE(device.Ativo());
    EXPECT_EQ(bt().Dispositivo().Name, "MPT-II");
    EXPECT_EQ(calls, std::vector<std::string>{kMPT + " 00001101-0000-1000-8000-00805F9B34FB 2500"});
    EXPECT_EQ(bt().GetTimeOutMilissegundos(), 2500);

    const auto start = Clock::now();
    device.EnviaString("ABC");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100)); // the pause after every send
    EXPECT_EQ(devtest::RecvSome(peers[0], 3), "ABC");
    EXPECT_TRUE(Logged("  TVexoDeviceBlueTooth.EnviaString"));

    devtest::SendAll(peers[0], "12345\r67");
    EXPECT_EQ(device.LeString(1000, 3), "123");
    EXPECT_EQ(device.LeString(1000, 0, "\r"), "45");
    EXPECT_EQ(device.LeString(1000, 0), "67");
    EXPECT_EQ(device.LeString(100, 0), ""); // timeouts never raise
    devtest::SendAll(peers[0], "x");
    EXPECT_EQ(device.LeString(100, 4), "x");
    devtest::SendAll(peers[0], "no end");
    EXPECT_EQ(device.LeString(100, 0, "\x03"), "");
    EXPECT_EQ(bt().InternalBuffer(), "no end");
    EXPECT_EQ(device.LeByte(100), 'n');

    device.Desativar();
    EXPECT_FALSE(bt().Conectado());
    EXPECT_FALSE(bt().TemPermissao()); // asked again before the next activation
    EXPECT_EQ(devtest::RecvSome(peers[0], 1, 500), "");
    EXPECT_FALSE(Logged("   TVexoDeviceBlueTooth.Desconectar(True)"));
    EXPECT_EQ(ErrorOf([&] { device.EnviaString("x"); }), "Dispositivo BlueTooth não está conectado");
}

TEST_F(BlueTooth, UnknownOrUnpairedNamesAndFailedConnectsAreErrors) {
    device.PedirPermissoesBlueTooth();
    device.SetPorta("BTH:Fone"); // present but not paired
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Dispositivo [BTH:Fone] não encontrado ou não pareado");
    device.SetPorta("BTH:Zebra");
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Dispositivo [BTH:Zebra] não encontrado ou não pareado");
    EXPECT_TRUE(calls.empty());

    device.SetPorta("BTH:gertec");
    TVexoDeviceBlueTooth::ConectarServico = [](const TBlueToothDeviceInfo&, const std::string&, int) {
        errno = EHOSTDOWN;
        return -1;
    };
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Erro ao conectar com Dispositivo [Gertec MOBI PIN 10]");
    EXPECT_FALSE(device.Ativo());
    // The real RFCOMM connect has no Bluetooth sockets to use here: it fails the same way.
    TVexoDeviceBlueTooth::ConectarServico = ConnectRFCOMM;
    EXPECT_EQ(ErrorOf([&] { device.Ativar(); }), "Erro ao conectar com Dispositivo [Gertec MOBI PIN 10]");
}

TEST_F(BlueTooth, ASendThatTimesOutFailsAndIsNeverSentAgain) {
    device.SetPorta("BTH:MPT");
    device.SetTimeOutMilissegundos(300);
    device.Ativar();
    // Nobody reads the far end: the stream takes what its buffers hold, then nothing more.
    const ByteString big(4 << 20, 'Z');
    const std::string error = ErrorOf([&] { device.EnviaString(big); });
    EXPECT_EQ(error.rfind("Tempo esgotado ao enviar para o Dispositivo BlueTooth [MPT-II]: ", 0), 0u)
        << error;
    EXPECT_EQ(peers.size(), 1u); // no reconnection, so nothing of it went twice
    size_t received = 0;
    for (std::string part; !(part = devtest::RecvSome(peers[0], 1 << 16, 300)).empty();)
        received += part.size();
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, big.size());
    EXPECT_NE(error.find(" " + std::to_string(received) + " de " + std::to_string(big.size())),
              std::string::npos)
        << error;
}

TEST_F(BlueTooth, ABrokenStreamIsReconnectedAtMostFiveTimes) {
    device.PedirPermissoesBlueTooth();
    device.SetPorta("BTH:MPT");
    device.Ativar();
    // The first stream breaks; the send reconnects and goes out on the second.
    ::close(peers[0]);
    peers[0] = -1;
    device.EnviaString("PING");
    ASSERT_EQ(peers.size(), 2u);
    EXPECT_EQ(devtest::RecvSome(peers[1], 4), "PING");
    EXPECT_TRUE(Logged("  IOException: Broken pipe"));

    // Every new stream is broken too: five reconnects, then the error.
    closePeers = true;
    ::close(peers[1]);
    peers[1] = -1;
    EXPECT_EQ(ErrorOf([&] { device.EnviaString("PING"); }), "IOException: Broken pipe");
    EXPECT_EQ(peers.size(), 7u);
}

TEST_F(BlueTooth, AFarEndThatClosesIsAnErrorNotSilence) {
    device.PedirPermissoesBlueTooth();
    device.SetPorta("BTH:MPT");
    device.Ativar();
    devtest::SendAll(peers[0], "last");
    ::close(peers[0]);
    peers[0] = -1;
    EXPECT_EQ(device.LeString(1000, 4), "last"); // what came before the close is delivered
    EXPECT_EQ(ErrorOf([&] { device.LeString(1000, 1); }), "IOException: Connection reset by peer");
}

#ifdef KESTREL_TEST_WITH_SIM
// A mobile PIN pad paired over Bluetooth: the simulator stands behind the serial-port service.
TEST_F(BlueTooth, APinPadSessionThroughItsBluetoothName) {
    kestrel::sim::SimulatorRunner sim(kestrel::sim::Profile::Graphic());
    sim.SetTimeScale(0.01);
    const uint16_t port = sim.StartTcp();
    TVexoDeviceBlueTooth::ConectarServico = [port](const TBlueToothDeviceInfo&, const std::string&, int) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    };
    TVexoAbecsPinPad pinpad;
    pinpad.Device().PedirPermissoesBlueTooth();
    pinpad.SetPort("BTH:Gertec MOBI");
    pinpad.Enable();
    devtest::ExpectAShortSession(pinpad, sim);
    pinpad.Disable();
}
#endif

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    MockBlueZ bluez;
    if (bluez.Start(gWhy)) gBlueZ = &bluez;
    const int result = RUN_ALL_TESTS();
    gBlueZ = nullptr;
    bluez.Stop();
    return result;
}
