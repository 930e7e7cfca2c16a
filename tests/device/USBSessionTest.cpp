// A PIN-pad session through the USB name of a mocked Gertec PPC-930, with the simulated PIN pad
// standing behind its serial node. Runs under umockdev with the "WithDevices" descriptions.
#include "../engine/ScriptedPeer.h"
#include "PinPadSessionSupport.h"
#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace vexo;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;

TEST(WithDevicesSession, APinPadThroughItsUSBName) {
    const char* testbed = std::getenv("UMOCKDEV_DIR");
    if (!testbed) GTEST_SKIP() << "needs umockdev-run (ctest runs this program under it)";
    const std::string node = std::string(testbed) + "/dev/ttyACM0";

    SimulatorRunner sim(Profile::Graphic()); // outlives the component's port
    sim.SetTimeScale(0.01);
    std::filesystem::remove(node);
    sim.StartPty(node);

    TVexoAbecsPinPad pinpad;
    pinpad.SetPort("USB:Gertec");
    pinpad.Enable();
    EXPECT_EQ(pinpad.Device().DeviceType(), dtUSB);
    devtest::ExpectAShortSession(pinpad, sim, [&] {
        EXPECT_FALSE(pinpad.PinPadCapabilities().SerialNumber.empty());
        pinpad.DSP("USB\rGertec");
        EXPECT_EQ(sim.Display().Lines[1], "     Gertec     ");
    });
    pinpad.Disable();
    EXPECT_FALSE(pinpad.Device().Ativo());
}

// The USB kind's reads return empty when the time is up: a PIN pad that goes quiet in the middle of
// a frame must damage that frame, never lengthen it with NULs.
TEST(WithDevicesSession, APinPadThatStopsInTheMiddleOfAFrame) {
    using namespace kestrel::test;
    const char* testbed = std::getenv("UMOCKDEV_DIR");
    if (!testbed) GTEST_SKIP() << "needs umockdev-run (ctest runs this program under it)";
    const std::string node = std::string(testbed) + "/dev/ttyACM0";

    ScriptedPeer peer; // outlives the component's port
    const Bytes half = Frame("GIN000").substr(0, 5);
    peer.Expect(Frame("GIN00200")).Send(kACK).Send(half);
    peer.Expect(kNAK).Send(half).Expect(kNAK).Send(half).Expect(kNAK);
    std::filesystem::remove(node);
    std::filesystem::create_symlink(peer.Path(), node);
    peer.Start();

    TVexoAbecsPinPad pinpad;
    std::vector<std::string> log;
    pinpad.SetLogLevel(3);
    pinpad.SetOnWriteLog([&](const std::string& ALine, bool&) { log.push_back(ALine.substr(24)); });
    pinpad.SetTimeOut(1000);
    pinpad.SetPort("USB:Gertec");
    pinpad.Enable();
    ASSERT_EQ(pinpad.Device().DeviceType(), dtUSB);
    std::string error;
    try {
        pinpad.GIN(0);
    } catch (const EVexoAbecsPinPadError& e) {
        error = e.Message();
    }
    EXPECT_EQ(error, "Error reading Response");
    EXPECT_EQ(std::count(log.begin(), log.end(), "    EVexoAbecsPinPadTimeout: Timeout reading Data Packet"),
              3);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& ALine) { return ALine.starts_with("  DataPacket: "); }),
              0);
    pinpad.SetOnWriteLog({});
    EXPECT_EQ(peer.Finish(), "");
    pinpad.Disable();
    std::filesystem::remove(node);
}

} // namespace
