#include "util/CodePage.h"

#include <gtest/gtest.h>

using namespace vexo;
using namespace std::string_literals;

TEST(CodePage, TextToAnsiUsesWindows1252) {
    EXPECT_EQ(TextToAnsi("ABC"), "ABC");
    EXPECT_EQ(TextToAnsi("ção"), "\xE7\xE3o");
    EXPECT_EQ(TextToAnsi("€“”"), "\x80\x93\x94");
    EXPECT_EQ(TextToAnsi("\x00"s), "\x00"s);
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
    EXPECT_EQ(TextToAnsi("a→b"), "a?b");       // U+2192
    EXPECT_EQ(TextToAnsi("Ωx"), "?x");         // U+03A9
    EXPECT_EQ(TextToAnsi("😀"), "?");           // outside the BMP
    EXPECT_EQ(TextToAnsi("\xFF\xC3z"), "??z"); // malformed UTF-8
    EXPECT_EQ(TextToAnsi("\xE0\x80\x80|\xED\xA0\x80"), "???|???"); // overlong NUL, a surrogate
    EXPECT_EQ(TextLength("a→😀"), 3u);
}

TEST(CodePage, EveryAssignedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const ByteString one(1, static_cast<char>(b));
        EXPECT_EQ(TextToAnsi(AnsiToText(one)), one) << "byte " << b;
    }
    EXPECT_EQ(AnsiToText("\x80\xE7"), "€ç");
}
