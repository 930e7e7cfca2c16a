// kestrel-cli replay: a session recorded from the simulator, played again against it (no
// difference) and against one whose scenario changes one answer (that difference and no other).
#include "CliTestSupport.h"

#include "cli/Replay.h"
#include "monitor/RawRecording.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/Scenario.h"
#include "trace/LinkMask.h"

#include <set>

namespace kestrel::cli::test {
namespace {

using monitor::RelayItem;

// OPN, GIX, DSP, CLO from the component to the simulator, every chunk recorded as the monitor does.
std::string RecordSession() {
    const std::string path = TempPath("replay-session.raw");
    std::mutex mutex;
    std::vector<RelayItem> items;
    {
        sim::SimulatorRunner sim;
        sim.SetByteTap([&](bool AFromHost, const vexo::ByteString& ABytes) {
            std::lock_guard lock(mutex);
            items.push_back(RelayItem::Chunk(AFromHost ? monitor::Direction::HostToPinPad
                                                       : monitor::Direction::PinPadToHost,
                                             monitor::TraceClock::now(), ABytes));
        });
        vexo::TVexoAbecsPinPad pinpad;
        pinpad.SetPort(sim.StartPty());
        pinpad.Enable();
        pinpad.OPN();
        pinpad.GIX();
        pinpad.DSP("Recorded", "once");
        pinpad.CLO("Bye", "");
        pinpad.Disable();
        sim.Stop();
    }
    monitor::RawWriter writer(path, true, 10000);
    for (const auto& item : items)
        writer.Write(item);
    writer.Write(RelayItem::Ending(monitor::TraceClock::now()));
    return path;
}

int Count(const std::string& AText, const std::string& AWhat) {
    int n = 0;
    for (size_t at = AText.find(AWhat); at != std::string::npos; at = AText.find(AWhat, at + 1))
        ++n;
    return n;
}

TEST(CliReplay, TheSameSimulatorMatchesAndAChangedAnswerIsTheOneDifference) {
    const std::string recording = RecordSession();
    bool masked = false, known = false;
    const auto commands = RecordedCommands(recording, masked, known);
    ASSERT_GE(commands.size(), 4u);
    EXPECT_TRUE(masked && known);
    {
        sim::SimulatorRunner sim;
        const auto run = RunCli({"--port", sim.StartPty(), "replay", recording});
        EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
        EXPECT_NE(run.Out.find("0 of " + std::to_string(commands.size()) + " commands played differ"),
                  std::string::npos)
            << run.Out;
        // A factor that would overflow the time allowed is refused before anything is sent.
        for (const char* slower : {"1e300", "nan", "1"}) {
            sim::SimulatorRunner other;
            EXPECT_EQ(RunCli({"--port", other.StartPty(), "replay", recording, "--slower", slower}).Status, 2)
                << slower;
        }
    }
    sim::SimulatorRunner sim;
    sim.SetScenario(sim::Scenario::Parse("rules:\n  - command: DSP\n    status: 11\n"));
    const std::string junit = TempPath("replay.xml");
    const auto run = RunCli({"--port", sim.StartPty(), "replay", recording, "--junit", junit});
    EXPECT_EQ(run.Status, 6) << run.Out << run.Err;
    EXPECT_EQ(Count(run.Out, "DIFFERENT"), 1) << run.Out;
    EXPECT_EQ(Count(run.Out, "recorded 000"), 1) << run.Out;
    EXPECT_NE(run.Out.find("status 011, recorded 000"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("1 of " + std::to_string(commands.size()) + " commands played differ"),
              std::string::npos)
        << run.Out;
    EXPECT_EQ(
        Python("import sys, xml.etree.ElementTree as E\nr=E.fromstring(sys.stdin.read())\n"
               "print(r.get('tests'), r.get('failures'), [c.get('name') for c in r.iter('testcase') "
               "if c.find('failure') is not None])",
               ReadFile(junit)),
        std::to_string(commands.size()) + " 1 ['" +
            [&] {
                for (size_t i = 0; i < commands.size(); ++i)
                    if (commands[i].Command.starts_with("DSP")) return std::to_string(i + 1) + " DSP";
                return std::string("no DSP");
            }() +
            "']");
}

vexo::ByteString Tlv(uint16_t ATag, const vexo::ByteString& AValue) {
    return vexo::ByteString{char(ATag >> 8), char(ATag & 0xFF), char(AValue.size() >> 8),
                            char(AValue.size())} +
           AValue;
}

vexo::ByteString Response(const vexo::ByteString& AStatus, const vexo::ByteString& AItems) {
    char length[8];
    std::snprintf(length, sizeof length, "%03zu", AItems.size());
    return "GCX" + AStatus + length + AItems;
}

TEST(CliReplay, ResponsesCompareItemByItemWithIgnoredAndMaskedValues) {
    const auto card = Tlv(vexo::PP_PAN, "4761739001010010");
    const auto recorded = Response("000", Tlv(vexo::PP_SERNUM, "ABC") + Tlv(vexo::PP_MODEL, "M1") + card);
    // The same answer: nothing to report, masked or not.
    EXPECT_TRUE(CompareResponses(recorded, recorded, {}, false, true).empty());
    // Changed, missing and new items, each once, by name; an ignored one not at all.
    const auto now = Response("000", Tlv(vexo::PP_SERNUM, "XYZ") + card + Tlv(vexo::PP_CARDTYPE, "03"));
    const auto differences = CompareResponses(recorded, now, {}, false, true);
    ASSERT_EQ(differences.size(), 3u) << ::testing::PrintToString(differences);
    EXPECT_NE(differences[0].find("PP_SERNUM"), std::string::npos);
    EXPECT_NE(differences[1].find("PP_MODEL missing"), std::string::npos);
    EXPECT_NE(differences[2].find("PP_CARDTYPE"), std::string::npos);
    EXPECT_EQ(
        CompareResponses(recorded, now, {vexo::PP_SERNUM, vexo::PP_MODEL, vexo::PP_CARDTYPE}, false, true)
            .size(),
        0u);
    // A masked recording holds the card number masked: the live one is masked before comparing, and
    // a different card shows masked in the report.
    const auto maskedRecording = vexo::ByteString(trace::MaskDataField(recorded, true));
    EXPECT_TRUE(CompareResponses(maskedRecording, recorded, {}, true, true).empty());
    const auto other = Response("000", Tlv(vexo::PP_SERNUM, "ABC") + Tlv(vexo::PP_MODEL, "M1") +
                                           Tlv(vexo::PP_PAN, "5555666677778884"));
    const auto changed = CompareResponses(maskedRecording, other, {}, true, true);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].find("5555666677778884"), std::string::npos) << changed[0];
    EXPECT_EQ(changed[0].find("4761739001010010"), std::string::npos) << changed[0];
}

} // namespace
} // namespace kestrel::cli::test
