#include "util/CardMask.h"

#include <gtest/gtest.h>

using namespace vexo;

TEST(CardMask, APanKeepsItsFirstSixAndLastFourDigits) {
    EXPECT_EQ(MaskPAN("4111111111111111"), "411111******1111");
    EXPECT_EQ(MaskPAN("5555555555554444123"), "555555*********4123");
    // Six and four of a ten-digit run would be all of it.
    EXPECT_EQ(MaskPAN("1234567890"), "**********");
    EXPECT_EQ(MaskPAN(""), "");
}

TEST(CardMask, OnlyPanLikeRunsAreMaskedInText) {
    EXPECT_EQ(MaskCardNumbers("PAN 4111111111111111 ok"), "PAN 411111******1111 ok");
    EXPECT_EQ(MaskCardNumbers("4111111111111111=25121010000000000"), "411111******1111=251210*******0000");
    // Short numbers (amounts, codes, times) are left alone; so is a run of exactly 12 digits.
    EXPECT_EQ(MaskCardNumbers("STAT: 013 12/09 17:27:20:123 000000001500"),
              "STAT: 013 12/09 17:27:20:123 000000001500");
    EXPECT_EQ(MaskCardNumbers("a1234567890123b"), "a123456***0123b");
    // Code-page bytes pass unchanged.
    const std::string bytes("\xE7\x00\xFF", 3);
    EXPECT_EQ(MaskCardNumbers(bytes), bytes);
}

TEST(CardMask, TracksKeepOnlyThePanEndsAndTheirShape) {
    EXPECT_EQ(MaskTrackData("B4111111111111111^DOE/JOHN^25121010000000000000"),
              "B411111******1111^***/****^********************");
    EXPECT_EQ(MaskTrackData(";4111111111111111=25121010000000000?"), ";411111******1111=*****************?");
    EXPECT_EQ(MaskTrackData("no digits"), "no digits");
    EXPECT_EQ(MaskTrackData("B5^NAME"), "B*^****");
}

TEST(CardMask, PackedNumbersKeepTheirEndsAndTheirLength) {
    using namespace std::string_literals;
    // Tag 5A, length 8, PAN 4111 1111 1111 1111: the digits of the length byte join the run, as
    // they do when the bytes are shown in hexadecimal.
    EXPECT_EQ(MaskPackedCardNumbers("\x5A\x08\x41\x11\x11\x11\x11\x11\x11\x11"s),
              "\x5A\x08\x41\x11\xFF\xFF\xFF\xFF\x11\x11"s);
    // An odd run: 13 digits starting in a low nibble.
    EXPECT_EQ(MaskPackedCardNumbers("\xA1\x23\x45\x67\x89\x01\x23\xAA"s),
              "\xA1\x23\x45\x6F\xFF\x01\x23\xAA"s);
    // Twelve digits (an amount) stay; so do bytes with no run at all.
    EXPECT_EQ(MaskPackedCardNumbers("\x00\x00\x00\x01\x50\x00"s), "\x00\x00\x00\x01\x50\x00"s);
    EXPECT_EQ(MaskPackedCardNumbers("\xFF\xAB"s), "\xFF\xAB"s);
    // Masking twice changes nothing more.
    const std::string once = MaskPackedCardNumbers("\x41\x11\x11\x11\x11\x11\x11\x11"s);
    EXPECT_EQ(MaskPackedCardNumbers(once), once);
}
