// The link after a fault: against the simulated PIN pad, every fault it offers spoils one command,
// and the first command once the line is quiet goes through at its first send. A late answer never
// becomes the answer of the command that follows it.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/Faults.h"
#include "sim/SimulatorRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace vexo;
using kestrel::sim::FaultRule;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;
using Clock = std::chrono::steady_clock;

constexpr int kTimeOut = 1500; // the host's patience for a response, kept short

class QuietLine : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<SimulatorRunner>(Profile::Graphic());
        sim->SetTimeScale(0.01);
        sim->SetByteTap([this](bool AFromHost, const std::string&) {
            if (!AFromHost) lastOutput = Clock::now().time_since_epoch().count();
        });
        pinpad.SetTimeOut(kTimeOut);
        pinpad.SetLogLevel(3);
        pinpad.SetOnWriteLog([this](const std::string& ALine, bool&) {
            log.push_back(ALine.size() > kStamp ? ALine.substr(kStamp) : ALine);
        });
        pinpad.SetPort(sim->StartPty());
        pinpad.Enable();
        pinpad.OPN();
    }
    void TearDown() override {
        pinpad.SetOnWriteLog({});
        pinpad.SetOnWaitForResponse({});
        pinpad.Disable();
    }

    // Until the PIN pad has sent nothing for longer than any pause of its own (bounded: a fault
    // never talks for ever).
    void WaitForQuiet(int AQuietMs = 1000) {
        const auto limit = Clock::now() + std::chrono::seconds(60);
        for (;;) {
            const auto last = Clock::time_point(Clock::duration(lastOutput.load()));
            if (Clock::now() - last > std::chrono::milliseconds(AQuietMs) || Clock::now() > limit) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    size_t Lines(const std::string& APrefix) const {
        return static_cast<size_t>(std::count_if(
            log.begin(), log.end(), [&](const std::string& ALine) { return ALine.starts_with(APrefix); }));
    }

    // GIN 0 runs through, with one send of its packet and nothing else sent.
    void ExpectCleanGIN() {
        log.clear();
        try {
            pinpad.GIN(0);
        } catch (const std::exception& e) {
            std::string lines;
            for (const std::string& line : log)
                lines += line + "\n";
            FAIL() << e.what() << "\n" << lines;
        }
        EXPECT_EQ(pinpad.Response().ID(), "GIN");
        EXPECT_EQ(Lines("  TX -> "), 1u);
        EXPECT_EQ(Lines("      ACK Fail"), 0u);
    }

    static constexpr size_t kStamp = 24;
    std::unique_ptr<SimulatorRunner> sim; // outlives the component's port
    TVexoAbecsPinPad pinpad;
    std::vector<std::string> log;
    std::atomic<Clock::rep> lastOutput{0};
};

// The parameter that makes each fault hurt a host whose patience is kTimeOut; empty takes the default.
std::string Spoiling(const FaultRule::KindInfo& AKind) {
    const std::string name = AKind.Name;
    if (name == "nak" || name == "crc") return name + ":3@GIN";
    if (name == "late") return name + ":" + std::to_string(kTimeOut + 1500) + "@GIN";
    if (name == "split") return name + ":2500@GIN"; // longer than a byte may take inside a frame
    if (name == "noise") return name + ":40@GIN";
    return name + "@GIN";
}

TEST_F(QuietLine, AfterEverySimulatedFaultTheNextCommandGoesThroughAtOnce) {
    for (const FaultRule::KindInfo& kind : FaultRule::Kinds()) {
        SCOPED_TRACE(Spoiling(kind));
        sim->AddFault(Spoiling(kind));
        try {
            pinpad.GIN(0);
        } catch (const std::exception&) {
            // Most of these spoil the command; what matters is the one after.
        }
        WaitForQuiet(kind.Name == std::string("split") ? 3500 : 1000);
        if (pinpad.Port() != sim->Address()) { // a dropped line comes back under a new name
            pinpad.Disable();
            pinpad.SetPort(sim->Address());
            pinpad.Enable();
        }
        ExpectCleanGIN();
    }
}

TEST_F(QuietLine, ALateAnswerIsNeverTheNextCommandsAnswer) {
    sim->AddFault("late:" + std::to_string(kTimeOut + 1500) + "@GIN");
    EXPECT_THROW(pinpad.GIN(0), EVexoAbecsPinPadTimeout);
    // Nobody presses a key: the GKY can only end by a cancel, once the late GIN answer has come.
    sim->NeverAnswer();
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) {
        const bool seen = std::find(log.begin(), log.end(),
                                    "  Answer to another command: GIN, waiting for GKY") != log.end();
        ACancel = seen || ++polls > 20;
    });
    try {
        const int32_t key = pinpad.GKY();
        ADD_FAILURE() << "GKY ended with key " << key;
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Cancelled by User");
    }
    EXPECT_EQ(Lines("  Answer to another command: GIN, waiting for GKY"), 1u);
    EXPECT_LE(polls, 20);
    pinpad.SetOnWaitForResponse({});
    WaitForQuiet();
    ExpectCleanGIN();
}

} // namespace
