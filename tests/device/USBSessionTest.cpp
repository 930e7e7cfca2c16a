// A PIN-pad session through the USB name of a mocked Gertec PPC-930, with the simulated PIN pad
// standing behind its serial node. Runs under umockdev with the "WithDevices" descriptions.
#include "PinPadSessionSupport.h"
#include "device/VexoDevice.h"

#include <gtest/gtest.h>

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

} // namespace
