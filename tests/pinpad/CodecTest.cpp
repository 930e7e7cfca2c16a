#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "tests/support/MalformedFields.h"

#include <gtest/gtest.h>

using namespace vexo;
using kestrel::test::MalformedFields;
using kestrel::test::WellFormedBlocks;

namespace {

std::string ParseError(TVexoAbecsResponse& AResponse, const ByteString& AData) {
    try {
        AResponse.SetAsString(AData);
    } catch (const EVexoAbecsPinPadError& e) {
        return e.Message();
    }
    return "";
}

} // namespace

TEST(Codec, EveryMalformedShapeIsAnInvalidBlockNamingItsOffset) {
    const auto cases = MalformedFields();
    ASSERT_GT(cases.size(), 40u);
    for (const auto& c : cases) {
        TVexoAbecsResponse response;
        const std::string error = ParseError(response, "GIX000" + c.Blocks);
        const std::string at = "Invalid Block (at byte " + std::to_string(6 + c.Offset) + ": ";
        EXPECT_EQ(error.rfind(at, 0), 0u) << c.Name << ": " << error;
        EXPECT_NE(error.find(c.What), std::string::npos) << c.Name << ": " << error;
        // The walkers alone say the same, counted from the base they are given.
        std::vector<TVexoAbecsBlockSpan> blocks;
        auto fault = SplitBlocks(c.Blocks, blocks, 0);
        std::vector<TVexoAbecsTLVSpan> items;
        for (size_t i = 0; !fault && i < blocks.size(); ++i)
            fault = SplitTLVs(blocks[i].Data, items, blocks[i].Offset + 3);
        ASSERT_TRUE(fault.has_value()) << c.Name;
        EXPECT_EQ(fault->Offset, c.Offset) << c.Name;
    }
    TVexoAbecsResponse good;
    EXPECT_EQ(ParseError(good, "GIX000" + WellFormedBlocks()), "");
    EXPECT_EQ(good.GetResponseFromTagValue(PP_MODEL), "MODEL;16MB");
    EXPECT_EQ(good.GetResponseFromTagValue(PP_MNNAME), "KESTREL");
}

TEST(Codec, TheAnswerOfAnInformationQueryWhoseValueIsShortIsRefused) {
    // GIX whose item says 10 bytes and carries 8: the item is not read with what is there.
    const ByteString block = ByteString("\x80\x01\x00\x0A", 4) + "12345678";
    TVexoAbecsResponse response;
    EXPECT_EQ(ParseError(response, "GIX000012" + block),
              "Invalid Block (at byte 9: TLV 8001h announces 10 bytes, 8 follow)");
    EXPECT_EQ(response.ID(), "") << "half a response does not pass for an answer";
    EXPECT_EQ(response.Blocks().Count(), 0);
    // A command whose answer is raw data keeps the block as it came.
    EXPECT_EQ(ParseError(response, "GIN000012" + block), "");
    EXPECT_EQ(response.GetResponseData(), block);
}

TEST(Codec, BinaryValuesGoInUnconverted) {
    TVexoAbecsCommand command;
    command.SetID("GIX");
    const ByteString ids("\x80\x01\x00\xFF\x9F", 5);
    command.AddParamFromTagData(SPE_IDLIST, ids);
    command.AddParamFromTagData(SPE_DATAIN, ByteString(1200, '\xE7'));
    ASSERT_EQ(command.Blocks().Count(), 3); // 1200 bytes never join the last block
    EXPECT_EQ(command.Blocks().Items(0).Data(), ByteString("\x00\x01\x00\x05", 4) + ids);
    std::vector<TVexoAbecsTLVSpan> items;
    EXPECT_FALSE(SplitTLVs(command.Blocks().Items(1).Data(), items));
    EXPECT_FALSE(SplitTLVs(command.Blocks().Items(2).Data(), items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Value, ByteString(995, '\xE7'));
    EXPECT_EQ(items[1].Value, ByteString(205, '\xE7'));
}

TEST(PacketLimit, CountsDataBeforeEscaping) {
    // 2,000 data bytes that all need escaping are 4,000 on the wire and still one packet.
    ByteString data = "GIN000";
    while (data.size() < 2000)
        data += "\x13\x16\x17"[data.size() % 3];
    const ByteString frame = TVexoAbecsPacket(data).AsString();
    EXPECT_GT(frame.size(), 3900u);
    TVexoAbecsPacket packet;
    packet.SetAsString(frame);
    EXPECT_EQ(packet.Data(), data);

    const ByteString full(MaxPacketData, 'A');
    packet.SetAsString(TVexoAbecsPacket(full).AsString());
    EXPECT_EQ(packet.Data().size(), MaxPacketData);
    try {
        packet.SetAsString(TVexoAbecsPacket(full + "\x13").AsString());
        ADD_FAILURE() << "a data field one byte over the limit was taken";
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Data Packet is Larger than 2048");
    }
    EXPECT_EQ(packet.Data().size(), MaxPacketData);
}

TEST(PacketLimit, TheHostNeverSendsWhatItWouldRefuse) {
    TVexoAbecsCommand command;
    command.SetID("MLR");
    for (int i = 0; i < 5; ++i)
        command.AddParamFromData(ByteString(999, '\x13'));
    for (int32_t start = 0, read = 0; start < command.Blocks().Count(); start += read) {
        const ByteString data = command.GetDataPacket(start, read);
        EXPECT_LE(data.size(), MaxPacketData);
        TVexoAbecsPacket received;
        EXPECT_NO_THROW(received.SetAsString(TVexoAbecsPacket(data).AsString()));
    }
}
