#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace vexo;
using namespace std::string_literals;

namespace {

std::string ParseError(TVexoAbecsApplicationLayer& ARecord, std::string_view AData) {
    try {
        ARecord.SetAsString(AData);
    } catch (const EVexoAbecsPinPadError& e) {
        return e.Message();
    }
    return "";
}

std::string TLV(uint16_t ATag, const std::string& AValue) {
    return TVexoAbecsTLV(ATag, AValue).AsString();
}

std::string Block(const std::string& AData) {
    TVexoAbecsBlock block;
    block.SetData(AData);
    return block.AsString();
}

} // namespace

TEST(Response, ParsesNameStatusAndBlocks) {
    TVexoAbecsResponse response;
    response.SetAsString("OPN000");
    EXPECT_EQ(response.ID(), "OPN");
    EXPECT_EQ(response.STAT(), 0);
    EXPECT_EQ(response.Blocks().Count(), 0);

    response.SetAsString("ERR010"); // the name is the PIN pad's, never compared
    EXPECT_EQ(response.ID(), "ERR");
    EXPECT_EQ(response.STAT(), ST_INVCALL);

    const std::string gin = "GIN000" + Block("abc") + Block(TLV(PP_SERNUM, "42"));
    response.SetAsString(gin);
    EXPECT_EQ(response.Blocks().Count(), 2);
    EXPECT_EQ(response.AsString(), gin);
}

TEST(Response, ParseFailures) {
    struct Case {
        std::string data, error;
    };
    const Case cases[] = {
        {"OPN00", "Invalid Response"},
        {"OPNabc", "Invalid Response Status"},
        {"OPN-01", "Invalid Response Status"},
        {"OPN 12", "Invalid Response Status"},
        {"OPN000000", "Invalid Block (at byte 6: empty block)"},
        {"OPN000005ab", "Invalid Block (at byte 6: block announces 5 bytes, 2 follow)"},
    };
    for (const auto& c : cases) {
        TVexoAbecsResponse response;
        EXPECT_EQ(ParseError(response, c.data), c.error) << c.data;
        EXPECT_EQ(response.STAT(), 0) << c.data;
    }
    TVexoAbecsCommand command;
    EXPECT_EQ(ParseError(command, "OP"), "Invalid Block");
}

TEST(ApplicationLayer, SameNameKeepsBlocksAndAnotherNameClears) {
    TVexoAbecsCommand command;
    command.SetID("DSP");
    command.AddParamFromData("x");
    command.SetIsBlocking(true);
    command.SetID("DSP");
    EXPECT_EQ(command.Blocks().Count(), 1);
    EXPECT_TRUE(command.IsBlocking());
    command.SetID("GKY");
    EXPECT_EQ(command.Blocks().Count(), 0);
    EXPECT_FALSE(command.IsBlocking());

    TVexoAbecsResponse response;
    response.SetAsString("GKY005");
    response.SetID("GIN");
    EXPECT_EQ(response.STAT(), 0);
}

TEST(GetDataPacket, SplitsBlocksIntoPacketsOfAtMost2048Bytes) {
    TVexoAbecsCommand command;
    command.SetID("MLR");
    int32_t read = -5;
    EXPECT_EQ(command.GetDataPacket(0, read), "MLR");
    EXPECT_EQ(read, 1);

    const std::string a(999, 'a'), b(999, 'b'), c(999, 'c');
    command.AddParamFromData(a);
    command.AddParamFromData(b);
    EXPECT_EQ(command.GetDataPacket(0, read), "MLR999" + a + "999" + b);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(command.GetDataPacket(0, read).size(), 2007u);

    command.AddParamFromData(c);
    EXPECT_EQ(command.GetDataPacket(0, read), "MLR999" + a + "999" + b);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(command.GetDataPacket(2, read), "MLR999" + c);
    EXPECT_EQ(read, 1);
    for (int32_t start : {3, 100, -1}) {
        EXPECT_EQ(command.GetDataPacket(start, read), "MLR") << start;
        EXPECT_EQ(read, 1);
    }
}

TEST(ResponseAccessors, JoinValuesOfOneTagAcrossBlocks) {
    TVexoAbecsResponse response;
    // A name outside the TLV commands, so that a block of raw data may stand among the items.
    response.SetAsString("XYZ000" + Block(TLV(PP_MODEL, "AB") + TLV(PP_SERNUM, "12")) + Block("raw data") +
                         Block(TLV(PP_MODEL, "C\xE7")));
    EXPECT_EQ(response.GetResponseFromTagValue(PP_MODEL), "ABC\xE7");
    EXPECT_EQ(response.GetResponseFromTagValue(PP_MNNAME), "");
    EXPECT_EQ(response.GetResponseData(),
              TLV(PP_MODEL, "AB") + TLV(PP_SERNUM, "12") + "raw data" + TLV(PP_MODEL, "C\xE7"));

    std::vector<std::string> lines{"stale"};
    response.GetResponseFromTagValue(PP_MODEL, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"AB", "Cç"}));
    response.GetResponseAsValues(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"32771=AB", "32769=12", "32771=Cç"}));

    std::stringstream stream;
    stream << "previous content that is longer";
    response.GetResponseFromTagValue(PP_MODEL, stream);
    EXPECT_EQ(stream.str(), "ABC\xE7");
}

TEST(ResponseAccessors, BlocksThatAreNoWholeRunOfItemsAreSkippedWhole) {
    TVexoAbecsResponse response;
    // In the answer of a command without TLV parameters such blocks are raw data: a value
    // announced as 5 bytes with 2 present is no item, and the middle block, whose run breaks off
    // after its first item, contributes nothing.
    response.SetAsString("GIN000" +
                         Block("\x00\x01\x00\x05"
                               "AB"s) +
                         Block(TLV(PP_SERNUM, "lost") + "\x80\x01\x00"s) + Block(TLV(PP_SERNUM, "kept")));
    EXPECT_EQ(response.GetResponseFromTagValue(1), "");
    EXPECT_EQ(response.GetResponseFromTagValue(PP_SERNUM), "kept");
    std::vector<std::string> lines;
    response.GetResponseAsValues(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"32769=kept"}));
}

TEST(Command, TagValueParametersUseTheBlockRules) {
    TVexoAbecsCommand command;
    command.SetID("GIX");
    // Binary values go through the text form as code-page text, which maps every byte back.
    command.AddParamFromTagValue(SPE_IDLIST, AnsiToText("\x80\x01"));
    command.AddParamFromTagValue(SPE_TIMEOUT, "\x0A"s);
    std::stringstream file("\x89PNG");
    command.AddParamFromTagValue(SPE_DATAIN, file);
    ASSERT_EQ(command.Blocks().Count(), 1);
    EXPECT_EQ(command.AsString(), "GIX" + Block(TLV(SPE_IDLIST, "\x80\x01") + TLV(SPE_TIMEOUT, "\x0A") +
                                                TLV(SPE_DATAIN, "\x89PNG")));
}
