// Parameter checks and return codes of every command, run on the model directly.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"
#include <gtest/gtest.h>

namespace kestrel::sim::test {
namespace {

using namespace vexo;

struct Case {
    const char* Name;
    bool Session;
    ByteString Command;
    ByteString Expected;
};

const std::string kSerial = Profile::Graphic().Item(PP_SERNUM);

class SimCommands : public ::testing::TestWithParam<Case> {};

TEST_P(SimCommands, AnswersAsAPinPad) {
    const Case& c = GetParam();
    PinPadModel model(Profile::Graphic());
    if (c.Session) {
        ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    }
    EXPECT_EQ(Exec(model, c.Command), c.Expected);
}

const Case kCases[] = {
    // Session and information.
    {"OpenWithoutParameters", false, "OPN", "OPN000"},
    {"OpenWithAnEmptyBlock", false, "OPN000", "OPN000"},
    {"SecureOpenIsNotOffered", false, "OPN" + Block("1234"), "OPN011"},
    {"UnknownCommand", true, "XYZ", "ERR010"},
    {"UnknownCommandOutsideSession", false, "ZZZ" + Block("1"), "ERR010"},
    {"CloseWithoutMessage", true, "CLO", "CLO000"},
    {"CloseMessageTooLong", true, "CLO" + Block(std::string(33, 'A')), "CLO011"},
    {"ClxBothMessageAndMedia", true, "CLX" + Block(TLV(SPE_DSPMSG, "BYE\r") + TLV(SPE_MFNAME, "LOGO    ")),
     "CLX011"},
    {"ClxUnknownMedia", true, "CLX" + Block(TLV(SPE_MFNAME, "LOGO1234")), "CLX100"},
    {"ClxMediaNameInvalid", true, "CLX" + Block(TLV(SPE_MFNAME, "LO.GO   ")), "CLX011"},
    {"ClxMessageMoreRowsThanDisplay", true, "CLX" + Block(TLV(SPE_DSPMSG, std::string(9, '\r'))), "CLX011"},
    {"ClxTruncatedTlv", true, "CLX" + Block(Hex("00 1B 00 05 41 42")), "CLX011"},
    {"GinWithoutIndex", false, "GIN", "GIN019"},
    {"GinIndexNotDigits", false, "GIN" + Block("0A"), "GIN011"},
    {"GinIndexOneDigit", false, "GIN" + Block("0"), "GIN011"},
    {"GinUnknownAcquirer", false, "GIN" + Block("02"), "GIN011"},
    {"GinIndex100", false, "GIN" + Block("100"), "GIN011"},
    {"GixOneItem", false, "GIX" + Block(TLV(SPE_IDLIST, U16(PP_SERNUM))),
     "GIX000" + Block(TLV(PP_SERNUM, kSerial))},
    {"GixOddList", false, "GIX" + Block(TLV(SPE_IDLIST, Hex("80 01 80"))), "GIX011"},
    {"GixEmptyList", false, "GIX" + Block(TLV(SPE_IDLIST, "")), "GIX011"},
    {"GixIdInAGapIsPassedOver", false, "GIX" + Block(TLV(SPE_IDLIST, U16(0x8017))), "GIX000"},
    {"GixCommandIdIsNoItem", false, "GIX" + Block(TLV(SPE_IDLIST, U16(SPE_IDLIST))), "GIX000"},
    {"GixIndexedItemAbsentIsLeftOut", false, "GIX" + Block(TLV(SPE_IDLIST, U16(0x9163))), "GIX000"},
    {"GixIndexedItemBeyond63", false, "GIX" + Block(TLV(SPE_IDLIST, U16(0x9164))), "GIX000"},
    {"GixDisplayItems", false,
     "GIX" + Block(TLV(SPE_IDLIST, U16(PP_DSPTXTSZ) + U16(PP_DSPGRSZ) + U16(PP_MFSUP))),
     "GIX000" + Block(TLV(PP_DSPTXTSZ, "0816") + TLV(PP_DSPGRSZ, "02400320") + TLV(PP_MFSUP, "110"))},
    // Display.
    {"DisplayEmptyBlock", true, "DSP000", "DSP000"},
    {"DisplayWithoutBlock", true, "DSP", "DSP019"},
    {"DisplayTooLong", true, "DSP" + Block(std::string(33, 'A')), "DSP011"},
    {"DisplayTwoBlocks", true, "DSP" + Block("A") + Block("B"), "DSP011"},
    {"DexFormatted", true, "DEX" + Block("017     Hello      \r"), "DEX000"},
    {"DexEmpty", true, "DEX" + Block("000"), "DEX000"},
    {"DexLengthMismatch", true, "DEX" + Block("018     Hello      \r"), "DEX011"},
    {"DexLineWiderThanDisplay", true, "DEX" + Block("018" + std::string(17, 'A') + "\r"), "DEX011"},
    {"DexMoreRowsThanDisplay", true, "DEX" + Block("018" + std::string(18, '\r')), "DEX011"},
    {"DexWithoutBlock", true, "DEX", "DEX019"},
    {"RmcWithoutBlock", true, "RMC", "RMC019"},
    {"RmcWithoutCardAnswersAtOnce", true, "RMC000", "RMC000"},
    {"RmcTooLong", true, "RMC" + Block(std::string(33, 'R')), "RMC011"},
    // Interaction: the parameter checks that answer before anybody is asked.
    {"GkyWithParameter", true, "GKY" + Block("1"), "GKY011"},
    {"GcdWithoutPrompt", true, "GCD" + Block(TLV(SPE_TIMEOUT, "\x0A")), "GCD019"},
    {"GcdPromptZero", true, "GCD" + Block(TLV(SPE_MSGIDX, U16(0))), "GCD011"},
    {"GcdPromptBeyondTable", true, "GCD" + Block(TLV(SPE_MSGIDX, U16(54))), "GCD011"},
    {"GcdPromptOneByte", true, "GCD" + Block(TLV(SPE_MSGIDX, "\x07")), "GCD011"},
    {"GcdMinAboveMax", true,
     "GCD" + Block(TLV(SPE_MSGIDX, U16(7)) + TLV(SPE_MINDIG, "\x05") + TLV(SPE_MAXDIG, "\x04")), "GCD011"},
    {"GcdMaxAbove32", true, "GCD" + Block(TLV(SPE_MSGIDX, U16(7)) + TLV(SPE_MAXDIG, "\x21")), "GCD011"},
    {"GcdTimeoutTwoBytes", true, "GCD" + Block(TLV(SPE_MSGIDX, U16(7)) + TLV(SPE_TIMEOUT, "\x00\x3C")),
     "GCD011"},
    {"MnuWithoutOptions", true, "MNU" + Block(TLV(SPE_DSPMSG, "TITLE\r")), "MNU019"},
    {"MnuOptionTooLong", true, "MNU" + Block(TLV(SPE_MNUOPT, std::string(25, 'O'))), "MNU011"},
    {"CexWithoutOptions", true, "CEX" + Block(TLV(SPE_TIMEOUT, "\x05")), "CEX019"},
    {"CexNothingToWatch", true, "CEX" + Block(TLV(SPE_CEXOPT, "000000")), "CEX011"},
    {"CexFiveDigits", true, "CEX" + Block(TLV(SPE_CEXOPT, "00010")), "CEX011"},
    {"CexNotDigits", true, "CEX" + Block(TLV(SPE_CEXOPT, "0001X0")), "CEX011"},
    {"CexKeyFlagTwo", true, "CEX" + Block(TLV(SPE_CEXOPT, "200000")), "CEX011"},
    {"CexPanMaskThreeDigits", true, "CEX" + Block(TLV(SPE_CEXOPT, "010000") + TLV(SPE_PANMASK, "604")),
     "CEX011"},
    {"CexRemovalWithoutCardAnswersAtOnce", true, "CEX" + Block(TLV(SPE_CEXOPT, "002000")),
     "CEX000" + Block(TLV(PP_EVENT, "91"))},
    // Media commands that need no file.
    {"LmfOutsideSessionEmpty", false, "LMF", "LMF000"},
    {"DsiWithoutName", true, "DSI", "DSI019"},
    {"DsiUnknown", true, "DSI" + Block(TLV(SPE_MFNAME, "LOGO    ")), "DSI100"},
    {"DsiInvalidName", true, "DSI" + Block(TLV(SPE_MFNAME, "        ")), "DSI011"},
    {"DmfWithoutName", true, "DMF", "DMF019"},
    {"DmfUnknown", true, "DMF" + Block(TLV(SPE_MFNAME, "QR1     ")), "DMF100"},
    {"MlrWithoutMli", true, "MLR" + Block(TLV(SPE_DATAIN, "abc")), "MLR010"},
    {"MleWithoutMli", true, "MLE", "MLE010"},
    {"MliWithoutInfo", true, "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ")), "MLI019"},
    {"MliInfoNineBytes", true,
     "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, Hex("00 00 04 D2 31 C3 01 00 00"))),
     "MLI011"},
    {"MliUnknownType", true,
     "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, Hex("00 00 04 D2 31 C3 04 00 00 00"))),
     "MLI101"},
    {"MliGifRefusedByDefault", true,
     "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, Hex("00 00 04 D2 31 C3 03 00 00 00"))),
     "MLI101"},
    {"MliBeyondMemory", true,
     "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, Hex("01 00 00 00 31 C3 01 00 00 00"))),
     "MLI102"},
    {"MliEmptyFile", true,
     "MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFINFO, Hex("00 00 00 00 00 00 01 00 00 00"))),
     "MLI011"},
};

INSTANTIATE_TEST_SUITE_P(Sim, SimCommands, ::testing::ValuesIn(kCases),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(SimCommandsSession, CloseEndsTheSessionAndShowsItsMessage) {
    Profile strict = Profile::Graphic();
    strict.StrictSession = true;
    PinPadModel model(strict);
    ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    EXPECT_EQ(Exec(model, "CLO" + Block("    GOODBYE     SEE YOU")), "CLO000");
    EXPECT_FALSE(model.SessionOpen());
    EXPECT_EQ(model.Display().Lines[0], "    GOODBYE     ");
    EXPECT_EQ(model.Display().Lines[1], "SEE YOU");
    EXPECT_EQ(Exec(model, "DSP000"), "DSP010");
    EXPECT_EQ(Exec(model, "GIX" + Block(TLV(SPE_IDLIST, U16(PP_MFSUP)))),
              "GIX000" + Block(TLV(PP_MFSUP, "110")));
}

TEST(SimCommandsSession, DisplayCommandsFillTheVirtualDisplay) {
    PinPadModel model(Profile::Graphic());
    Exec(model, "OPN");
    EXPECT_EQ(Exec(model, "DSP" + Block(" PRESS FUNCTION       KEY       ")), "DSP000");
    auto display = model.Display();
    ASSERT_EQ(display.Lines.size(), 8u);
    EXPECT_EQ(display.Lines[0], " PRESS FUNCTION ");
    EXPECT_EQ(display.Lines[1], "      KEY       ");
    EXPECT_EQ(Exec(model, "DEX" + Block("033ABC\rDEF\rGHI\r\r\r\r\r" + std::string(16, 'Z') + "\r")),
              "DEX000");
    display = model.Display();
    EXPECT_EQ(display.Lines[2], "GHI");
    EXPECT_EQ(display.Lines[7], std::string(16, 'Z'));
    // Code-page bytes reach the display as text.
    EXPECT_EQ(Exec(model, "DSP" + Block("CAF\xC9")), "DSP000");
    EXPECT_EQ(model.Display().Lines[0], "CAF\xC3\x89");
}

TEST(SimCommandsSession, DexTakesAt160CharactersWhateverTheDisplay) {
    Profile big = Profile::Graphic();
    big.TextRows = big.TextCols = 20;
    PinPadModel model(big);
    ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    std::string lines;
    for (int i = 0; i < 8; ++i)
        lines += std::string(19, 'A') + "\r";
    EXPECT_EQ(Exec(model, "DEX" + Block("160" + lines)), "DEX000");
    lines += "B";
    EXPECT_EQ(Exec(model, "DEX" + Block("161" + lines)), "DEX011");
}

TEST(SimCommandsSession, GixWithoutListReportsEveryItemOfTheProfile) {
    PinPadModel model(Profile::Graphic());
    const std::string reply = Exec(model, "GIX");
    ASSERT_EQ(reply.substr(0, 6), "GIX000");
    for (uint16_t id : {PP_SERNUM, PP_PARTNBR, PP_MODEL, PP_MNNAME, PP_CAPAB, PP_SPECVER, PP_DSPTXTSZ,
                        PP_DSPGRSZ, PP_MFSUP})
        EXPECT_NE(reply.find(TLV(id, Profile::Graphic().Item(id))), std::string::npos) << PPParamName(id);
    EXPECT_NE(reply.find(TLV(PP_MODEL, "KESTREL SIM G320;8MB")), std::string::npos);
    EXPECT_NE(reply.find(TLV(PP_SPECVER, "2.12")), std::string::npos);
    EXPECT_NE(reply.find(TLV(PP_CAPAB, "1200000000")), std::string::npos);
}

TEST(SimCommandsSession, GinGeneralInformationHasTheFixedLayout) {
    PinPadModel model(Profile::Graphic());
    const std::string reply = Exec(model, "GIN" + Block("00"));
    ASSERT_EQ(reply.substr(0, 9), "GIN000100");
    const std::string data = reply.substr(9);
    EXPECT_EQ(data.substr(0, 20), "KESTREL             ");
    EXPECT_EQ(data.substr(20, 19), "KESTREL SIM G320   ");
    EXPECT_EQ(data.substr(39, 1), "C");
    EXPECT_EQ(data.substr(60, 4), "2.12");
    EXPECT_EQ(data.substr(80, 20), Profile::Graphic().Item(PP_SERNUM) + "    ");
}

TEST(SimCommandsSession, TextOnlyPinPadHasNoMediaCommandsAndNoContactless) {
    PinPadModel model(Profile::TextOnly());
    Exec(model, "OPN");
    for (const char* name : {"LMF", "DSI", "DMF", "MLI", "MLR", "MLE"})
        EXPECT_EQ(Exec(model, name), "ERR010") << name;
    EXPECT_EQ(Exec(model, "CEX" + Block(TLV(SPE_CEXOPT, "000100"))), "CEX011");
    EXPECT_EQ(Exec(model, "GIX" + Block(TLV(SPE_IDLIST, U16(PP_DSPTXTSZ) + U16(PP_DSPGRSZ) + U16(PP_CAPAB)))),
              "GIX000" + Block(TLV(PP_DSPTXTSZ, "0216") + TLV(PP_DSPGRSZ, "00000000") +
                               TLV(PP_CAPAB, "0000000000")));
    EXPECT_EQ(Exec(model, "DEX" + Block("051" + std::string(51, '\r'))), "DEX011");
    EXPECT_EQ(Exec(model, "DEX" + Block("034" + std::string(16, 'A') + "\r" + std::string(16, 'B') + "\r")),
              "DEX000");
    EXPECT_EQ(model.Display().Lines.size(), 2u);
}

TEST(SimCommandsSession, LongGixAnswerIsSpreadOverBlocksOfAtMost999Bytes) {
    Profile profile = Profile::Graphic();
    profile.Items[PP_MKTDESP] = std::string(900, '1');
    profile.Items[PP_MKTDESD] = std::string(900, '0');
    PinPadModel model(profile);
    SimReply reply("GIX", 0);
    for (uint16_t id : {PP_MKTDESP, PP_MKTDESD})
        reply.AddTLV(id, profile.Item(id));
    ASSERT_EQ(reply.Blocks.size(), 2u);
    EXPECT_EQ(Exec(model, "GIX" + Block(TLV(SPE_IDLIST, U16(PP_MKTDESP) + U16(PP_MKTDESD)))),
              reply.DataField());
}

} // namespace
} // namespace kestrel::sim::test
