// The session and information commands and the engine's waits, against the simulated PIN pad,
// over a pseudo-terminal and over TCP, as an operator's session runs them.
#include "device/BlockSerial.h"
#include "device/TCPBlockSocket.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace vexo;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;

enum class Transport { Pty, Tcp };

class SimEngine : public ::testing::TestWithParam<Transport> {
protected:
    void Open(double ATimeScale = 0.01) {
        sim = std::make_unique<SimulatorRunner>(Profile::Graphic());
        sim->SetTimeScale(ATimeScale);
        if (GetParam() == Transport::Pty)
            pinpad.SetPort(sim->StartPty());
        else
            pinpad.SetPort("TCP:127.0.0.1:" + std::to_string(sim->StartTcp()));
        pinpad.Enable();
        pinpad.OPN();
    }
    void TearDown() override { pinpad.Disable(); }

    // Cancels from the second poll on; the limit keeps a broken wait from running for ever.
    void CancelOnSecondPoll() {
        pinpad.SetOnWaitForResponse([this](bool& ACancel) { ACancel = ++polls >= 2; });
    }

    std::unique_ptr<SimulatorRunner> sim; // declared first: outlives the component's port
    TVexoAbecsPinPad pinpad;
    int polls = 0;
};

TEST_P(SimEngine, SessionAndInformationCommands) {
    Open();
    const TVexoAbecsPinPadCapabilities c = pinpad.PinPadCapabilities();
    EXPECT_FALSE(c.SerialNumber.empty());
    EXPECT_EQ(c.DisplayTextModeDimensions, (TVexoAbecsDimension{8, 16}));
    EXPECT_EQ(c.DisplayGraphicPixels, (TVexoAbecsDimension{240, 320}));
    EXPECT_TRUE(c.DisplayIsGraphic && c.DisplayIsColor);
    EXPECT_TRUE(c.MediaPNGisSupported && c.MediaJPGisSupported && !c.MediaGIFisSupported);

    pinpad.GIX({PP_SERNUM, PP_MODEL});
    std::vector<std::string> values;
    pinpad.Response().GetResponseAsValues(values);
    EXPECT_EQ(values.size(), 2u);
    pinpad.GIX();
    pinpad.Response().GetResponseAsValues(values);
    EXPECT_GT(values.size(), 2u);
    pinpad.GIN(0);
    EXPECT_FALSE(pinpad.Response().GetResponseData().empty());

    pinpad.CLX("Goodbye");
    EXPECT_FALSE(sim->SessionOpen());
    EXPECT_EQ(sim->Display().Lines[0], "    Goodbye     ");
    pinpad.OPN();
    pinpad.CLO("See you", "soon");
    EXPECT_FALSE(sim->SessionOpen());
    EXPECT_EQ(sim->Display().Lines[1], "      soon      ");
}

TEST_P(SimEngine, BlockingCommandWaitsForTheCardholderAndCanBeCancelled) {
    Open(1.0);
    sim->Delay(1500); // longer than one read slice: silence must not end the wait
    sim->PressKey(4);
    EXPECT_EQ(pinpad.GKY(), 4);

    CancelOnSecondPoll();
    sim->NeverAnswer();
    try {
        pinpad.GKY();
        ADD_FAILURE() << "no error";
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Cancelled by User");
    }
    EXPECT_EQ(polls, 2);
    pinpad.SetOnWaitForResponse(nullptr);
    pinpad.GIN(0); // the link goes on after the cancellation
}

TEST_P(SimEngine, PeerGoneDuringABlockingCommandEndsItPromptly) {
    Open();
    pinpad.SetOnWaitForResponse([this](bool& ACancel) {
        if (++polls == 1) sim->Stop();
        ACancel = polls > 10;
    });
    int ends = 0;
    pinpad.SetOnEndCommand([&](TComponent*) { ++ends; });
    sim->NeverAnswer();
    bool failed = false;
    try {
        pinpad.GKY();
    } catch (const ESerialPortError&) {
        failed = true;
    } catch (const ESocketError&) {
        failed = true;
    }
    EXPECT_TRUE(failed);
    EXPECT_LE(polls, 3);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(pinpad.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(Transports, SimEngine, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& AInfo) { return AInfo.param == Transport::Pty ? "Pty" : "Tcp"; });

} // namespace
