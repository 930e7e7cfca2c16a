// Numbers read from text: whole, in range, never wrapped.
#include "util/NumberText.h"
#include "util/Exception.h"

#include <gtest/gtest.h>

#include <limits>

namespace vexo {
namespace {

constexpr int64_t kFourG = int64_t{4} * 1024 * 1024 * 1024;

std::string ErrorOf(std::string_view AText, int64_t AMin, int64_t AMax,
                    TNumberSuffix ASuffix = TNumberSuffix::None) {
    try {
        ParseInteger(AText, "MEDIA_MEMORY", AMin, AMax, ASuffix);
    } catch (const Exception& e) {
        return std::string(e.ClassName()) + ": " + e.what();
    }
    return "accepted";
}

TEST(NumberText, ReadsWholeNumbersAndSizes) {
    EXPECT_EQ(ParseInteger("0", "n", 0, 99), 0);
    EXPECT_EQ(ParseInteger("99", "n", 0, 99), 99);
    EXPECT_EQ(ParseInteger("-5", "n", -10, 10), -5);
    EXPECT_EQ(ParseInteger("007", "n", 0, 99), 7);
    EXPECT_EQ(ParseInteger("64K", "n", 0, kFourG, TNumberSuffix::Size), 65536);
    EXPECT_EQ(ParseInteger("3mb", "n", 0, kFourG, TNumberSuffix::Size), 3 * 1024 * 1024);
    EXPECT_EQ(ParseInteger("4G", "n", 0, kFourG, TNumberSuffix::Size), kFourG);
    EXPECT_EQ(ParseInteger("9223372036854775807", "n", 0, std::numeric_limits<int64_t>::max()),
              std::numeric_limits<int64_t>::max());
    EXPECT_EQ(ParseInteger("-9223372036854775808", "n", std::numeric_limits<int64_t>::min(), 0),
              std::numeric_limits<int64_t>::min());
}

TEST(NumberText, AMultiplicationThatWouldWrapIsOutOfRange) {
    // 2^44 M is 2^64 bytes: wrapped, it would read as 0.
    const std::string error = ErrorOf("17592186044416M", 0, kFourG, TNumberSuffix::Size);
    EXPECT_EQ(error, "ERangeError: MEDIA_MEMORY = 17592186044416M is out of range (0 to 4G)");
    EXPECT_EQ(ErrorOf("18446744073709551616", 0, 10), // 2^64
              "ERangeError: MEDIA_MEMORY = 18446744073709551616 is out of range (0 to 10)");
    EXPECT_NE(ErrorOf("99999999999999999999G", 0, kFourG, TNumberSuffix::Size).find("ERangeError"),
              std::string::npos);
    EXPECT_NE(ErrorOf("9223372036854775808", 0, std::numeric_limits<int64_t>::max()).find("ERangeError"),
              std::string::npos);
    EXPECT_NE(ErrorOf("4097M", 0, kFourG, TNumberSuffix::Size).find("ERangeError"), std::string::npos);
    EXPECT_NE(ErrorOf("-1", 0, 99).find("ERangeError"), std::string::npos);
    EXPECT_NE(ErrorOf("100", 0, 99).find("(0 to 99)"), std::string::npos);
}

TEST(NumberText, TextThatIsNotAWholeNumberIsRefused) {
    for (const char* text : {"", "-", "+5", " 5", "5 ", "5x", "0x10", "1.5", "K", "5K"})
        EXPECT_NE(ErrorOf(text, 0, 99).find("EConvertError: MEDIA_MEMORY"), std::string::npos) << text;
    for (const char* text : {"5T", "5KK", "5 K", "K5"})
        EXPECT_NE(ErrorOf(text, 0, kFourG, TNumberSuffix::Size).find("EConvertError"), std::string::npos)
            << text;
    EXPECT_NE(ErrorOf("\x01", 0, 99).find("\\x01"), std::string::npos);
}

TEST(NumberText, RangesAreDescribedInTheirOwnUnits) {
    EXPECT_EQ(DescribeRange(0, kFourG, TNumberSuffix::Size), "0 to 4G");
    EXPECT_EQ(DescribeRange(1024, 1536 * 1024, TNumberSuffix::Size), "1K to 1536K");
    EXPECT_EQ(DescribeRange(1, 1000, TNumberSuffix::Size), "1 to 1000");
    EXPECT_EQ(DescribeRange(-1, 2048), "-1 to 2048");
}

} // namespace
} // namespace vexo
