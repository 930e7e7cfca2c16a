#include "trace/LinkMask.h"
#include "TraceTestSupport.h"
#include "trace/TraceText.h"
#include "trace/ValueText.h"

#include "pinpad/VexoAbecsTables.h"

#include <gtest/gtest.h>

using namespace kestrel::trace;
using namespace kestrel::trace::test;
using namespace vexo;
using namespace std::string_literals;

namespace {

LinkUnit Unit(const ByteString& ARaw) {
    FrameDecoder decoder;
    std::vector<LinkUnit> units;
    decoder.Feed(ARaw, units);
    decoder.Flush(units);
    EXPECT_EQ(units.size(), 1u);
    return units.empty() ? LinkUnit{} : units[0];
}

const ByteString kTrack1 = "B4111111111111111^DOE/JOHN^2512101000000000";
const ByteString kTrack2 = "4111111111111111=25121010000000000";

} // namespace

TEST(LinkMask, ASwipeFrameIsRebuiltWithItsTracksMaskedAndAGoodCrc) {
    const ByteString data =
        "CEX000" + Block(TLV(PP_EVENT, "90") + TLV(PP_TRK1INC, kTrack1) + TLV(PP_TRK2INC, kTrack2));
    const LinkUnit unit = Unit(Frame(data));
    const ByteString masked = MaskLinkUnit(unit, true);
    EXPECT_EQ(masked.size(), unit.Raw.size());
    EXPECT_EQ(masked.find("1111111111"), std::string::npos);
    EXPECT_EQ(masked.find("JOHN"), std::string::npos);

    const LinkUnit again = Unit(masked);
    EXPECT_TRUE(again.CrcOk);
    // Masked bytes shown plainly read as the original shown masked.
    EXPECT_EQ(FormatMessageBody(DecodeResponse(again.Data), false),
              FormatMessageBody(DecodeResponse(data), true));
}

TEST(LinkMask, ADamagedFrameStaysDamagedByTheSameAmount) {
    ByteString frame = Frame("CEX000" + Block(TLV(PP_PAN, "5555555555554444")));
    frame.back() = static_cast<char>(frame.back() ^ 0x5A);
    const LinkUnit unit = Unit(frame);
    ASSERT_FALSE(unit.CrcOk);
    const LinkUnit masked = Unit(MaskLinkUnit(unit, true));
    EXPECT_FALSE(masked.CrcOk);
    EXPECT_EQ(masked.CrcGot ^ masked.CrcWant, unit.CrcGot ^ unit.CrcWant);
    EXPECT_NE(masked.Data.find("555555******4444"), std::string::npos);
}

TEST(LinkMask, WhatHoldsNoCardDataComesBackByteForByte) {
    for (const ByteString& raw : {Frame("DEX020"
                                        "017     three      \r"),
                                  Frame("GIX" + Block(TLV(SPE_IDLIST, "\x80\x01\x80\x02\x80\x03\x80\x04"
                                                                      "\x80\x05\x80\x06\x80\x07\x80\x08"s))),
                                  Frame("DSP032" + std::string(32, ' ')), ByteString("\x06"),
                                  ByteString("\x15"), ByteString("\x00\xFF\x41"s)}) {
        const LinkUnit unit = Unit(raw);
        EXPECT_EQ(MaskLinkUnit(unit, false), raw) << SpacedHex(raw);
    }
}

TEST(LinkMask, NumbersAreFoundWhereverTheyHide) {
    // A packed card number in chip data, a number in a text item, and one in a block that does
    // not decode.
    const ByteString emv = "\x5A\x08\x41\x11\x11\x11\x11\x11\x11\x11"s;
    const ByteString gox =
        MaskDataField("GOX000" + Block(TLV(PP_EMVDATA, emv) + TLV(PP_LABEL, "card 4000123412341234")), true);
    EXPECT_EQ(gox.find("\x11\x11\x11\x11"s), std::string::npos);
    EXPECT_NE(gox.find("card 400012******1234"), std::string::npos);
    EXPECT_EQ(MaskDataField("GIX00" + std::string("9 4111111111111111"), true),
              "GIX00" + std::string("9 411111******1111"));
    // Noise holding a number: as the bytes are not text, they are searched for packed digits too.
    const ByteString noise = MaskLinkUnit(Unit("\x01"
                                               "4111111111111111"s),
                                          false);
    EXPECT_EQ(noise.size(), 17u);
    EXPECT_EQ(noise.find("111111"), std::string::npos) << SpacedHex(noise);
    // Picture bytes of a media record are left as they are, unless they read as a card number.
    const ByteString picture = "\x89PNG\x41\x11\x11\x11\x11\x11\x11\x11"s;
    const ByteString mlr = "MLR" + Block(TLV(SPE_DATAIN, picture));
    EXPECT_EQ(MaskDataField(mlr, false), mlr);
}

TEST(LinkMask, AMaskedByteThatNeededNoEscapeMayNeedOneNow) {
    // 13h, 16h and 17h are escaped on the wire: masking a packed digit pair 13 shortens the frame.
    const ByteString emv = "\x5A\x08\x41\x13\x13\x13\x13\x13\x13\x11"s;
    const LinkUnit unit = Unit(Frame("GOX000" + Block(TLV(PP_EMVDATA, emv))));
    const LinkUnit masked = Unit(MaskLinkUnit(unit, true));
    EXPECT_TRUE(masked.CrcOk);
    EXPECT_LT(masked.Raw.size(), unit.Raw.size());
    EXPECT_EQ(masked.Data.size(), unit.Data.size());
}

TEST(LinkMask, ThePinPadsIdentityStaysAsItIsInClassicAndTlvResponses) {
    // A classic GIN answer: maker, model, versions and a serial number of 16 digits.
    const ByteString gin = "GIN000" + Block("KESTREL             MODEL-X            " + std::string(20, ' ') +
                                            "2.12" + std::string(16, ' ') + "4000123412341234    ");
    EXPECT_EQ(MaskDataField(gin, true), gin);
    const ByteString gix =
        "GIX000" + Block(TLV(PP_SERNUM, "4000123412341234") + TLV(PP_KSN, "12345678901234567890"));
    EXPECT_EQ(MaskDataField(gix, true), gix);
    // The same digits in a command, or in a GIN that breaks off, are masked.
    EXPECT_NE(MaskDataField("GIN000" + ByteString("4000123412341234"), true).find("400012******1234"),
              std::string::npos);
    EXPECT_NE(MaskDataField("DEX016" + ByteString("4000123412341234"), false),
              "DEX016" + ByteString("4000123412341234"));
}
