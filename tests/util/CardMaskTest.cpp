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

TEST(CardMask, TextQuotingAFrameHidesNumbersAndTrackOneNames) {
    EXPECT_EQ(MaskCardDataInText("  DataPacket: CEX000\\x80\\x41B4111111111111111^DOE/JOHN^2512101"),
              "  DataPacket: CEX000\\x80\\x41B411111******1111^***/****^2512101");
    // Two tracks 1 in one line, and a '^' pair too far apart to hold a name between them.
    EXPECT_EQ(MaskCardDataInText("^AB^ x ^CD^"), "^**^ x ^**^");
    const std::string far = "^" + std::string(40, 'x') + "^";
    EXPECT_EQ(MaskCardDataInText(far), far);
    EXPECT_EQ(MaskCardDataInText("GIX 000 PP_SERNUM 12345678"), "GIX 000 PP_SERNUM 12345678");
}

TEST(CardMask, NumbersWrittenInGroupsAreMaskedAndDatesTimesAndHexAreNot) {
    EXPECT_EQ(MaskCardNumbers("CARD 4111 1111 1111 1111 OK"), "CARD 4111 11** **** 1111 OK");
    EXPECT_EQ(MaskCardNumbers("4111-1111-1111-1111"), "4111-11**-****-1111");
    EXPECT_EQ(MaskCardNumbers("3782 822463 10005"), "3782 82**** *0005"); // 4-6-5
    // Laid out on a display: the padding of the first line between two groups.
    EXPECT_EQ(MaskCardNumbers("5555 5555 5555  4444"), "5555 55** ****  4444");
    for (const std::string kept : {"10/06 14:00:00:123", "2024-06-10 14:00", "30 31 32 33 34 35 36 37 38",
                                   "0800 123 4567", "000000001500 000000001500", "STAT: 013 12/09"})
        EXPECT_EQ(MaskCardNumbers(kept), kept);
    // A long run next to groups is masked on its own rule; three blanks part two numbers.
    EXPECT_EQ(MaskCardNumbers("4111111111111111 12"), "411111******1111 12");
    EXPECT_EQ(MaskCardNumbers("4111 1111   1111 1111"), "4111 1111   1111 1111");
}

TEST(CardMask, ATrackOneNameIsOnlyTakenBetweenPrintableBytes) {
    const std::string binary = std::string("^\x01\x02\xFF^", 5);
    EXPECT_EQ(MaskCardDataInText(binary), binary);
    EXPECT_EQ(MaskCardDataInText("x^DOE/JOHN^y"), "x^***/****^y");
}
