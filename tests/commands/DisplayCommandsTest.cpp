#include "EngineTestSupport.h"

namespace kestrel::test {
namespace {

using namespace vexo;
using M = TVexoAbecsMSGIDX;

Bytes Byte1(int AValue) {
    return Bytes(1, static_cast<char>(AValue));
}

TEST_F(PinPadTest, TextCommandsSendTheirLaidOutMessage) {
    const Bytes ab = Bytes(7, ' ') + "AB" + Bytes(7, ' ');
    const Bytes cd = Bytes(7, ' ') + "CD" + Bytes(7, ' ');
    Answer("DSP000", "DSP000");
    Answer("RMC000", "RMC000");
    Answer("DSP032" + ab + cd, "DSP000");
    Answer("RMC016" + ab, "RMC000");
    Answer(CapabilityRequest(), CapabilityResponse());
    Answer("DEX003000", "DEX000");
    Answer("DEX020017     Hello      \r", "DEX000");
    Go();
    pinpad.DSP("");
    pinpad.RMC("");
    pinpad.DSP("AB", "CD");
    pinpad.RMC("AB", "");
    pinpad.DEX("");
    pinpad.DEX("Hello"); // capabilities are cached: no second GIX
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, GcdSendsPromptLimitsAndTimeoutAsRawBytes) {
    const Bytes value = Block(Tlv(PP_VALUE, "12345678901"));
    Answer("GCD" + Block(Tlv(SPE_MSGIDX, Bytes("\x00\x07", 2)) + Tlv(SPE_MINDIG, "\x0B") +
                         Tlv(SPE_MAXDIG, "\x0B") + Tlv(SPE_TIMEOUT, "\x3C")),
           "GCD000" + value);
    Answer("GCD" + Block(Tlv(SPE_MSGIDX, Bytes("\x00\x1D", 2))), "GCD000");
    Answer("GCD" + Block(Tlv(SPE_MSGIDX, "\x01\x02")), "GCD000");
    // Bytes from 80h up must not go through the code page.
    Answer("GCD" + Block(Tlv(SPE_MSGIDX, Bytes("\x00\x33", 2)) + Tlv(SPE_MINDIG, "\x01") +
                         Tlv(SPE_MAXDIG, "\x03") + Tlv(SPE_TIMEOUT, Byte1(200))),
           "GCD000");
    Answer("GCD" + Block(Tlv(SPE_MSGIDX, Bytes("\x00\x01", 2)) + Tlv(SPE_MINDIG, "\x03") +
                         Tlv(SPE_MAXDIG, "\x03")),
           "GCD012");
    Go();
    EXPECT_EQ(pinpad.GCD(M::msgDigiteCPF, 60), "12345678901");
    EXPECT_EQ(pinpad.GCD(M::msgDigiteIdentificacao, 0), "");
    EXPECT_EQ(pinpad.GCD(0x0102, 0, 0, 0), "");
    pinpad.GCD(M::msgNumeroParcelas, 200);
    EXPECT_THROW(pinpad.GCD(M::msgDigiteDDD, 0), EVexoAbecsPinPadTimeout);
    // Not one of the 53 prompts (what a window passes with nothing selected): refused, nothing sent.
    EXPECT_EQ(ErrorOf([&] { pinpad.GCD(static_cast<M>(255), 60); }), "Invalid value for SPE_MSGIDX param");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, MnuCutsOptionsAndLeavesOutWhatIsEmpty) {
    const Bytes longOption = "Satisfactory but could be better";
    Answer(CapabilityRequest(), CapabilityResponse());
    Answer("MNU" + Block(Tlv(SPE_MNUOPT, "Great") + Tlv(SPE_MNUOPT, longOption.substr(0, 24))), "MNU000");
    Answer("MNU" + Block(Tlv(SPE_TIMEOUT, "\x1E") + Tlv(SPE_DSPMSG, "      Pick      \r")),
           "MNU000" + Block(Tlv(PP_VALUE, "2")));
    Go();
    EXPECT_EQ(pinpad.MNU(std::vector<std::string>{"Great", longOption, ""}, "", 0), "");
    EXPECT_EQ(pinpad.MNU(std::vector<std::string>{}, "Pick", 30), "2");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, CexSendsTrimmedOptionsAndMask) {
    Answer("CEX" + Block(Tlv(SPE_CEXOPT, "000100")), "CEX000" + Block(Tlv(PP_EVENT, "94")));
    Answer("CEX" + Block(Tlv(SPE_CEXOPT, "100000") + Tlv(SPE_TIMEOUT, "\x3C") + Tlv(SPE_PANMASK, "0604")),
           "CEX000");
    Answer("CEX" + Block(Tlv(SPE_CEXOPT, "001000")), "CEX000");
    Answer("CEX" + Block(Tlv(SPE_CEXOPT, "010000")), "CEX000");
    Answer("CEX" + Block(Tlv(SPE_CEXOPT, "100100")), "CEX000");
    Go();
    pinpad.CEX("  000100  ", 0, "");
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_EVENT), "94");
    pinpad.CEX("100000", 60, " 0604 ");
    pinpad.CEX(false, false, true, true, false, 0, ""); // insertion wins over removal
    pinpad.CEX(false, true, false, false, false, 0, "");
    pinpad.CEX(true, false, false, false, true, 0, "");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, CexRefusesBadOptionsAndMasksBeforeSending) {
    struct Case {
        const char* options;
        const char* mask;
        const char* param;
    };
    const Case cases[] = {{"00010", "", "SPE_CEXOPT"},      {"0001X0", "", "SPE_CEXOPT"},
                          {"000000", "", "SPE_CEXOPT"},     {"0001000", "", "SPE_CEXOPT"},
                          {"000100", "604", "SPE_PANMASK"}, {"000100", "06O4", "SPE_PANMASK"},
                          {"000100", "  ", "SPE_PANMASK"}};
    Go();
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf([&] { pinpad.CEX(c.options, 0, c.mask); }),
                  std::string("Invalid value for ") + c.param + " param")
            << c.options << " / " << c.mask;
    EXPECT_EQ(ErrorOf([&] { pinpad.CEX(false, false, false, false, false, 10, ""); }),
              "Invalid value for SPE_CEXOPT param");
    EXPECT_EQ(peer.Finish(), "");
}

} // namespace
} // namespace kestrel::test
