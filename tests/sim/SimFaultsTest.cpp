// Every fault, as the host sees it on the wire.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"
#include <thread>

namespace kestrel::sim::test {
namespace {

using namespace vexo;

class SimFaults : public SimLinkFixture {};

const ByteString kOpnAnswer = Hex("06 16 4F 50 4E 30 30 30 17 77 5E");

TEST_F(SimFaults, NoAckLeavesTheFrameUnansweredAndUnexecuted) {
    Sim().AddFault("noack@OPN");
    Host().Write(Frame("OPN"));
    ExpectSilence();
    EXPECT_FALSE(Sim().SessionOpen());
    EXPECT_EQ(Command("OPN"), "OPN000");
}

TEST_F(SimFaults, NakRefusesTheFirstSendsOfTheNamedCommand) {
    Sim().AddFault("nak:2@OPN");
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, Hex("80 22")))), "GIX000" + Block(TLV(PP_MFSUP, "110")));
    for (int i = 0; i < 2; ++i) {
        Host().Write(Frame("OPN"));
        EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "15 ");
        ExpectSilence(50ms);
    }
    Host().Write(Frame("OPN"));
    EXPECT_EQ(Host().Read(11, 2000ms), kOpnAnswer);
}

TEST_F(SimFaults, BadCrcIsRepairedByTheResends) {
    Sim().AddFault("crc:2");
    Host().Write(Frame("OPN"));
    ByteString bad = Host().Read(11, 2000ms);
    EXPECT_EQ(bad.substr(0, 9), kOpnAnswer.substr(0, 9));
    EXPECT_NE(bad, kOpnAnswer);
    Host().Write("\x15");
    EXPECT_NE(Host().Read(10, 2000ms), kOpnAnswer.substr(1));
    Host().Write("\x15");
    EXPECT_EQ(Host().Read(10, 2000ms), kOpnAnswer.substr(1));
}

TEST_F(SimFaults, NoiseComesBeforeTheFrame) {
    Sim().AddFault("noise:3");
    Host().Write(Frame("OPN"));
    const ByteString got = Host().Read(14, 2000ms);
    EXPECT_EQ(HexOf(got.substr(0, 4)), "06 00 FF 41 ");
    EXPECT_EQ(got.substr(4), kOpnAnswer.substr(1));
}

TEST_F(SimFaults, SplitResponseArrivesInPiecesWithPauses) {
    Sim().AddFault("split:800");
    Host().Write(Frame("OPN"));
    const ByteString first = Host().ReadUntilQuiet(300ms, 2000ms);
    EXPECT_LT(first.size(), kOpnAnswer.size());
    EXPECT_EQ(first, kOpnAnswer.substr(0, first.size()));
    EXPECT_EQ(first + Host().Read(kOpnAnswer.size() - first.size(), 4000ms), kOpnAnswer);
}

TEST_F(SimFaults, OversizedResponseExceedsAPacket) {
    Sim().AddFault("oversize");
    Host().Write(Frame("OPN"));
    const ByteString answer = ReadAnswer(Host());
    EXPECT_GT(answer.find('\x17') - 2, 2048u);
}

TEST_F(SimFaults, NoEotAfterCan) {
    Sim().AddFault("noeot@GKY");
    ASSERT_EQ(Command("OPN"), "OPN000");
    Host().Write(Frame("GKY"));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    for (int i = 0; i < 3; ++i) {
        Host().Write("\x18");
        ExpectSilence(100ms);
    }
}

TEST_F(SimFaults, LateResponseComesEvenAfterTheHostMovedOn) {
    Sim().AddFault("late:1500@OPN");
    Host().Write(Frame("OPN"));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    ExpectSilence(150ms);
    // The host gave up and asks something else; the stale answer still follows.
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, Hex("80 22")))), "GIX000" + Block(TLV(PP_MFSUP, "110")));
    EXPECT_EQ(Host().Read(10, 3000ms), kOpnAnswer.substr(1));
}

TEST_F(SimFaults, HangupCutsTheResponseAndDropsTheLine) {
    Sim().AddFault("hangup");
    Host().Write(Frame("OPN"));
    EXPECT_EQ(Host().Read(6, 2000ms), kOpnAnswer.substr(0, 1 + 10 / 2));
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (Host().Drops() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(Host().Drops(), 1u);
    ExpectSilence();
    EXPECT_EQ(Command("OPN"), "OPN000");
}

TEST_F(SimFaults, SilentAcknowledgesButNeverAnswers) {
    Sim().AddFault("silent@DSP");
    ASSERT_EQ(Command("OPN"), "OPN000");
    Host().Write(Frame("DSP" + Block("HELLO")));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    ExpectSilence();
    EXPECT_EQ(Sim().Display().Lines[0], "HELLO");
}

TEST_F(SimFaults, RuleAppliesTheNumberOfTimesAsked) {
    Sim().AddFault("noise:1*2");
    for (int i = 0; i < 3; ++i) {
        Host().Write(Frame("OPN"));
        EXPECT_EQ(Host().Read(i < 2 ? 12 : 11, 2000ms).size(), i < 2 ? 12u : 11u);
        ExpectSilence(50ms);
    }
}

// The outcome of ten OPNs under random faults: each one's first answer, in hexadecimal.
std::vector<std::string> RandomRun(uint32_t ASeed) {
    SimulatorRunner runner;
    runner.SetRandomFaults(0.5, ASeed);
    auto host = runner.StartInProcess();
    std::vector<std::string> outcome;
    for (int i = 0; i < 10; ++i) {
        host.Write(Frame("OPN"));
        outcome.push_back(SimLinkFixture::HexOf(host.ReadUntilQuiet(120ms, 2000ms)));
    }
    return outcome;
}

TEST(SimRandomFaults, TheSameSeedGivesTheSameRun) {
    const auto first = RandomRun(7);
    EXPECT_EQ(first, RandomRun(7));
    EXPECT_NE(std::count(first.begin(), first.end(), SimLinkFixture::HexOf(kOpnAnswer)), 10);
}

TEST(SimFaultRule, ParsesSpecsAndRefusesBadOnes) {
    const FaultRule rule = FaultRule::Parse("nak:2@opn*3");
    EXPECT_EQ(rule.What, FaultRule::Kind::Nak);
    EXPECT_EQ(rule.Param, 2);
    EXPECT_EQ(rule.Command, "OPN");
    EXPECT_EQ(rule.Times, 3);
    EXPECT_EQ(FaultRule::Parse("split").Param, 2500);
    EXPECT_EQ(FaultRule::Parse("late:100*0").Times, 0);
    for (const char* bad : {"", "boom", "nak:x", "nak@OPEN", "crc*", "noise:-1"})
        EXPECT_THROW(FaultRule::Parse(bad), std::invalid_argument) << bad;
}

} // namespace
} // namespace kestrel::sim::test
