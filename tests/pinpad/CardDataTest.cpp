#include "pinpad/VexoAbecsCardData.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"

#include <gtest/gtest.h>

using namespace vexo;

namespace {

ByteString Tlv(uint16_t ATag, const ByteString& AValue) {
    return TVexoAbecsTLV(ATag, AValue).AsString();
}

// Track 2 with a 12-digit card number: no run of it is PAN-like, so only the item's tag gives it away.
const ByteString kShortTrack2 = "412345678901=2512101";
const ByteString kShortTrack2Masked = "412345**8901=*******";
const ByteString kTrack1 = "B4111111111111111^DOE/JOHN^2512101";
const ByteString kTrack1Masked = "B411111******1111^***/****^*******";

} // namespace

TEST(CardData, TrackItemsAreMaskedWhateverTheirDigitRuns) {
    const ByteString data = "CEX000" + ByteString("076") + Tlv(PP_EVENT, "03") + Tlv(PP_TRK1INC, kTrack1) +
                            Tlv(PP_TRK2INC, kShortTrack2) + Tlv(PP_TRK3INC, "0123456");
    const ByteString masked = MaskCardData(data);
    ASSERT_EQ(masked.size(), data.size());
    EXPECT_EQ(masked, "CEX000" + ByteString("076") + Tlv(PP_EVENT, "03") + Tlv(PP_TRK1INC, kTrack1Masked) +
                          Tlv(PP_TRK2INC, kShortTrack2Masked) + Tlv(PP_TRK3INC, "*******"));
    EXPECT_EQ(MaskCardItem(PP_TRK2INC, kShortTrack2), kShortTrack2Masked);
    EXPECT_EQ(MaskCardItem(PP_PAN, "4111111111111111"), "411111******1111");
    EXPECT_EQ(MaskCardItem(PP_EVENT, "03"), "03");
    EXPECT_EQ(MaskCardItem(PP_CHNAME, "DOE/JOHN Q"), "***/**** *");
    EXPECT_EQ(MaskCardItem(PP_SERNUM, "1234567890123456"), "123456******3456");
}

// The data packet line shows the field as it came, still escaped: a length of 19, 22 or 23 bytes
// travels as DC3 pairs, and the value behind it must still be found.
TEST(CardData, EscapedFieldsAndCutValuesAreMaskedToo) {
    for (size_t length : {size_t{19}, size_t{22}, size_t{23}}) {
        const ByteString track = "412345678901=" + ByteString(length - 13, '7');
        const ByteString item = Tlv(PP_TRK2INC, track);
        const ByteString escaped = TVexoAbecsPacket::StuffData("CEX000" + item);
        ASSERT_NE(escaped.find('\x13'), ByteString::npos) << length;
        const ByteString masked = MaskCardData(escaped);
        EXPECT_EQ(masked.find("5678"), ByteString::npos) << length;
        EXPECT_EQ(masked.find("77"), ByteString::npos) << length;
        EXPECT_EQ(TVexoAbecsPacket::UnstuffData(masked),
                  "CEX000" + Tlv(PP_TRK2INC, MaskCardItem(PP_TRK2INC, track)));
    }
    // A value cut short by the end of the line is masked as far as it goes.
    const ByteString cut = Tlv(PP_TRK2INC, kShortTrack2).substr(0, 12);
    EXPECT_EQ(MaskCardData(cut), cut.substr(0, 4) + "********"); // 8 digits: all of it
}

TEST(CardData, OtherBytesStayAndPanLikeRunsAreMasked) {
    const ByteString gix = "GIX000" + Tlv(PP_SERNUM, "1234567890123456") + Tlv(PP_MODEL, "XYZ-100;512KB");
    EXPECT_EQ(MaskCardData(gix),
              "GIX000" + Tlv(PP_SERNUM, "123456******3456") + Tlv(PP_MODEL, "XYZ-100;512KB"));
    const ByteString binary("\x80\x42\x00", 3);
    EXPECT_EQ(MaskCardData(binary), binary);
    EXPECT_EQ(MaskCardData("  TX -> \x16GIN00200\x17\x12\x34"), "  TX -> \x16GIN00200\x17\x12\x34");
    EXPECT_EQ(MaskCardData(""), "");
}
