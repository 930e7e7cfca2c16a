#include "pinpad/VexoAbecsBlock.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace vexo;
using namespace std::string_literals;

namespace {

// Runs AAction and returns the message of the EVexoAbecsPinPadError it raises ("" when none).
template <typename F> std::string ErrorOf(F&& AAction) {
    try {
        AAction();
    } catch (const EVexoAbecsPinPadError& e) {
        return e.Message();
    }
    return "";
}

// The TLV items held in one block, as (tag, value size) pairs.
std::vector<std::pair<uint16_t, size_t>> ItemsOf(const TVexoAbecsBlock& ABlock) {
    TVexoAbecsTLVList list;
    list.SetAsString(ABlock.Data());
    std::vector<std::pair<uint16_t, size_t>> out;
    for (int i = 0; i < list.Count(); ++i)
        out.emplace_back(list.Items(i).ID(), list.Items(i).Data().size());
    return out;
}

} // namespace

TEST(TLV, WireFormIsTagLengthValueHighByteFirst) {
    TVexoAbecsBlockList blocks;
    blocks.AddFromTagValue(0x001B, "ABC");
    ASSERT_EQ(blocks.Count(), 1);
    EXPECT_EQ(blocks.AsString(), "007\x00\x1B\x00\x03"
                                 "ABC"s);
    EXPECT_THROW(blocks.Items(1), ERangeError);
}

TEST(TLV, ValueLimitIs995Bytes) {
    const TVexoAbecsTLV full(1, std::string(995, 'a'));
    EXPECT_EQ(full.AsString().size(), 999u);
    TVexoAbecsBlockList blocks;
    EXPECT_EQ(blocks.AddFromData(full.AsString()), 0);
    EXPECT_EQ(ErrorOf([] { TVexoAbecsTLV(1, std::string(996, 'a')); }), "TLV is Larger then 995 bytes");
    EXPECT_EQ(ErrorOf([] { TVexoAbecsTLVList().AddFromTLV(1, std::string(996, 'a')); }),
              "TLV is Larger then 995 bytes");
    // Data itself is unchecked, but a value too long for the length field cannot be sent.
    TVexoAbecsTLV huge;
    huge.SetData(std::string(70000, 'z'));
    EXPECT_THROW(huge.AsString(), EVexoAbecsPinPadError);
}

TEST(TLVList, ParserEdgeCases) {
    struct Case {
        std::string input, error;
        int count;
    };
    // Strict: a stray trailing byte and a value shorter than its length are errors naming the
    // offset, and the items read before the fault stay in the list.
    const Case cases[] = {
        {"", "", 0},
        {"\x00\x01\x00\x01X"s + "!",
         "Invalid TLV data (at byte 5: TLV header cut short: 1 byte left, a header takes 4)", 1},
        {"\x00\x01\x00\x01X"s + "!!!",
         "Invalid TLV data (at byte 5: TLV header cut short: 3 bytes left, a header takes 4)", 1},
        {"\x00\x01\x00\x0A"s + "12345678",
         "Invalid TLV data (at byte 0: TLV 0001h announces 10 bytes, 8 follow)", 0},
        {"\x00\x01\x00\x01X\x80\x02\x00\x0D"s + "12345678",
         "Invalid TLV data (at byte 5: TLV 8002h announces 13 bytes, 8 follow)", 1},
        {"\x00\x01\x03\xE4"s + std::string(996, 'v'), "TLV is Larger then 995 bytes", 0},
    };
    for (const auto& c : cases) {
        TVexoAbecsTLVList list;
        EXPECT_EQ(ErrorOf([&] { list.SetAsString(c.input); }), c.error) << testing::PrintToString(c.input);
        EXPECT_EQ(list.Count(), c.count) << testing::PrintToString(c.input);
    }
    // One item alone: nothing may follow it.
    TVexoAbecsTLV one;
    EXPECT_EQ(ErrorOf([&] { one.SetAsString("\x00\x01\x00\x01XY"s); }),
              "Invalid TLV data (at byte 5: 1 bytes after the TLV)");
    one.SetAsString("\x00\x01\x00\x01X"s);
    EXPECT_EQ(one.Data(), "X");
    EXPECT_EQ(TVexoAbecsTLVList().AsString(), "");
}

TEST(Block, WireFormAndLimits) {
    TVexoAbecsBlock block;
    block.SetData("12345");
    EXPECT_EQ(block.AsString(), "00512345");
    EXPECT_EQ(ErrorOf([&] { block.SetData(std::string(1000, 'x')); }), "Block is Larger then 999 bytes");
    EXPECT_EQ(block.Data(), "12345");
    EXPECT_EQ(ErrorOf([] { TVexoAbecsBlockList().AddFromData(std::string(1000, 'x')); }),
              "Block is Larger then 999 bytes");

    const TVexoAbecsBlock empty;
    EXPECT_EQ(empty.AsString(), "000");
    TVexoAbecsBlock parsed;
    EXPECT_EQ(ErrorOf([&] { parsed.SetAsString(empty.AsString()); }),
              "Invalid Block (at byte 0: empty block)");
    EXPECT_EQ(ErrorOf([&] { parsed.SetAsString("005123"); }),
              "Invalid Block (at byte 0: block announces 5 bytes, 3 follow)");
    EXPECT_EQ(ErrorOf([&] { parsed.SetAsString("x05123456"); }),
              "Invalid Block (at byte 0: block length \"x05\" is not three digits)");
    EXPECT_EQ(ErrorOf([&] { parsed.SetAsString("00312345"); }),
              "Invalid Block (at byte 6: 2 bytes after the block)");
    parsed.SetAsString("003123");
    EXPECT_EQ(parsed.Data(), "123");
}

TEST(BlockList, ParserEdgeCases) {
    struct Case {
        std::string input, error;
        int count;
    };
    const Case cases[] = {
        {"", "", 0},
        {"002AB001C", "", 2},
        {"002AB!", "Invalid Block (at byte 5: block length cut short: 1 byte left, a length takes 3)", 1},
        {"002AB000", "Invalid Block (at byte 5: empty block)", 1},
        {"002AB0x1C", "Invalid Block (at byte 5: block length \"0x1\" is not three digits)", 1},
        {"002AB009C", "Invalid Block (at byte 5: block announces 9 bytes, 1 follow)", 1},
        {"020AB", "Invalid Block (at byte 0: block announces 20 bytes, 2 follow)", 0},
    };
    for (const auto& c : cases) {
        TVexoAbecsBlockList list;
        EXPECT_EQ(ErrorOf([&] { list.SetAsString(c.input); }), c.error) << c.input;
        EXPECT_EQ(list.Count(), c.count) << c.input;
    }
}

TEST(BlockList, LongTextIsSpreadOverTLVsThatNeverSpanBlocks) {
    TVexoAbecsBlockList blocks;
    blocks.AddFromTagValue(0x1B, std::string(2500, 'q'));
    ASSERT_EQ(blocks.Count(), 3);
    EXPECT_EQ(ItemsOf(blocks.Items(0)), (std::vector<std::pair<uint16_t, size_t>>{{0x1B, 995}}));
    EXPECT_EQ(ItemsOf(blocks.Items(1)), (std::vector<std::pair<uint16_t, size_t>>{{0x1B, 995}}));
    EXPECT_EQ(ItemsOf(blocks.Items(2)), (std::vector<std::pair<uint16_t, size_t>>{{0x1B, 510}}));
}

TEST(BlockList, ShortValuesShareTheLastBlockWhileTheyFit) {
    TVexoAbecsBlockList blocks;
    blocks.AddFromData(std::string(800, 'r'));
    blocks.AddFromTagValue(1, std::string(195, 's')); // 199 bytes: fits exactly
    EXPECT_EQ(blocks.Count(), 1);
    EXPECT_EQ(blocks.Items(0).Size(), 999);
    blocks.AddFromTagValue(2, "t");
    EXPECT_EQ(blocks.Count(), 2);
    blocks.AddFromData(std::string(800, 'r'));
    blocks.AddFromTagValue(3, std::string(300, 'u')); // 304 bytes do not fit in the 199 left
    ASSERT_EQ(blocks.Count(), 4);
    EXPECT_EQ(blocks.Items(3).Size(), 304);
}

TEST(BlockList, ThousandCharactersAlwaysStartANewBlock) {
    TVexoAbecsBlockList blocks;
    blocks.New();
    blocks.AddFromTagValue(1, std::string(1000, 'v'));
    ASSERT_EQ(blocks.Count(), 3);
    EXPECT_EQ(blocks.Items(0).Size(), 0);
    EXPECT_EQ(blocks.Items(1).Size(), 999);
    EXPECT_EQ(blocks.Items(2).Size(), 4 + 5);
    blocks.AddFromTagValue(1, "");
    EXPECT_EQ(blocks.Count(), 3);
}

TEST(BlockList, TextGoesOutInTheCodePage) {
    TVexoAbecsBlockList blocks;
    blocks.AddFromTagValue(1, "Ação→");
    EXPECT_EQ(blocks.Items(0).Data(), "\x00\x01\x00\x05"
                                      "A\xE7\xE3o?"s);
}

TEST(BlockList, StreamFormReadsFromTheStartAndLeavesTheStreamAtItsEnd) {
    std::stringstream data;
    data << std::string(1000, 'w');
    data.seekg(600);
    TVexoAbecsBlockList blocks;
    blocks.AddFromData("x");
    blocks.AddFromTagValue(1, data);
    ASSERT_EQ(blocks.Count(), 3); // 1000 bytes never join the last block
    EXPECT_EQ(ItemsOf(blocks.Items(1)), (std::vector<std::pair<uint16_t, size_t>>{{1, 995}}));
    EXPECT_EQ(ItemsOf(blocks.Items(2)), (std::vector<std::pair<uint16_t, size_t>>{{1, 5}}));
    EXPECT_EQ(data.tellg(), 1000);

    std::stringstream small("\x00\xFF"s);
    blocks.AddFromTagValue(2, small);
    EXPECT_EQ(blocks.Count(), 3);
    EXPECT_EQ(blocks.Items(2).Data().substr(9), "\x00\x02\x00\x02\x00\xFF"s);
    std::stringstream empty;
    blocks.AddFromTagValue(3, empty);
    EXPECT_EQ(blocks.Count(), 3);
}
