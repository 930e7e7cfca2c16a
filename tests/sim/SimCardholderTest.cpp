// The person at the PIN pad: actions consumed by the blocking commands, timeouts, cancellation.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::sim::test {
namespace {

using namespace vexo;

class SimCardholder : public SimSessionFixture {};

TEST_F(SimCardholder, GkyAnswersWithTheKeyCode) {
    for (int code : {0, 4, 5, 6, 7, 8, 13}) {
        Sim().PressKey(code);
        char expected[8];
        std::snprintf(expected, sizeof expected, "GKY%03d", code);
        EXPECT_EQ(Command("GKY"), expected);
    }
}

TEST_F(SimCardholder, GkyPassesOnACodeNoKeyGives) {
    Sim().PressKey(99);
    EXPECT_EQ(Command("GKY"), "GKY099");
}

TEST_F(SimCardholder, ActionsTheCommandDoesNotWantAreUsedUpAndIgnored) {
    Sim().LoadScript("digits 1234\nchoose 1\nswipe\nkey F2\n");
    EXPECT_EQ(Command("GKY"), "GKY005");
    EXPECT_EQ(Sim().ScriptLeft(), 0u);
}

TEST_F(SimCardholder, GcdKeepsToTheDigitLimits) {
    const ByteString gcd =
        "GCD" + Block(TLV(SPE_MSGIDX, U16(7)) + TLV(SPE_MINDIG, "\x04") + TLV(SPE_MAXDIG, "\x06"));
    // Too few digits: ENTER is refused and the entry goes on; too many: the keypad stops at six.
    Sim().TypeDigits("12");
    Sim().TypeDigits("12345678");
    EXPECT_EQ(Command(gcd), "GCD000" + Block(TLV(PP_VALUE, "123456")));
    EXPECT_EQ(Sim().Display().Lines[1], "          123456");
    Sim().PressKey(13);
    EXPECT_EQ(Command(gcd), "GCD013");
}

TEST_F(SimCardholder, OwnTimeoutAnswers12WhenTheCardholderIsTooSlow) {
    // One second of SPE_TIMEOUT against a cardholder who takes a hundred.
    Sim().Delay(100000);
    Sim().TypeDigits("1234");
    EXPECT_EQ(Command("GCD" + Block(TLV(SPE_MSGIDX, U16(7)) + TLV(SPE_TIMEOUT, "\x01"))), "GCD012");
    EXPECT_EQ(Command("MNU" + Block(TLV(SPE_TIMEOUT, "\x01") + TLV(SPE_MNUOPT, "A"))), "MNU012");
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "100000") + TLV(SPE_TIMEOUT, "\x01"))), "CEX012");
}

TEST_F(SimCardholder, DelayedActionIsStillUsed) {
    Sim().Delay(1000);
    Sim().PressKey(7);
    EXPECT_EQ(Command("GKY"), "GKY007");
}

TEST_F(SimCardholder, MenuTakesAChoiceInRange) {
    const ByteString mnu = "MNU" + Block(TLV(SPE_DSPMSG, "PAY WITH\r") + TLV(SPE_MNUOPT, "CREDIT") +
                                         TLV(SPE_MNUOPT, "DEBIT") + TLV(SPE_MNUOPT, "VOUCHER"));
    Sim().ChooseOption(4);
    Sim().ChooseOption(2);
    EXPECT_EQ(Command(mnu), "MNU000" + Block(TLV(PP_VALUE, "02")));
    const auto display = Sim().Display();
    EXPECT_EQ(display.Lines[0], "PAY WITH");
    EXPECT_EQ(display.Lines[2], "2 DEBIT");
    Sim().PressKey(13);
    EXPECT_EQ(Command(mnu), "MNU013");
}

TEST_F(SimCardholder, CexReportsEachEventWithItsItems) {
    Sim().PressKey(4);
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "100000"))), "CEX000" + Block(TLV(PP_EVENT, "04")));

    Sim().SwipeCard("B4761739001010010^TEST/CARD^3012", "4761739001010010=3012");
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "010000") + TLV(SPE_PANMASK, "0604"))),
              "CEX000" + Block(TLV(PP_EVENT, "90") + TLV(PP_TRK1INC, "B476173******0010^TEST/CARD^3012") +
                               TLV(PP_TRK2INC, "476173******0010=3012")));

    Sim().TapCard();
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "000100"))), "CEX000" + Block(TLV(PP_EVENT, "94")));

    Sim().InsertCard();
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "001000"))), "CEX000" + Block(TLV(PP_EVENT, "92")));
    EXPECT_TRUE(Sim().CardInserted());
    // The card is already in: asking again answers at once.
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "001000"))), "CEX000" + Block(TLV(PP_EVENT, "92")));
    Sim().RemoveCard();
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "002000"))), "CEX000" + Block(TLV(PP_EVENT, "91")));
    EXPECT_FALSE(Sim().CardInserted());
}

TEST_F(SimCardholder, RmcWaitsForTheCardToLeave) {
    Sim().InsertCard();
    ASSERT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "001000"))), "CEX000" + Block(TLV(PP_EVENT, "92")));
    Host().Write(Frame("RMC" + Block("REMOVE CARD")));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    ExpectSilence();
    EXPECT_EQ(Sim().WaitingFor(), "RMC");
    EXPECT_EQ(Sim().Display().Lines[0], "REMOVE CARD");
    Sim().RemoveCard();
    EXPECT_EQ(Unwrap("\x06" + Host().Read(10, 2000ms)), "RMC000");
}

TEST_F(SimCardholder, CancelDuringABlockingCommandGetsEotAndNoResponse) {
    Sim().NeverAnswer();
    Sim().PressKey(0);
    Host().Write(Frame("GKY"));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    ExpectSilence();
    // The cardholder walked away: the key queued behind stays unused.
    EXPECT_EQ(Sim().ScriptLeft(), 1u);
    Host().Write("\x18");
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "04 ");
    ExpectSilence();
    EXPECT_EQ(Sim().WaitingFor(), "");
    // The next command gets the key.
    EXPECT_EQ(Command("GKY"), "GKY000");
}

TEST_F(SimCardholder, NewCommandAbandonsTheWaitingOne) {
    Host().Write(Frame("GKY"));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    EXPECT_EQ(Command("DSP" + Block("HI")), "DSP000");
    Sim().PressKey(4);
    ExpectSilence();
    EXPECT_EQ(Sim().ScriptLeft(), 1u);
}

TEST(SimCardholderScript, ParsesEveryActionAndNamesTheBadLine) {
    const auto actions =
        Cardholder::ParseScript("# a session\nkey CANCEL\ndigits 0042\nchoose 3\n\nswipe A|B|C\n"
                                "insert\nremove\ntap\ndelay 250\nnever\nkey f1\n");
    ASSERT_EQ(actions.size(), 10u);
    EXPECT_EQ(actions[0].Describe(), "key 13");
    EXPECT_EQ(actions[1].Text, "0042");
    EXPECT_EQ(actions[3].Tracks[2], "C");
    EXPECT_EQ(actions[7].Number, 250);
    EXPECT_EQ(actions[9].Describe(), "key 4");
    for (const char* bad : {"key 3", "key 14", "digits 12a", "choose", "delay -1", "jump", "insert now"})
        EXPECT_THROW(CardholderAction::Parse(bad), std::invalid_argument) << bad;
    try {
        Cardholder::ParseScript("key 0\n\nwave\n");
        FAIL();
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos);
    }
}

} // namespace
} // namespace kestrel::sim::test
