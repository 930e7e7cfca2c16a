#include "util/Strings.h"
#include "util/Exception.h"
#include "util/MediaName.h"

#include <gtest/gtest.h>

using namespace vexo;
using namespace std::string_literals;

TEST(LogRenderings, TraduzirControlesNamesSomeControlsAndNumbersTheRest) {
    EXPECT_EQ(TraduzirControles("\x02"
                                "A\x03"),
              "[STX]A[ETX]");
    EXPECT_EQ(TraduzirControles(""), "");
    EXPECT_EQ(TraduzirControles("\x7F"), "[127]");
    EXPECT_EQ(TraduzirControles("\x04\x16\xC8"), "[4][22][200]");
    EXPECT_EQ(TraduzirControles("\x00\x11\x15"s), "[NUL][WAK][NAK]");
}

TEST(LogRenderings, EscaparNaoImprimiveisKeepsPrintableBytesIncludingBackslashAndDel) {
    EXPECT_EQ(EscaparNaoImprimiveis("a\\b"), "a\\b");
    EXPECT_EQ(EscaparNaoImprimiveis("\x16\xC8\x7F"), "\\x16\\xC8\x7F");
    EXPECT_EQ(EscaparNaoImprimiveis("\x00\x1F "s), "\\x00\\x1F ");
}

TEST(Integers, InteiroParaBytesIsBigEndianOfTheGivenWidth) {
    EXPECT_EQ(InteiroParaBytes(258, 2), "\x01\x02"s);
    EXPECT_EQ(InteiroParaBytes(5, 4), "\x00\x00\x00\x05"s);
    EXPECT_EQ(InteiroParaBytes(0, 1), "\x00"s);
}

TEST(Integers, BytesParaInteiroReadsUpTo32BitsAsSigned) {
    EXPECT_EQ(BytesParaInteiro(""), 0);
    EXPECT_EQ(BytesParaInteiro("\x01\x02"), 258);
    EXPECT_EQ(BytesParaInteiro("\x80"), 128);
    EXPECT_EQ(BytesParaInteiro("\xFF\xFF\xFF\xFF"), -1);
    EXPECT_EQ(BytesParaInteiro("\x00\x00\x00\x00\x01\x02"s), 258); // leading zeros are harmless
    EXPECT_THROW(BytesParaInteiro("\x01\x00\x00\x00\x00"s), EConvertError);
}

TEST(Hex, HexParaBytesReadsPairsTrimsAndIgnoresAnOddDigit) {
    EXPECT_EQ(HexParaBytes("4142"), "AB");
    EXPECT_EQ(HexParaBytes("414"), "A");
    EXPECT_EQ(HexParaBytes("  4a6B \t"), "Jk");
    EXPECT_THROW(HexParaBytes("4G"), EConvertError);
}

TEST(Hex, TolerantFormsReportFailureInsteadOfRaising) {
    ByteString out = "stale";
    EXPECT_FALSE(HexParaBytes("4G", out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(HexParaBytes("00FF", out));
    EXPECT_EQ(out, "\x00\xFF"s);
    EXPECT_EQ(HexParaBytes("zz", "default"), "default");
    EXPECT_EQ(BytesParaHex("\x00\xAB\x7F"s), "00AB7F");
}

TEST(FixedWidth, FillsAndTruncatesToExactlyTheWidth) {
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {CompletarDireita("AB", 4, '.'), "AB.."},
        {CompletarDireita("ABCDE", 3), "ABC"},
        {CompletarEsquerda("AB", 4, '0'), "00AB"},
        {CompletarEsquerda("12345", 3, '0'), "123"},
        {Centralizar("ABC", 8), "  ABC   "},
        {Centralizar("ABCDEFGHI", 8), "ABCDEFGH"},
        {CompletarDireita("ção", 5, '*'), "ção**"},
        {Centralizar("é", 3), " é "},
        {CompletarEsquerda("", 0), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(CharacterClasses, EmptyTextIsNotNumericButIsAlphanumericAndHex) {
    EXPECT_FALSE(EhNumerico(""));
    EXPECT_TRUE(EhAlfanumerico(""));
    EXPECT_TRUE(EhHexadecimal(""));
    EXPECT_TRUE(EhNumerico("0123456789"));
    EXPECT_FALSE(EhNumerico("12a"));
    EXPECT_FALSE(EhAlfanumerico("ab c"));
    EXPECT_FALSE(EhAlfanumerico("é"));
    EXPECT_TRUE(EhHexadecimal("09afAF"));
    EXPECT_FALSE(EhHexadecimal("0g"));
}

TEST(MediaName, AsciiLettersAndDigitsInCapitalsPaddedOrCutToEight) {
    EXPECT_EQ(SomenteAlfaNumericos("a-1 é_Z9"), "a1Z9");
    const std::pair<const char*, const char*> cases[] = {
        {"logo.png", "LOGOPNG "}, {"QRCODE1234", "QRCODE12"}, {"Promoção", "PROMOO  "},
        {"", "        "},         {"---", "        "},        {"\x80\xFFx", "X       "},
    };
    for (const auto& [name, wire] : cases)
        EXPECT_EQ(FormatMediaName(name), wire) << name;
}
