// A PIN pad programmed by a scenario, driven by the component: commands the simulator does not know
// answered by rules, matched by name and item values, in sequences, after a cardholder's cue, with
// faults; and every command no rule takes served as before.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/Scenario.h"
#include "sim/SimulatorRunner.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

using namespace vexo;
using kestrel::sim::Profile;
using kestrel::sim::Scenario;
using kestrel::sim::SimulatorRunner;
using P = TVexoAbecsAnyParam;

class ScenarioSession : public ::testing::Test {
protected:
    void Open(const std::string& AScenario) {
        sim = std::make_unique<SimulatorRunner>(Profile::Graphic());
        sim->SetTimeScale(0.01);
        sim->SetScenario(Scenario::Parse(AScenario));
        pinpad.SetPort(sim->StartPty());
        pinpad.SetTimeOut(3000);
        pinpad.Enable();
    }
    void TearDown() override {
        pinpad.SetOnWriteLog({});
        pinpad.SetOnWaitForResponse({});
        pinpad.Disable();
    }

    std::string ErrorOf(const TVexoAbecsAnyCommand& ACommand) {
        try {
            pinpad.ExecAny(ACommand);
        } catch (const EVexoAbecsPinPadError& e) {
            return e.Message();
        }
        return "";
    }

    std::unique_ptr<SimulatorRunner> sim;
    TVexoAbecsPinPad pinpad;
};

TEST_F(ScenarioSession, RulesAnswerByNameAndItemValuesInOrder) {
    Open(R"(
rules:
  - command: GTK
    when: {SPE_TRACKS: {hex: "02"}}
    items: {PP_TRACK2: "4761739001010010=2512", 0x8099: {hex: "00 FF"}}
  - command: GTK
    status: 41
  - command: DSP
    display: [SCENARIO]
)");
    const auto answer = pinpad.ExecAny({"GTK", {P::Bytes(SPE_TRACKS, "\x02")}});
    EXPECT_EQ(answer.Value(PP_TRACK2), "4761739001010010=2512");
    EXPECT_EQ(answer.Items()[1].Name, "8099h");
    EXPECT_EQ(answer.Value(0x8099), std::string("\x00\xFF", 2));
    // Another value: the next rule.
    EXPECT_EQ(ErrorOf({"GTK", {P::Bytes(SPE_TRACKS, "\x01")}}), "Error: 41 - Magnetic card reading error.");
    // No answer in the rule: the PIN pad answers as it always does, showing the rule's text meanwhile.
    pinpad.DSP("HELLO");
    EXPECT_EQ(sim->Display().Lines[0], "     HELLO      ");
    // No rule at all: served as before.
    pinpad.GIX({PP_MNNAME});
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_MNNAME), "KESTREL");
}

TEST_F(ScenarioSession, SequencesMoveOnAndEndOrRepeat) {
    Open(R"(
rules:
  - command: GOX
    sequence:
      - {status: 0, items: {PP_GOXRES: "1"}}
      - {status: 13}
  - command: GOX
    status: 0
    items: {PP_GOXRES: "after"}
  - command: FCX
    repeat: true
    sequence:
      - {status: 0}
      - {status: 20}
)");
    pinpad.SetOnWaitForResponse([](bool&) {});
    EXPECT_EQ(pinpad.ExecAny({"GOX", {}}).Value(PP_GOXRES), "1");
    EXPECT_EQ(ErrorOf({"GOX", {}}), "Error: 13 - Operation canceled by the cardholder.");
    EXPECT_EQ(pinpad.ExecAny({"GOX", {}}).Value(PP_GOXRES), "after");
    EXPECT_EQ(pinpad.ExecAny({"GOX", {}}).Value(PP_GOXRES), "after");
    EXPECT_EQ(ErrorOf({"FCX", {}}), "");
    EXPECT_NE(ErrorOf({"FCX", {}}), "");
    EXPECT_EQ(ErrorOf({"FCX", {}}), "");
}

TEST_F(ScenarioSession, AnAnswerWaitsForItsCueAndCancelEndsTheWait) {
    Open(R"(
rules:
  - command: GCX
    display: ["INSERT CARD"]
    wait_for: insert
    items: {PP_CARDTYPE: "03"}
)");
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool&) {
        // A key is not the cue; the card is.
        if (++polls == 1) sim->Act(kestrel::sim::CardholderAction::Press(kestrel::sim::Key::Enter));
        if (polls == 2) sim->Act(kestrel::sim::CardholderAction::Insert());
    });
    EXPECT_EQ(pinpad.ExecAny({"GCX", {}}).Value(PP_CARDTYPE), "03");
    EXPECT_EQ(polls, 2);
    EXPECT_TRUE(sim->CardInserted());
    // Nobody acts: the host cancels with CAN and the PIN pad confirms.
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = true; });
    EXPECT_EQ(ErrorOf({"GCX", {}}), "Cancelled by User");
    EXPECT_EQ(sim->Display().Lines[0], "INSERT CARD");
}

TEST_F(ScenarioSession, FaultsForOneCommandAndForEverAfter) {
    Open(R"(
rules:
  - command: CLO
    fault: "nak:2"
  - command: GIX
    after: "silent*0"
)");
    std::vector<std::string> log;
    pinpad.SetLogLevel(3);
    pinpad.SetOnWriteLog([&](const std::string& ALine, bool&) { log.push_back(ALine); });
    pinpad.CLO("");
    int nakked = 0;
    for (const auto& line : log)
        nakked += line.find("ACK Fail") != std::string::npos;
    EXPECT_EQ(nakked, 2);
    pinpad.GIX({PP_MNNAME});
    pinpad.SetTimeOut(300);
    // Acknowledged, never answered: a timeout, not an answer.
    EXPECT_THROW(pinpad.DSP("X"), EVexoAbecsPinPadTimeout);
    EXPECT_THROW(pinpad.GIX({PP_MNNAME}), EVexoAbecsPinPadTimeout);
}

} // namespace
