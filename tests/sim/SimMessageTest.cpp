// What the simulated PIN pad puts on the wire and how it reads a CEX's options: nothing that
// three digits cannot say is cut or wrapped, and options are read by position, never guessed.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/Strings.h"

namespace kestrel::sim::test {
namespace {

using namespace vexo;

// The items of a data field's blocks, read back with the codec; every block at most 999 bytes.
std::vector<std::pair<uint16_t, ByteString>> ItemsOf(const ByteString& AField) {
    std::vector<TVexoAbecsBlockSpan> blocks;
    EXPECT_FALSE(SplitBlocks(std::string_view(AField).substr(6), blocks));
    std::vector<std::pair<uint16_t, ByteString>> items;
    for (const auto& block : blocks) {
        EXPECT_LE(block.Data.size(), 999u);
        std::vector<TVexoAbecsTLVSpan> spans;
        EXPECT_FALSE(SplitTLVs(block.Data, spans));
        for (const auto& span : spans)
            items.emplace_back(span.Tag, ByteString(span.Value));
    }
    return items;
}

TEST(SimReplyWire, ABlockOfAThousandBytesIsRefusedNotWrapped) {
    SimReply reply("GIN", ST_OK);
    reply.AddData(ByteString(999, 'A'));
    EXPECT_THROW(reply.AddData(ByteString(1000, 'B')), EVexoAbecsPinPadError);
    ASSERT_EQ(reply.Blocks.size(), 1u);
    EXPECT_EQ(reply.DataField(), "GIN000999" + ByteString(999, 'A'));
    // A block grown past the limit after it was added still never leaves with a wrapped length.
    reply.Blocks.back() += "B";
    EXPECT_THROW(reply.DataField(), EVexoAbecsPinPadError);
}

TEST(SimReplyWire, AReturnCodeOutsideThreeDigitsIsRefused) {
    // 1000 wrapped would read "000": a failure taken for success.
    EXPECT_THROW(SimReply("GKY", 1000).DataField(), EVexoAbecsPinPadError);
    EXPECT_THROW(SimReply("GKY", -1).DataField(), EVexoAbecsPinPadError);
    EXPECT_EQ(SimReply("GKY", 999).DataField(), "GKY999");
}

TEST(SimReplyWire, LongValuesAreSplitAsTheHostsBlockListSplitsThem) {
    ByteString value;
    for (int i = 0; i < 2500; ++i)
        value += static_cast<char>(i % 251);
    SimReply reply("GIX", ST_OK);
    reply.AddTLV(PP_SERNUM, "ABC");
    reply.AddTLV(PP_BIGRAND, value);
    reply.AddTLV(PP_MODEL, "M");
    const auto items = ItemsOf(reply.DataField());
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(items.front(), std::make_pair(PP_SERNUM, ByteString("ABC")));
    EXPECT_EQ(items.back(), std::make_pair(PP_MODEL, ByteString("M")));
    ByteString joined;
    for (size_t i = 1; i + 1 < items.size(); ++i) {
        EXPECT_EQ(items[i].first, PP_BIGRAND);
        EXPECT_LE(items[i].second.size(), 995u);
        joined += items[i].second;
    }
    EXPECT_EQ(joined, value);
    // A value longer than a block starts a block of its own, as the host packs it.
    EXPECT_EQ(reply.Blocks.front(), TLV(PP_SERNUM, "ABC"));
}

TEST(SimReplyWire, AnEmptyValueIsStillAnItem) {
    SimReply reply("GCD", ST_OK);
    reply.AddTLV(PP_VALUE, "");
    EXPECT_EQ(reply.DataField(), "GCD000004" + Hex("80 4D 00 00"));
    SimReply full("GIX", ST_OK);
    full.AddData(ByteString(997, 'x'));
    full.AddTLV(PP_VALUE, "");
    EXPECT_EQ(full.Blocks.size(), 2u);
}

TEST(SimReplyWire, AKeyCodeBeyondThreeDigitsNeverReachesGky) {
    PinPadModel model(Profile::Graphic());
    ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    ASSERT_EQ(Exec(model, "GKY"), "");
    std::string note;
    EXPECT_FALSE(model.Offer(CardholderAction::Key(1000), note));
    EXPECT_NE(note.find("three digits"), std::string::npos) << note;
    EXPECT_TRUE(model.Waiting());
    const auto reply = model.Offer(CardholderAction::Key(999), note);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->DataField(), "GKY999");
}

TEST(SimCexOptions, AreReadByPositionAndRefusedWhenMalformed) {
    const auto keys = CexOptions::Parse("100000");
    ASSERT_TRUE(keys);
    EXPECT_TRUE(keys->Keys);
    EXPECT_FALSE(keys->Stripe || keys->Contactless);
    EXPECT_EQ(keys->Chip, CexOptions::Slot::Ignore);
    const auto all = CexOptions::Parse("112199");
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->Keys && all->Stripe && all->Contactless);
    EXPECT_EQ(all->Chip, CexOptions::Slot::Removal);
    EXPECT_EQ(CexOptions::Parse("001000")->Chip, CexOptions::Slot::Insertion);
    for (const char* bad : {"", "1", "10000", "1000000", "000000", "000099", "200000", "020000", "003000",
                            "000200", "10000 ", " 10000", "1O0000", "-10000"})
        EXPECT_FALSE(CexOptions::Parse(bad)) << bad;
}

TEST(SimCexOptions, PanMaskKeepsItsDigitsAndMasksTheRest) {
    EXPECT_FALSE(PanMask::Parse("604"));
    EXPECT_FALSE(PanMask::Parse("06044"));
    EXPECT_FALSE(PanMask::Parse("06 4"));
    const std::string track2 = "4761739001010010=3012";
    EXPECT_EQ(PanMask::Parse("0604")->Apply(track2), "476173******0010=3012");
    EXPECT_EQ(PanMask::Parse("0000")->Apply(track2), "****************=3012");
    EXPECT_EQ(PanMask::Parse("1010")->Apply(track2), track2); // more kept than there are digits
    EXPECT_EQ(PanMask::Parse("0002")->Apply("B1234^NAME"), "B**34^NAME");
    EXPECT_EQ(PanMask{}.Apply(""), "");
}

TEST(SimCexOptions, AShortOrMalformedOptionItemIsAnsweredWithInvalidParameter) {
    PinPadModel model(Profile::Graphic());
    ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    const ByteString withNul = ByteString("01") + '\0' + "000";
    for (const ByteString& options : {ByteString(), ByteString("1"), ByteString("01000"),
                                      ByteString("0100000"), ByteString("003000"), withNul}) {
        EXPECT_EQ(Exec(model, "CEX" + Block(TLV(SPE_CEXOPT, options))), "CEX011")
            << EscaparNaoImprimiveis(options);
        EXPECT_FALSE(model.Waiting());
    }
    EXPECT_EQ(Exec(model, "CEX" + Block(TLV(SPE_CEXOPT, "010000") + TLV(SPE_PANMASK, "06X4"))), "CEX011");
    EXPECT_EQ(Exec(model, "CEX" + Block(TLV(SPE_CEXOPT, "010000") + TLV(SPE_TIMEOUT, "10"))), "CEX011");
}

TEST(SimCexOptions, TheWaitingCexTakesOnlyTheEventsItAskedFor) {
    PinPadModel model(Profile::Graphic());
    ASSERT_EQ(Exec(model, "OPN"), "OPN000");
    ASSERT_EQ(Exec(model, "CEX" + Block(TLV(SPE_CEXOPT, "010000") + TLV(SPE_PANMASK, "0000"))), "");
    std::string note;
    for (const auto& action : {CardholderAction::Tap(), CardholderAction::Insert(),
                               CardholderAction::Remove(), CardholderAction::Press(Key::Enter)})
        EXPECT_FALSE(model.Offer(action, note)) << note;
    const auto reply = model.Offer(CardholderAction::Swipe("", "4761739001010010=3012"), note);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->DataField(),
              "CEX000" + Block(TLV(PP_EVENT, "90") + TLV(PP_TRK2INC, "****************=3012")));
}

} // namespace
} // namespace kestrel::sim::test
