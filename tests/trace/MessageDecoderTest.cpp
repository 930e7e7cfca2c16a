#include "trace/MessageDecoder.h"
#include "TraceTestSupport.h"
#include "trace/TraceText.h"
#include "trace/ValueText.h"

#include "pinpad/VexoAbecsTables.h"
#include "tests/support/MalformedFields.h"
#include "trace/LinkMask.h"

#include <gtest/gtest.h>

using namespace kestrel::trace;
using namespace kestrel::trace::test;
using namespace vexo;
using namespace std::string_literals;

TEST(MessageDecoder, TLVCommandsAndResponsesAreTakenApartWithNames) {
    const ByteString ids = "\x80\x01\x80\x03"s;
    const auto command = DecodeCommand("GIX" + Block(TLV(SPE_IDLIST, ids)));
    ASSERT_TRUE(command.Ok()) << command.Error;
    EXPECT_EQ(command.Name, "GIX");
    ASSERT_EQ(command.Blocks.size(), 1u);
    ASSERT_TRUE(command.Blocks[0].IsTLV);
    EXPECT_EQ(command.Blocks[0].Items[0].Name, "SPE_IDLIST");
    EXPECT_EQ(FormatMessageBody(command, true)[0], "SPE_IDLIST = 80 01 80 03 [PP_SERNUM PP_MODEL]");

    const auto response =
        DecodeResponse("GIX000" + Block(TLV(PP_SERNUM, "SN123") + TLV(PP_MODEL, "PPC-930;192MB")));
    ASSERT_TRUE(response.Ok());
    EXPECT_EQ(response.Status, 0);
    EXPECT_EQ(response.StatusText, ReturnStatusMessage(0));
    EXPECT_EQ(FormatMessageBody(response, true),
              (std::vector<std::string>{"PP_SERNUM = \"SN123\"", "PP_MODEL = \"PPC-930;192MB\""}));
}

TEST(MessageDecoder, ClassicCommandsKeepTheirBlocksWhole) {
    // A DSP text that happens to parse as TLVs stays text.
    const ByteString text = "\x80\x01\x00\x02"
                            "AB" +
                            std::string(26, ' ');
    const auto dsp = DecodeCommand("DSP" + Block(text));
    ASSERT_EQ(dsp.Blocks.size(), 1u);
    EXPECT_FALSE(dsp.Blocks[0].IsTLV);
    EXPECT_EQ(DecodeCommand("GIN" + Block("00")).Blocks[0].Data, "00");
    EXPECT_TRUE(IsBlockingCommand("GKY"));
    EXPECT_FALSE(IsBlockingCommand("GIX"));
}

TEST(MessageDecoder, RefusalsAndBrokenFieldsSayWhatWentWrong) {
    const auto refused = DecodeResponse("ERR010");
    EXPECT_TRUE(refused.Ok());
    EXPECT_EQ(refused.Name, "ERR");
    EXPECT_EQ(refused.Status, 10);
    EXPECT_FALSE(refused.StatusText.empty());

    const auto cut = DecodeResponse("GIX000" + Block(TLV(PP_SERNUM, "1")) + "020ABC");
    EXPECT_FALSE(cut.Ok());
    EXPECT_EQ(cut.Blocks.size(), 2u); // the good block, then what was left of the cut one
    EXPECT_FALSE(DecodeResponse("GIXabc").Ok());
    EXPECT_FALSE(DecodeCommand("GI").Ok());
    EXPECT_FALSE(DecodeCommand("GIX0x1").Ok());
}

TEST(MessageDecoder, UnknownCommandsShowTLVsOnlyWhenEveryItemHasAName) {
    const auto named = DecodeCommand("ZZZ" + Block(TLV(SPE_TIMEOUT, "\x05")));
    EXPECT_TRUE(named.Blocks[0].IsTLV);
    const auto unnamed = DecodeCommand("ZZZ" + Block(TLV(0x0777, "xy")));
    EXPECT_FALSE(unnamed.Blocks[0].IsTLV);
}

TEST(CardDataInTraces, TracksAndNumbersAreMaskedUnlessAskedOtherwise) {
    const ByteString track2 = "4111111111111111=25121010000000000";
    const auto cex = DecodeResponse(
        "CEX000" + Block(TLV(PP_EVENT, "90") + TLV(PP_TRK2INC, track2) + TLV(PP_PAN, "5555555555554444") +
                         TLV(PP_CHNAME, "DOE/JOHN") + TLV(PP_LABEL, "card 4000123412341234")));
    const auto masked = FormatMessageBody(cex, true);
    ASSERT_EQ(masked.size(), 5u);
    EXPECT_EQ(masked[1], "PP_TRK2INC = \"411111******1111=*****************\"");
    EXPECT_EQ(masked[2], "PP_PAN = \"555555******4444\"");
    EXPECT_EQ(masked[3], "PP_CHNAME = \"***/****\"");
    EXPECT_EQ(masked[4], "PP_LABEL = \"card 400012******1234\"");
    for (const auto& line : masked)
        EXPECT_EQ(line.find("1111111111"), std::string::npos) << line;

    const auto clear = FormatMessageBody(cex, false);
    EXPECT_EQ(clear[1], "PP_TRK2INC = \"" + track2 + "\"");

    // A card number in binary-coded decimal, as chip data carries it, is masked in hexadecimal.
    const std::string hex = HexBytes("\x5A\x08\x41\x11\x11\x11\x11\x11\x11\x11\x00"s, true);
    EXPECT_EQ(hex.find("11 11 11 11"), std::string::npos) << hex;
    EXPECT_EQ(HexBytes("\x01\xFF"s, true), "01 FF");
}

TEST(CardDataInTraces, ThePinPadsOwnItemsAndPlainTextAreNotMistakenForCards) {
    // Serial numbers and key serial numbers are long digit runs that belong to the PIN pad.
    EXPECT_EQ(RenderValue(PP_SERNUM, true, "KS20260000000001", true), "\"KS20260000000001\"");
    EXPECT_EQ(RenderValue(PP_KSN, true, "\x01\x23\x45\x67\x89\x01\x23\x45\x67\x89"s, true),
              "01 23 45 67 89 01 23 45 67 89");
    EXPECT_EQ(MaskValue(PP_SERNUM, true, "4111111111111111"), "4111111111111111");
    // A text with line breaks and many blanks is not read as packed digits.
    const ByteString dex = "  BEM VINDO     \r     1234567    ";
    EXPECT_EQ(RenderRaw(dex, true), RenderRaw(dex, false));
    // ... but a card number in a value of no known layout still is.
    EXPECT_NE(MaskValue(PP_LABEL, true, "\x41\x11\x11\x11\x11\x11\x11\x11\x01"s),
              "\x41\x11\x11\x11\x11\x11\x11\x11\x01"s);
}

TEST(CardDataInTraces, ValuesAreTextWhenPrintableAndHexOtherwise) {
    EXPECT_EQ(RenderValue(PP_MODEL, true, "PPC;8MB", true), "\"PPC;8MB\"");
    EXPECT_EQ(RenderValue(PP_MODEL, true, "\xE7\xE3o", true), "\"ção\"");
    EXPECT_EQ(RenderValue(PP_BIGRAND, true, "\x00\x01\x7F"s, true), "00 01 7F");
    EXPECT_EQ(RenderValue(SPE_TIMEOUT, false, "\x3C", true), "3C [60 s]");
    EXPECT_EQ(RenderValue(SPE_IDLIST, false, "\x80"s, true), "80 [odd length]");
    EXPECT_EQ(RenderValue(SPE_MFINFO, false, "\x00\x00\x04\xD2\x31\xC3\x01\x00\x00\x00"s, true),
              "00 00 04 D2 31 C3 01 00 00 00 [1234 bytes, CRC 31 C3, type 1]");
}

TEST(CardDataInTraces, ValuesComeInPiecesForOutputsThatKeepTextAndHexApart) {
    const ValueView text = ViewValue(PP_MODEL, true, "PPC \"8\" \xE7", true);
    EXPECT_TRUE(text.IsText);
    EXPECT_EQ(text.Shown, "PPC \"8\" ç"); // UTF-8, no quotes added
    const ValueView hex = ViewValue(SPE_TIMEOUT, false, "\x3C", true);
    EXPECT_FALSE(hex.IsText);
    EXPECT_EQ(hex.Shown, "3C");
    EXPECT_EQ(hex.Meaning, "60 s");
    EXPECT_EQ(ViewValue(PP_PAN, true, "5555555555554444", true).Shown, "555555******4444");
    const ValueView raw = ViewRaw("\x01\x02"s, true);
    EXPECT_FALSE(raw.IsText);
    EXPECT_EQ(raw.Shown, "01 02");
    EXPECT_TRUE(HasKnownLayout(SPE_IDLIST, false));
    EXPECT_FALSE(HasKnownLayout(SPE_IDLIST, true));
    EXPECT_FALSE(HasKnownLayout(SPE_DATAIN, false));
}

TEST(MessageDecoder, EveryMalformedShapeIsShownDamagedAtItsOffset) {
    for (const auto& c : kestrel::test::MalformedFields()) {
        for (const bool response : {true, false}) {
            const ByteString field = (response ? "GIX000" : "GIX") + c.Blocks;
            const DecodedMessage message = response ? DecodeResponse(field) : DecodeCommand(field);
            const std::string at = "at byte " + std::to_string((response ? 6 : 3) + c.Offset) + ": ";
            ASSERT_FALSE(message.Ok()) << c.Name;
            EXPECT_EQ(message.Error.rfind(at, 0), 0u) << c.Name << ": " << message.Error;
            EXPECT_NE(message.Error.find(c.What), std::string::npos) << c.Name << ": " << message.Error;
            // The damage is shown where it is, and the bytes from it on are still there.
            bool shown = false;
            for (const std::string& line : FormatMessageBody(message, true))
                shown = shown || line.find("damaged, " + message.Error) != std::string::npos;
            EXPECT_TRUE(shown) << c.Name;
            // Masking walks the same items and keeps the field's length and its head; a field that
            // breaks off is also searched as loose bytes, packed digits and all, since where it was
            // cut is not known, so its bytes may be masked on either side of the fault.
            const ByteString masked = MaskDataField(field, response);
            const size_t head = response ? 6 : 3;
            ASSERT_EQ(masked.size(), field.size()) << c.Name;
            EXPECT_EQ(masked.substr(0, head), field.substr(0, head)) << c.Name;
        }
    }
}

TEST(MessageDecoder, ADamagedItemIsMaskedByItsTag) {
    // A track whose length runs past its block: the value that is there is still card data.
    const ByteString track = "4111111111111111=2512";
    ByteString item = TLV(PP_TRACK2, track);
    item[3] = static_cast<char>(item[3] + 5);
    const ByteString field = "GCX000" + Block(item);
    const DecodedMessage message = DecodeResponse(field);
    ASSERT_EQ(message.Blocks.size(), 1u);
    ASSERT_EQ(message.Blocks[0].Items.size(), 1u);
    EXPECT_EQ(message.Blocks[0].Items[0].Name, "PP_TRACK2");
    EXPECT_EQ(message.Blocks[0].Items[0].Value, track);
    EXPECT_EQ(message.Error, "at byte 9: TLV 8045h announces 26 bytes, 21 follow");
    const std::vector<std::string> body = FormatMessageBody(message, true);
    ASSERT_EQ(body.size(), 1u);
    EXPECT_EQ(body[0].find("4111111111111111"), std::string::npos) << body[0];
    EXPECT_EQ(MaskDataField(field, true).find("4111111111111111"), std::string::npos);
}
