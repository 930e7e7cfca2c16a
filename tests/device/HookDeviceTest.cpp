#include "DeviceTestSupport.h"
#include "device/VexoDevice.h"
#include "util/Strings.h"
#include <algorithm>
#include <deque>
#include <gtest/gtest.h>
#include <thread>

using namespace vexo;
using devtest::ErrorOf;

namespace {

// A host whose read hook hands out the chunks of a script, one per call, and remembers each call's
// NumBytes and timeout. An exhausted script answers with nothing at once.
struct ScriptedRead {
    std::deque<ByteString> chunks;
    std::vector<std::pair<int, int>> calls;
    TVexoDeviceHookLeString Hook() {
        return [this](int NumBytes, int ATimeOut, ByteString& Retorno) {
            calls.emplace_back(NumBytes, ATimeOut);
            if (chunks.empty()) return;
            Retorno = chunks.front();
            chunks.pop_front();
        };
    }
};

struct HookFixture : ::testing::Test {
    TVexoDevice device;
    ScriptedRead host;
    void SetUp() override {
        device.SetPorta("DLL:host");
        ASSERT_EQ(device.DeviceType(), dtHook);
        device.SetHookLeString(host.Hook());
        device.Ativar();
    }
};

} // namespace

TEST(Hook, CallbacksGetThePortTheParametersAndTheBytesInOrder) {
    devtest::TempDir dir;
    std::vector<std::string> calls;
    TVexoDevice device;
    device.SetArqLOG(dir.File("hook.log"));
    device.SetParamsString("BAUD=115200 PARITY=E");
    device.SetHookAtivar([&](const std::string& APort, const std::string& Params) {
        calls.push_back("Ativar " + APort + " | " + Params);
    });
    device.SetHookEnviaString([&](const ByteString& cmd) { calls.push_back("Envia " + BytesParaHex(cmd)); });
    device.SetHookDesativar([&](const std::string& APort) { calls.push_back("Desativar " + APort); });
    device.SetPorta("dll:PinPad");
    device.Ativar();
    device.EnviaString(std::string("\x02"
                                   "A\x00\x1B\x03",
                                   5));
    device.EnviaByte(0x06);
    device.Desativar();
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "Ativar dll:PinPad | BAUD=115200 DATA=8 PARITY=E STOP=1 HANDSHAKE= MAXBANDWIDTH=0 "
                         "SENDBYTESCOUNT=0 SENDBYTESINTERVAL=0",
                         "Envia 0241001B03",
                         "Envia 06",
                         "Desativar dll:PinPad",
                     }));
    const auto lines = devtest::LogTexts(dir.File("hook.log"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "  TVexoDeviceHook.EnviaString"), 2);
}

TEST(Hook, WithoutCallbacksItActivatesSendsNothingAndReadsNothing) {
    devtest::TempDir dir;
    TVexoDevice device;
    device.SetArqLOG(dir.File("hook.log"));
    device.SetPorta("DLL");
    device.Ativar();
    EXPECT_TRUE(device.Ativo());
    device.EnviaString("abc");
    EXPECT_EQ(device.LeString(10, 0, "\x03"), "");
    EXPECT_EQ(device.LeByte(10), 0);
    device.Limpar();
    device.Desativar();
    const auto lines = devtest::LogTexts(dir.File("hook.log"));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "  TVexoDeviceHook.EnviaString"), 0);
}

// A chunk that only holds part of the answer does not end a read that waits for its terminator.
TEST_F(HookFixture, ATerminatedReadStopsAtTheChunkThatEndsWithTheTerminator) {
    host.chunks = {"AB", "C\x03", "next"};
    EXPECT_EQ(device.LeString(2000, 0, "\x03"), "ABC");
    EXPECT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0], (std::pair{1, 2000}));
    EXPECT_EQ(device.LeString(2000, 0, {}), "next");
    // A two-byte terminator split over two chunks.
    host.chunks = {"OK\r", "\n"};
    EXPECT_EQ(device.LeString(2000, 0, "\r\n"), "OK");
}

TEST_F(HookFixture, ACountedReadAsksForWhatIsStillMissing) {
    host.chunks = {"AB", "CD", "E"};
    EXPECT_EQ(device.LeString(2000, 5, {}), "ABCDE");
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0].first, 5);
    EXPECT_EQ(host.calls[1].first, 3);
    EXPECT_EQ(host.calls[2].first, 1);
    // Every call gets what is left of the read's time, never more.
    for (const auto& [count, timeout] : host.calls)
        EXPECT_TRUE(timeout > 0 && timeout <= 2000) << timeout;
    host.chunks = {std::string(1, '\0')};
    EXPECT_EQ(device.LeString(2000, 1, {}), std::string(1, '\0'));
    host.chunks = {"\x1B"};
    EXPECT_EQ(device.LeByte(2000), 0x1B);
    // A count comes first, as with every kind: the terminator is then a byte like any other, and a
    // chunk that brings more than the count keeps the rest for the next read.
    host.chunks = {"12\x03", "45678"};
    EXPECT_EQ(device.LeString(2000, 5, "\x03"), "12\x03"
                                                "45");
    host.calls.clear();
    EXPECT_EQ(device.LeString(2000, 3, {}), "678");
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(HookFixture, TheDeadlineEndsAReadThatGetsNothing) {
    host.chunks = {"AB"};
    // The terminator never came: no line, and the bytes wait for the next read.
    EXPECT_EQ(device.LeString(100, 0, "\x03"), "");
    // A hook that answers at once with nothing is not asked in a spin: a pause of about 10 ms after
    // each empty answer bounds the calls.
    EXPECT_LE(host.calls.size(), 100u / 10 + 2);
    host.calls.clear();
    // A counted read that runs out of time gives what came of it.
    EXPECT_EQ(device.LeString(100, 4, {}), "AB");
    EXPECT_LE(host.calls.size(), 100u / 10 + 2);
    host.calls.clear();
    EXPECT_EQ(device.LeString(100, 4, {}), "");
    EXPECT_LE(host.calls.size(), 100u / 10 + 2);
    // The base drain reads until a read comes back empty.
    host.chunks = {"x", "y"};
    device.Limpar();
    EXPECT_TRUE(host.chunks.empty());
}

TEST_F(HookFixture, AHookThatWaitsItsTimeoutIsAskedOnce) {
    int calls = 0;
    device.SetHookLeString([&](int, int ATimeOut, ByteString&) {
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(ATimeOut));
    });
    EXPECT_EQ(device.LeString(50, 0, "\x03"), "");
    EXPECT_EQ(calls, 1);
}

TEST_F(HookFixture, BytesKeptForTheNextReadDoNotOutliveTheConnection) {
    host.chunks = {"ABCD"};
    EXPECT_EQ(device.LeString(1000, 2, {}), "AB");
    device.Desativar();
    device.Ativar();
    host.chunks = {"new"};
    EXPECT_EQ(device.LeString(1000, 0, {}), "new");
}
