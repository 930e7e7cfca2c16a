#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "tests/pinpad/BitwiseCRC.h"
#include "tests/pinpad/ThreePassEscaping.h"
#include "util/Strings.h"

#include <gtest/gtest.h>
#include <random>

using namespace vexo;
using namespace std::string_literals;
using kestrel::testing::BitwiseCRC;
using kestrel::testing::StuffThreePass;
using kestrel::testing::UnstuffThreePass;

namespace {

std::string Hex(std::string_view ABytes) {
    return BytesParaHex(ABytes);
}

std::string ParseError(std::string_view AFrame) {
    TVexoAbecsPacket packet("kept");
    try {
        packet.SetAsString(AFrame);
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(packet.Data(), "kept");
        return e.Message();
    }
    return "";
}

} // namespace

TEST(Packet, WorkedFramesByteForByte) {
    struct Case {
        const char *data, *frame;
    };
    const Case cases[] = {
        {"OPN", "164F504E17A8A9"},
        {"GKY", "16474B5917041C"},
        {"GIN00200", "1647494E303032303017EECA"},
        {"OPN000", "164F504E30303017775E"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(TVexoAbecsPacket(c.data).AsString()), c.frame) << c.data;
        TVexoAbecsPacket parsed;
        parsed.SetAsString(HexParaBytes(c.frame));
        EXPECT_EQ(parsed.Data(), c.data);
    }
}

TEST(Packet, CRCIsXmodemAndMatchesTheBitwiseDefinition) {
    EXPECT_EQ(Hex(TVexoAbecsPacket::CalcCRC("123456789")), "31C3");
    EXPECT_EQ(Hex(TVexoAbecsPacket::CalcCRC("")), "0000");
    std::mt19937 rng(7);
    std::string data;
    for (int len = 0; len < 80; ++len) { // every length around the 8-byte steps
        const uint16_t crc = TVexoAbecsPacket::UpdateCRC(0, data);
        EXPECT_EQ(crc, BitwiseCRC(data)) << len;
        EXPECT_EQ(TVexoAbecsPacket::UpdateCRC(TVexoAbecsPacket::UpdateCRC(0, data.substr(0, len / 3)),
                                              data.substr(len / 3)),
                  crc);
        data += static_cast<char>(rng());
    }
}

TEST(Packet, FrameCRCCoversTheUnescapedDataFieldThenETB) {
    for (const std::string& data : {""s, "123456789"s, "\x13\x16\x17"s})
        EXPECT_EQ(TVexoAbecsPacket::FrameCRC(data), BitwiseCRC(data + "\x17")) << Hex(data);
}

TEST(Packet, EscapingExample) {
    const std::string data = "\x41\x13\x16\x17\x42";
    const std::string frame = TVexoAbecsPacket(data).AsString();
    EXPECT_EQ(Hex(frame), "16"
                          "4113331336133742"
                          "17" +
                              Hex(TVexoAbecsPacket::CalcCRC(data + "\x17")));
    TVexoAbecsPacket parsed;
    parsed.SetAsString(frame);
    EXPECT_EQ(parsed.Data(), data);
    // DC3 followed by the digit 3 travels as 13 33 33 and comes back unchanged.
    EXPECT_EQ(TVexoAbecsPacket::StuffData("\x13\x33"), "\x13\x33\x33");
    EXPECT_EQ(TVexoAbecsPacket::UnstuffData("\x13\x33\x33"), "\x13\x33");
}

TEST(Packet, OnePassEscapingEqualsTheThreePassDefinitionOnEveryShortInput) {
    // Every string of up to five bytes over the values that take part in escaping.
    const std::string alphabet = "\x13\x16\x17\x33\x36\x37\x41";
    std::vector<std::string> inputs{""};
    for (size_t len = 1, from = 0; len <= 5; ++len) {
        const size_t to = inputs.size();
        for (size_t i = from; i < to; ++i)
            for (char c : alphabet)
                inputs.push_back(inputs[i] + c);
        from = to;
    }
    for (const auto& s : inputs) {
        ASSERT_EQ(TVexoAbecsPacket::StuffData(s), StuffThreePass(s)) << Hex(s);
        ASSERT_EQ(TVexoAbecsPacket::UnstuffData(s), UnstuffThreePass(s)) << Hex(s);
        ASSERT_EQ(TVexoAbecsPacket::UnstuffData(TVexoAbecsPacket::StuffData(s)), s) << Hex(s);
    }
    EXPECT_EQ(TVexoAbecsPacket::UnstuffData("\x13\x13\x37"), "\x13\x17");
    EXPECT_EQ(TVexoAbecsPacket::UnstuffData("\x13\x33\x37"), "\x13\x37");
    EXPECT_EQ(TVexoAbecsPacket::UnstuffData("\x13\x41"), "\x13\x41");
    EXPECT_EQ(TVexoAbecsPacket::UnstuffData("\x41\x13"), "\x41\x13");
}

TEST(Packet, ParseFailuresInCheckOrder) {
    const std::string good = TVexoAbecsPacket("ABC").AsString(); // exactly 7 bytes
    ASSERT_EQ(good.size(), 7u);
    std::string badCRC = good;
    badCRC[6] = static_cast<char>(badCRC[6] ^ 1);
    std::string noETB = good;
    noETB[4] = 'D';
    struct Case {
        std::string frame, error;
    };
    const Case cases[] = {
        {good, ""},
        {good.substr(0, 6), "Invalid Packet data"},
        {"\x16\x17\x00\x00"s, "Invalid Packet data"},
        {"X" + good.substr(1), "Packet do not START with SYN"},
        {noETB, "Packet do not have ETB"},
        {"\x16"
         "ABCD\x17\x17"s,
         "Packet do not have ETB"}, // ETB is found by position, not searched
        {badCRC, "Packet has invalid CRC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseError(c.frame), c.error) << Hex(c.frame);
}

TEST(Packet, CRCCoversTheUnescapedDataOnly) {
    const std::string data = "A\x16Z";
    const std::string stuffed = TVexoAbecsPacket::StuffData(data);
    const std::string wrongCRC = "\x16" + stuffed + "\x17" + TVexoAbecsPacket::CalcCRC(stuffed + "\x17");
    EXPECT_EQ(ParseError(wrongCRC), "Packet has invalid CRC");
    // A DC3 before an ordinary byte keeps both bytes; the CRC over them then decides.
    const std::string raw = "A\x13\x41";
    EXPECT_EQ(ParseError("\x16" + raw + "\x17" + TVexoAbecsPacket::CalcCRC(raw + "\x17")), "");
}

TEST(Packet, CRCBytesMayBeSynOrEtbAndAreNeverEscaped) {
    int seen = 0;
    for (int i = 0; i < 65536 && seen < 4; ++i) {
        const std::string data = "D" + std::string{static_cast<char>(i >> 8), static_cast<char>(i)};
        const std::string crc = TVexoAbecsPacket::CalcCRC(data + "\x17");
        if (crc.find_first_of("\x16\x17") == std::string::npos) continue;
        ++seen;
        const std::string frame = TVexoAbecsPacket(data).AsString();
        EXPECT_EQ(frame.substr(frame.size() - 2), crc);
        TVexoAbecsPacket parsed;
        parsed.SetAsString(frame);
        EXPECT_EQ(parsed.Data(), data);
    }
    EXPECT_EQ(seen, 4);
}
