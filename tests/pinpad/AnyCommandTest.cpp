// Any command by name: how parameters become blocks on the wire, and how a response is read back
// with its items named.
#include "pinpad/VexoAbecsAnyCommand.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"

#include <gtest/gtest.h>

namespace {

using namespace vexo;
using P = TVexoAbecsAnyParam;

std::string Tlv(uint16_t ATag, const std::string& AValue) {
    return TVexoAbecsTLV(ATag, AValue).AsString();
}

std::string Block(const std::string& AData) {
    char len[8];
    std::snprintf(len, sizeof len, "%03zu", AData.size());
    return len + AData;
}

std::string Built(const TVexoAbecsAnyCommand& ASource, bool* ABlocking = nullptr) {
    TVexoAbecsCommand command;
    BuildAnyCommand(ASource, command);
    if (ABlocking) *ABlocking = command.IsBlocking();
    return command.AsString();
}

std::string BuildError(const TVexoAbecsAnyCommand& ASource) {
    try {
        Built(ASource);
    } catch (const EVexoAbecsPinPadError& e) {
        return e.Message();
    }
    return "";
}

TEST(AnyCommand, ItemsShareABlockAndRawBlocksStandAlone) {
    // Text through the code page, bytes as they are, an empty value still sent with length 0.
    EXPECT_EQ(Built({"GCX",
                     {P::Text(SPE_AMOUNT, "000000001000"), P::Bytes(SPE_TIMEOUT, "\x80"),
                      P::Text(SPE_DSPMSG, "Olá"), P::Bytes(SPE_TRNTYPE, "")}}),
              "GCX" + Block(Tlv(SPE_AMOUNT, "000000001000") + Tlv(SPE_TIMEOUT, "\x80") +
                            Tlv(SPE_DSPMSG, "Ol\xE1") + Tlv(SPE_TRNTYPE, "")));
    // A raw block never takes an item in: the order given is the order on the wire.
    EXPECT_EQ(
        Built({"XYZ",
               {P::TextBlock("AB"), P::Text(SPE_DSPMSG, "C"), P::Block("DE"), P::Bytes(SPE_TRNTYPE, "")}}),
        "XYZ" + Block("AB") + Block(Tlv(SPE_DSPMSG, "C")) + Block("DE") + Block(Tlv(SPE_TRNTYPE, "")));
    // A long value is spread over items of 995 bytes, one block each.
    const std::string longValue(1500, 'x');
    EXPECT_EQ(Built({"TLR", {P::Bytes(SPE_DATAIN, longValue)}}),
              "TLR" + Block(Tlv(SPE_DATAIN, longValue.substr(0, 995))) +
                  Block(Tlv(SPE_DATAIN, longValue.substr(995))));
    EXPECT_EQ(Built({"OPN", {}}), "OPN");
}

TEST(AnyCommand, BlockingComesFromTheTableUnlessTheCallerSays) {
    bool blocking = false;
    Built({"GCX", {}}, &blocking);
    EXPECT_TRUE(blocking);
    Built({"GIX", {}}, &blocking);
    EXPECT_FALSE(blocking);
    Built({"ZZZ", {}, TVexoAbecsWaitMode::wmBlocking}, &blocking);
    EXPECT_TRUE(blocking);
    Built({"GCX", {}, TVexoAbecsWaitMode::wmNotBlocking}, &blocking);
    EXPECT_FALSE(blocking);
    ASSERT_NE(FindAbecsCommand("GOX"), nullptr);
    EXPECT_STREQ(FindAbecsCommand("GOX")->Description, "go on chip, extended");
    EXPECT_EQ(FindAbecsCommand("GO"), nullptr);
}

TEST(AnyCommand, BadParametersAreRefusedNamingWhatIsWrong) {
    EXPECT_EQ(BuildError({"gix", {}}), "\"gix\" is not a command name: three upper-case letters or digits");
    EXPECT_EQ(BuildError({"GIXX", {}}), "\"GIXX\" is not a command name: three upper-case letters or digits");
    EXPECT_EQ(BuildError({"DSP", {P::Block("A"), P::Block(std::string(1000, 'x'))}}),
              "parameter 2: a block holds at most 999 bytes, not 1000");
    // A character the code page cannot carry would go out as '?': refused instead.
    EXPECT_THROW(P::Text(SPE_DSPMSG, "日本"), EVexoAbecsPinPadError);
    EXPECT_THROW(P::TextBlock("€ ok, ☃ not"), EVexoAbecsPinPadError);
    EXPECT_EQ(P::TextBlock("€").Data, "\x80");
}

TEST(AnyCommand, IdentifiersByNameOrTag) {
    EXPECT_EQ(AnyParamID("SPE_DSPMSG"), SPE_DSPMSG);
    EXPECT_EQ(AnyParamID("spe_timeout"), SPE_TIMEOUT);
    EXPECT_EQ(AnyParamID("0x001B"), 0x001B);
    EXPECT_EQ(AnyParamID("8001h"), 0x8001);
    EXPECT_EQ(AnyParamID("0xFFFF"), 0xFFFF);
    EXPECT_EQ(AnyParamID("0x10000"), std::nullopt);
    EXPECT_EQ(AnyParamID("DSPMSG"), std::nullopt);
    EXPECT_EQ(AnyParamID("PP_SERNUM"), std::nullopt);
    EXPECT_EQ(AnyParamID("0x"), std::nullopt);
    EXPECT_EQ(SPENameToTag("SPE_PBKEXP"), SPE_PBKEXP);
}

TEST(AnyCommand, ResponseItemsAreNamedAndRawBlocksKeptWhole) {
    TVexoAbecsResponse response;
    // A command the table does not know: its blocks may be raw data beside TLV items.
    response.SetAsString("ZZZ000" + Block(Tlv(PP_PAN, "4761739001010010") + Tlv(0x8099, "\x01")) +
                         Block("0816") + Block(Tlv(PP_TRACK2, "4761") + "\x01") +
                         Block(Tlv(PP_CARDEXP, "2512")));
    const TVexoAbecsAnyAnswer answer = DecodeAnyResponse(response);
    EXPECT_EQ(answer.Name, "ZZZ");
    EXPECT_EQ(answer.STAT, 0);
    ASSERT_EQ(answer.Blocks.size(), 4u);
    ASSERT_TRUE(answer.Blocks[0].IsTLV);
    EXPECT_EQ(answer.Blocks[0].Items[0].Name, "PP_PAN");
    EXPECT_EQ(answer.Blocks[0].Items[1].Name, "8099h");
    EXPECT_FALSE(answer.Blocks[1].IsTLV);
    EXPECT_EQ(answer.Blocks[1].Data, "0816");
    // One stray byte after the items: not taken for TLVs the codec would half read.
    EXPECT_FALSE(answer.Blocks[2].IsTLV);
    EXPECT_EQ(answer.Items().size(), 3u);
    EXPECT_EQ(answer.Value(PP_CARDEXP), "2512");
    EXPECT_EQ(answer.Value(PP_TRACK2), std::nullopt);
}

} // namespace
