// Rules broken on purpose, each by its own profile key: the broken rule shows on the wire, and
// every other rule still holds, so a conformance check can be shown to catch exactly its rule.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::sim::test {
namespace {

using namespace vexo;

const ByteString kOpnAnswer = Hex("06 16 4F 50 4E 30 30 30 17 77 5E");
const ByteString kPng = "\x89PNG\r\n\x1A\n" + ByteString(600, 'p');

ByteString MediaInfo(size_t ASize, uint16_t ACRC) {
    return {static_cast<char>(ASize >> 24),
            static_cast<char>(ASize >> 16),
            static_cast<char>(ASize >> 8),
            static_cast<char>(ASize),
            static_cast<char>(ACRC >> 8),
            static_cast<char>(ACRC),
            1,
            0,
            0,
            0};
}

class SimBreaks : public SimLinkFixture, public ::testing::WithParamInterface<std::string> {
protected:
    // A graphic PIN pad breaking the rules named, each as "break_NAME = yes".
    void StartBreaking(const std::vector<std::string>& ARules) {
        std::string text;
        for (const auto& rule : ARules)
            text += "break_" + rule + " = yes\n";
        Start(Profile::Parse(text));
        ASSERT_EQ(Command("OPN"), "OPN000");
    }
    bool Breaks(const std::string& ARule) const { return GetParam() == ARule; }

    // CAN during a GKY: what comes back within a short while.
    std::string CancelGky() {
        Host().Write(Frame("GKY"));
        EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
        ExpectSilence(50ms);
        Host().Write("\x18");
        return HexOf(Host().ReadUntilQuiet(150ms, 2000ms));
    }
    // The response to OPN, then a NAK: what comes back.
    std::string NakTheResponse() {
        Host().Write(Frame("OPN"));
        EXPECT_EQ(Host().Read(11, 2000ms), kOpnAnswer);
        Host().Write("\x15");
        return HexOf(Host().ReadUntilQuiet(150ms, 2000ms));
    }
    // A whole media load whose MLI announces a CRC off by one.
    std::string LoadWithWrongCrc() {
        const uint16_t crc = TVexoAbecsPacket::UpdateCRC(0, kPng) ^ 1;
        EXPECT_EQ(Command("MLI" +
                          Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, MediaInfo(kPng.size(), crc)))),
                  "MLI000");
        EXPECT_EQ(Command("MLR" + Block(TLV(SPE_DATAIN, kPng))), "MLR000");
        return Command("MLE");
    }
};

TEST_P(SimBreaks, EachKeyBreaksItsRuleAndNoOther) {
    StartBreaking({GetParam()});
    const std::string eot = "04 ";
    const std::string leftover = eot + HexOf(Frame("GKY013"));
    const std::string canAnswer = CancelGky();
    if (Breaks("no_eot")) {
        EXPECT_EQ(canAnswer, "");
    } else if (Breaks("leftover")) {
        EXPECT_EQ(canAnswer, leftover);
    } else if (Breaks("late_eot")) {
        // Nothing within the host's wait; the EOT comes after it.
        EXPECT_EQ(canAnswer, "");
        EXPECT_EQ(HexOf(Host().Read(1, 5000ms)), eot);
    } else {
        EXPECT_EQ(canAnswer, eot);
    }
    if (Breaks("answer_after_eot")) {
        // The aborted GKY answers once the host has moved on.
        const ByteString late = Frame("GKY013");
        EXPECT_EQ(HexOf(Host().Read(late.size(), 5000ms)), HexOf(late));
    }

    EXPECT_EQ(NakTheResponse(), Breaks("ignore_nak") ? "" : HexOf(kOpnAnswer.substr(1)));
    EXPECT_EQ(LoadWithWrongCrc(), Breaks("mle_crc") ? "MLE000" : "MLE102");

    // A CAN with nothing waiting leaves nothing over, whatever is broken.
    Host().Write("\x18");
    if (Breaks("late_eot"))
        EXPECT_EQ(HexOf(Host().Read(1, 5000ms)), eot);
    else
        EXPECT_EQ(HexOf(Host().ReadUntilQuiet(150ms, 2000ms)), Breaks("no_eot") ? "" : eot);
    // The link goes on.
    Sim().PressKey(4);
    EXPECT_EQ(Command("GKY"), "GKY004");
}

INSTANTIATE_TEST_SUITE_P(Sim, SimBreaks, ::testing::ValuesIn(Profile::BreakNames()),
                         [](const auto& AInfo) { return AInfo.param; });

TEST(SimBreakProfile, RuleBreakerBreaksThemAllAndTheOthersNone) {
    const Profile breaker = Profile::Load("rule-breaker");
    EXPECT_EQ(breaker.Name, "rule-breaker");
    EXPECT_TRUE(breaker.Breaks.NoEotAfterCan && breaker.Breaks.IgnoreNak && breaker.Breaks.AcceptBadMleCrc &&
                breaker.Breaks.LeftoverAfterAbort);
    for (const auto& name : Profile::BuiltinNames()) {
        if (name != "rule-breaker") {
            EXPECT_FALSE(Profile::Load(name).Breaks.Any()) << name;
        }
    }
    Profile p = Profile::Graphic();
    p.Set("break_leftover", "yes");
    EXPECT_TRUE(p.Breaks.LeftoverAfterAbort);
    EXPECT_FALSE(p.Breaks.NoEotAfterCan);
    EXPECT_THROW(p.Set("break_everything", "yes"), std::runtime_error);
    EXPECT_THROW(p.Set("break_no_eot", "perhaps"), std::runtime_error);
}

TEST(SimBreakProfile, LeftoverAnswerOfADelayedCommandComesAfterTheEot) {
    Profile profile = Profile::Parse("break_leftover = yes\nanswer_delay = GIN:100000\n");
    SimulatorRunner sim(profile);
    sim.SetTimeScale(0.01);
    auto host = sim.StartInProcess();
    host.Write(Frame("GIN" + Block("00")));
    ASSERT_EQ(SimLinkFixture::HexOf(host.Read(1, 2000ms)), "06 ");
    host.Write("\x18");
    const ByteString got = host.ReadUntilQuiet(150ms, 2000ms);
    ASSERT_GT(got.size(), 10u);
    EXPECT_EQ(got[0], '\x04');
    EXPECT_EQ(SimLinkFixture::Unwrap("\x06" + got.substr(1)).substr(0, 9), "GIN000100");
}

} // namespace
} // namespace kestrel::sim::test
