#include "pinpad/VexoAbecsMsgFormat.h"

#include <gtest/gtest.h>

namespace {

using vexo::FormatDisplayText;
using vexo::QuebrarLinhas;
using vexo::TVexoAbecsMsgAlign;
using enum vexo::TVexoAbecsMsgAlign;

struct LayoutCase {
    const char* input;
    TVexoAbecsMsgAlign align;
    bool wrap;
    const char* expected; // lines joined, each followed by CR
};

class LayoutOn16x2 : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutOn16x2, LaysOutTwoLinesOfSixteen) {
    const LayoutCase& c = GetParam();
    EXPECT_EQ(FormatDisplayText(c.input, 16, 2, c.align, c.wrap), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, LayoutOn16x2,
    ::testing::Values(
        LayoutCase{"Hello", alCenter, true, "     Hello      \r"},
        LayoutCase{"Hello", alLeft, true, "Hello           \r"},
        LayoutCase{"Hello", alRight, true, "           Hello\r"},
        LayoutCase{"PRESS FUNCTION KEY", alCenter, true, " PRESS FUNCTION \r      KEY       \r"},
        LayoutCase{"PRESS FUNCTION KEY", alLeft, true, "PRESS FUNCTION  \rKEY             \r"},
        LayoutCase{"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG", alCenter, true,
                   "THE QUICK BROWN \r FOX JUMPS OVER \r"},
        LayoutCase{"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG", alLeft, true,
                   "THE QUICK BROWN \rFOX JUMPS OVER  \r"},
        LayoutCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZ", alCenter, true, "ABCDEFGHIJKLMNOP\r   QRSTUVWXYZ   \r"},
        LayoutCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZ", alLeft, true, "ABCDEFGHIJKLMNOP\rQRSTUVWXYZ      \r"},
        // Without wrap the one line is trimmed first and cut afterwards, so it may end in a blank.
        LayoutCase{"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG", alLeft, false, "THE QUICK BROWN \r"},
        LayoutCase{"", alCenter, true, ""},
        // Line breaks of every kind; a break at the end starts no line, two in a row make an empty one.
        LayoutCase{"A\r\nB", alLeft, false, "A               \rB               \r"},
        LayoutCase{"A\rB\r", alLeft, false, "A               \rB               \r"},
        LayoutCase{"\nB", alLeft, false, "                \rB               \r"},
        LayoutCase{"A\n\rB", alLeft, false, "A               \r                \r"},
        LayoutCase{"1\n2\n3", alLeft, true, "1               \r2               \r"},
        // alNone keeps the line as split: its blanks, its length.
        LayoutCase{"  a very long line of text  ", alNone, false, "  a very long line of text  \r"},
        LayoutCase{" x \ny", alNone, true, " x \ry\r"}));

TEST(Layout, RowsAndColumnsAtTheirLimits) {
    EXPECT_EQ(FormatDisplayText("Hello", 16, 0, alCenter, true), "");
    EXPECT_EQ(FormatDisplayText("Hello", 0, 0, alCenter, true), "");
    // No columns: the wrap leaves the text alone and every aligned line is empty.
    EXPECT_EQ(FormatDisplayText("Hello World", 0, 2, alLeft, true), "\r");
    EXPECT_EQ(FormatDisplayText("Hello World", 0, 2, alNone, true), "Hello World\r");
    EXPECT_EQ(FormatDisplayText("one two three four", 8, 4, alLeft, true), "one two \rthree   \rfour    \r");
}

TEST(Layout, CharactersOutsideTheCodePageTakeOnePosition) {
    // U+4E2D has no Windows-1252 form: it becomes '?' before anything is counted.
    EXPECT_EQ(FormatDisplayText("\xE4\xB8\xAD"
                                "AB",
                                4, 1, alRight, true),
              " ?AB\r");
    // An accented letter exists in the code page, stays itself and still counts as one.
    EXPECT_EQ(FormatDisplayText("Olá", 5, 1, alLeft, true), "Olá  \r");
}

TEST(QuebrarLinhas, BreaksAtBlanksAndKeepsBlankLines) {
    EXPECT_EQ(QuebrarLinhas("AB\n  CD", 16, ' '), "AB\r\n\r\nCD");
    EXPECT_EQ(QuebrarLinhas("AB CD", 3, ' '), "AB \r\nCD");
    EXPECT_EQ(QuebrarLinhas("ABCDEFG", 3, ' '), "ABC\r\nDEF\r\nG");
    EXPECT_EQ(QuebrarLinhas("AB\r\nCD", 0, ' '), "AB\r\nCD");
    EXPECT_EQ(QuebrarLinhas("A\n\nB", 5, ' '), "A\r\n\r\nB");
    EXPECT_EQ(QuebrarLinhas("", 5, ' '), "");
    EXPECT_EQ(QuebrarLinhas("AB,CD", 3, ','), "AB,\r\nCD");
}

} // namespace

namespace {

// What the layout leaves out is named exactly; what it only moves (blanks, alignment, wrapping) is not
// counted as lost.
TEST(DroppedByLayout, NamesTheCharactersTheDisplayDoesNotGet) {
    const auto laidOut = [](const char* AText, TVexoAbecsMsgAlign AAlign = alCenter, bool AWrap = true) {
        return FormatDisplayText(AText, 16, 2, AAlign, AWrap);
    };
    const char* longLine = "THIS LINE IS WAY TOO LONG FOR 16 CHARS";
    auto dropped = vexo::DroppedByLayout(longLine, laidOut(longLine));
    EXPECT_EQ(dropped.Count, 5u);
    EXPECT_EQ(dropped.Text, "CHARS");

    for (const char* fits : {"PROJETO VEXO\rVexoAbecsPinPad", "  PADDED  ", "", "É no Vexo"})
        EXPECT_EQ(vexo::DroppedByLayout(fits, laidOut(fits)).Count, 0u) << fits;

    // Without wrapping each line is cut at 16; a third line goes altogether.
    const char* three = "0123456789ABCDEFGH\rSECOND\rTHIRD LINE";
    dropped = vexo::DroppedByLayout(three, laidOut(three, alLeft, false));
    EXPECT_EQ(dropped.Count, 11u);
    EXPECT_EQ(dropped.Text, "GH THIRD LINE");
}

} // namespace
