// Rules that ABECS 2.x PIN pads follow, one test each: menu values, digit prompts, the implicit
// session, aborting by a new command, CEX events, GIX lists, bare error answers and the PPC-930.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::sim::test {
namespace {

using namespace vexo;
using Mode = VirtualDisplay::Mode;

ByteString Ids(std::initializer_list<uint16_t> AIds) {
    ByteString list;
    for (uint16_t id : AIds)
        list += U16(id);
    return "GIX" + Block(TLV(SPE_IDLIST, list));
}

// The values of the TLV items of a response, in order, as tag=value.
std::vector<std::string> Items(const std::string& AResponse) {
    SimCommand parsed;
    std::vector<std::string> items;
    if (AResponse.size() < 6 || !SimCommand::Parse(AResponse.substr(0, 3) + AResponse.substr(6), parsed))
        return {"unparsable"};
    for (const auto& block : parsed.Blocks) {
        TVexoAbecsTLVList list;
        list.SetAsString(block);
        for (int i = 0; i < list.Count(); ++i)
            items.push_back(PPParamName(list.Items(i).ID()) + "=" + list.Items(i).Data());
    }
    return items;
}

class SimRules : public SimSessionFixture {};

TEST_F(SimRules, MenuAnswersTwoDigitsAndADigitKeyChoosesTheOptionBeginningWithIt) {
    ByteString options;
    for (const char* option : {"1 CREDITO", "3 VOUCHER", "2 DEBITO", "3 OUTRO", "E", "F", "G", "H", "I", "J"})
        options += TLV(SPE_MNUOPT, option);
    const ByteString mnu = "MNU" + Block(options);
    Sim().ChooseOption(1);
    EXPECT_EQ(Command(mnu), "MNU000" + Block(TLV(PP_VALUE, "01")));
    Sim().ChooseOption(10);
    EXPECT_EQ(Command(mnu), "MNU000" + Block(TLV(PP_VALUE, "10")));
    // Two options begin with 3: the first of them is chosen.
    Sim().LoadScript("press 3\n");
    EXPECT_EQ(Command(mnu), "MNU000" + Block(TLV(PP_VALUE, "02")));
    Sim().LoadScript("press 2\n");
    EXPECT_EQ(Command(mnu), "MNU000" + Block(TLV(PP_VALUE, "03")));
}

TEST_F(SimRules, GcdShowsTheTypedDigitsInClearRightAligned) {
    Begin("GCD" + Block(TLV(SPE_MSGIDX, U16(51))));
    for (Key key : {Key::Digit1, Key::Digit2})
        Sim().Press(key);
    ASSERT_TRUE(Eventually([&] { return Sim().Display().Typed == "12"; }));
    auto display = Sim().Display();
    EXPECT_EQ(display.Lines[0], "NUMERO DE");
    EXPECT_EQ(display.Lines[1], "PARCELAS");
    EXPECT_EQ(display.Lines[2], "              12");
    Sim().Press(Key::Enter);
    EXPECT_EQ(Response(), "GCD000" + Block(TLV(PP_VALUE, "12")));

    // Past the width the last digits are shown; a two-row display keeps the digits on row two.
    Start(Profile::TextOnly());
    ASSERT_EQ(Command("OPN"), "OPN000");
    Begin("GCD" + Block(TLV(SPE_MSGIDX, U16(50)) + TLV(SPE_MAXDIG, "\x13")));
    Sim().Act(CardholderAction::Parse("press 9"));
    for (int i = 0; i < 18; ++i)
        Sim().Press(DigitKey(i % 10));
    ASSERT_TRUE(Eventually([&] { return Sim().Display().Typed.size() == 19; }));
    display = Sim().Display();
    EXPECT_EQ(display.Lines.size(), 2u);
    EXPECT_EQ(display.Lines[0], "DIGITE O NUMERO");
    EXPECT_EQ(display.Lines[1], "2345678901234567");
}

TEST_F(SimRules, CommandBeforeOpnOpensTheSessionUnlessTheProfileIsStrict) {
    Start();
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, U16(PP_SERNUM)))).substr(0, 6), "GIX000");
    EXPECT_FALSE(Sim().SessionOpen()); // served without a session, as before
    EXPECT_EQ(Command("DSP" + Block("HELLO")), "DSP000");
    EXPECT_TRUE(Sim().SessionOpen());
    EXPECT_EQ(Command("CLO"), "CLO000");
    EXPECT_FALSE(Sim().SessionOpen());
    EXPECT_EQ(Command("CLO"), "CLO000"); // opened and closed again

    Start(Profile::Parse("session = strict\n"));
    EXPECT_EQ(Command("DSP" + Block("HELLO")), "DSP010");
    EXPECT_EQ(Command("CLO"), "CLO010");
    EXPECT_FALSE(Sim().SessionOpen());
    EXPECT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Command("DSP" + Block("HELLO")), "DSP000");
    EXPECT_THROW(Profile::Parse("session = sometimes\n"), std::runtime_error);
}

TEST_F(SimRules, AValidCommandAbortsTheWaitingOneWhichGetsNoResponse) {
    Begin("GCD" + Block(TLV(SPE_MSGIDX, U16(7))));
    Sim().Press(Key::Digit4);
    ASSERT_TRUE(Eventually([&] { return Sim().Display().Typed == "4"; }));
    // A damaged frame aborts nothing: NAK, and the GCD still waits.
    Host().Write(Hex("16 4F 50 4E 17 A8 AA"));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "15 ");
    EXPECT_EQ(Sim().WaitingFor(), "GCD");
    EXPECT_EQ(Command(Ids({PP_MFSUP})), "GIX000" + Block(TLV(PP_MFSUP, "110")));
    EXPECT_EQ(Sim().WaitingFor(), "");
    Sim().Press(Key::Enter);
    ExpectSilence();

    // The new command may be blocking itself: it now waits in the place of the old one.
    Begin("CEX" + Block(TLV(SPE_CEXOPT, "100000")));
    Begin("MNU" + Block(TLV(SPE_MNUOPT, "A") + TLV(SPE_MNUOPT, "B")));
    Sim().Press(Key::Down);
    Sim().Press(Key::Enter);
    EXPECT_EQ(Response(), "MNU000" + Block(TLV(PP_VALUE, "02")));
    ExpectSilence();
}

TEST_F(SimRules, CexArrowKeysGiveEvents02And03) {
    Begin("CEX" + Block(TLV(SPE_CEXOPT, "100000")));
    Sim().Press(Key::Up);
    EXPECT_EQ(Response(), "CEX000" + Block(TLV(PP_EVENT, "02")));
    Sim().LoadScript("key DOWN\n");
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "100000"))), "CEX000" + Block(TLV(PP_EVENT, "03")));
    // Digits are no key event.
    Begin("CEX" + Block(TLV(SPE_CEXOPT, "100000")));
    Sim().Press(Key::Digit1);
    ExpectSilence();
    EXPECT_EQ(Sim().WaitingFor(), "CEX");
}

TEST_F(SimRules, ContactlessWaitWithNothingPresentedEndsWithEvent93) {
    EXPECT_EQ(Profile::Graphic().ContactlessTimeout, 120);
    Profile quick = Profile::Parse("contactless_timeout = 20\n"); // 200 ms at the test's time scale
    Start(quick);
    ASSERT_EQ(Command("OPN"), "OPN000");
    Host().Write(Frame("CEX" + Block(TLV(SPE_CEXOPT, "110100"))));
    EXPECT_EQ(Unwrap(ReadAnswer(Host(), 3000ms)), "CEX000" + Block(TLV(PP_EVENT, "93")));
    // The PIN pad's own, shorter timeout still ends it with 012; without the reader there is no 93.
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "000100") + TLV(SPE_TIMEOUT, "\x01")), 3000ms), "CEX012");
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "100000") + TLV(SPE_TIMEOUT, "\x1E")), 3000ms), "CEX012");
}

TEST_F(SimRules, SwipeWithNoReadableTrackGivesEvent90WithoutTracks) {
    Sim().LoadScript("swipe none\n");
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "010000"))), "CEX000" + Block(TLV(PP_EVENT, "90")));
    Sim().SwipeCard("", "4761739001010010=3012");
    EXPECT_EQ(Command("CEX" + Block(TLV(SPE_CEXOPT, "010000"))),
              "CEX000" + Block(TLV(PP_EVENT, "90") + TLV(PP_TRK2INC, "476173******0010=3012")));
}

TEST_F(SimRules, GixAnswersInTheOrderAskedRepeatsAndPassesOverUnknownIds) {
    const Profile p = Profile::Graphic();
    EXPECT_EQ(Items(Command(Ids({PP_MFSUP, PP_SERNUM, 0x8017, PP_MFSUP, 0x9999, PP_DSPTXTSZ}))),
              (std::vector<std::string>{"PP_MFSUP=110", "PP_SERNUM=" + p.Item(PP_SERNUM), "PP_MFSUP=110",
                                        "PP_DSPTXTSZ=0816"}));
    EXPECT_EQ(Command(Ids({0x0005})), "GIX000");
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, Hex("80 01 80")))), "GIX011");
}

TEST_F(SimRules, GixOffersNineHundredRandomBytesSpreadOverBlocks) {
    const std::string first = Command(Ids({PP_BIGRAND, PP_SERNUM, PP_BIGRAND}));
    ASSERT_EQ(first.substr(0, 6), "GIX000");
    SimCommand parsed;
    ASSERT_TRUE(SimCommand::Parse("GIX" + first.substr(6), parsed));
    // 904 bytes a TLV: no two fit in a block of 999.
    ASSERT_EQ(parsed.Blocks.size(), 2u);
    const auto items = Items(first);
    ASSERT_EQ(items.size(), 3u);
    const std::string random = items[0].substr(std::string("PP_BIGRAND=").size());
    EXPECT_EQ(random.size(), 900u);
    EXPECT_NE(items[2], items[0]); // fresh bytes on every request
    EXPECT_EQ(items[1], "PP_SERNUM=" + Profile::Graphic().Item(PP_SERNUM));
    // The every-item answer stays within a packet: the random bytes come only when asked for.
    for (const auto& item : Items(Command("GIX")))
        EXPECT_NE(item.rfind("PP_BIGRAND=", 0), 0u);
}

TEST(SimRulesModel, AnErrorResponseIsTheNameAndTheStatusOnly) {
    PinPadModel model(Profile::Graphic());
    ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    for (const ByteString& command :
         {ByteString("XYZ"), "GIX" + Block(TLV(SPE_IDLIST, "\x80")), "DSP" + Block(std::string(33, 'A')),
          ByteString("GIN"), "GIN" + Block("07"), ByteString("MLE"),
          "DSI" + Block(TLV(SPE_MFNAME, "NOSUCH  ")),
          "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, Hex("00 00 04 D2 31 C3 03 00 00 00"))),
          "CEX" + Block(TLV(SPE_CEXOPT, "000000")), "GKY" + Block("1")}) {
        const std::string reply = Exec(model, command);
        EXPECT_EQ(reply.size(), 6u) << reply;
        EXPECT_NE(reply.substr(3, 3), "000") << reply;
    }
    // Answers to the cardholder and to the PIN pad's own timeout too.
    ASSERT_EQ(Exec(model, "MNU" + Block(TLV(SPE_MNUOPT, "A"))), "");
    std::string note;
    EXPECT_EQ(model.Offer(CardholderAction::Press(Key::Cancel), note)->DataField(), "MNU013");
    ASSERT_EQ(Exec(model, "GCD" + Block(TLV(SPE_MSGIDX, U16(1)))), "");
    EXPECT_EQ(model.Expire().DataField(), "GCD012");
}

TEST_F(SimRules, Ppc930ReportsItselfAndTakesItsTimeOverAGixOfEveryItem) {
    const Profile ppc = Profile::Load("ppc930");
    EXPECT_EQ(ppc.Name, "ppc930");
    Start(ppc);
    EXPECT_EQ(Items(Command(Ids({PP_DSPTXTSZ, PP_DSPGRSZ, PP_MFSUP, PP_CAPAB, PP_MODEL, PP_SPECVER}))),
              (std::vector<std::string>{"PP_DSPTXTSZ=0816", "PP_DSPGRSZ=03200240", "PP_MFSUP=11",
                                        "PP_CAPAB=1200000000", "PP_MODEL=PPC-930;192MB", "PP_SPECVER=2.12"}));
    EXPECT_EQ(Sim().Display().Rows, 8);
    EXPECT_EQ(Sim().Display().Cols, 16);
    EXPECT_EQ(ppc.PixelRows, 320);
    EXPECT_EQ(ppc.PixelCols, 240);
    EXPECT_EQ(ppc.AnswerDelay("GIX", true), 8000);
    EXPECT_EQ(ppc.AnswerDelay("GIX", false), 0);

    // 8 s at the test's time scale: the PIN pad is busy after the ACK, then answers.
    Host().Write(Frame("GIX"));
    ASSERT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    EXPECT_EQ(Sim().Display().What, Mode::Processing);
    EXPECT_EQ(Sim().Display().Busy, "GIX");
    const std::string all = Response();
    EXPECT_EQ(all.substr(0, 6), "GIX000");
    EXPECT_NE(all.find("PPC-930"), std::string::npos);
    EXPECT_EQ(Sim().Display().What, Mode::Idle);

    // A command the PIN pad is still working on is aborted by the next: no answer for it.
    Host().Write(Frame("GIX"));
    ASSERT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    EXPECT_EQ(Command(Ids({PP_MFSUP})), "GIX000" + Block(TLV(PP_MFSUP, "11")));
    ExpectSilence(200ms);
}

TEST(SimRulesProfile, AnswerDelaysAreSetPerCommand) {
    const Profile p = Profile::Parse("base = ppc930\nanswer_delay = gix-all:100 MLE:20\n");
    EXPECT_EQ(p.AnswerDelay("GIX", true), 100);
    EXPECT_EQ(p.AnswerDelay("MLE"), 20);
    EXPECT_EQ(p.AnswerDelay("OPN"), 0);
    EXPECT_TRUE(Profile::Parse("base = ppc930\nanswer_delay = none\n").AnswerDelayMs.empty());
    for (const char* bad : {"answer_delay = GIX\n", "answer_delay = GIXX:10\n", "answer_delay = GIX:-1\n"})
        EXPECT_THROW(Profile::Parse(bad), std::runtime_error) << bad;
}

} // namespace
} // namespace kestrel::sim::test
