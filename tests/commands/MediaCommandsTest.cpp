#include "EngineTestSupport.h"

#include <sstream>

namespace kestrel::test {
namespace {

using namespace vexo;

Bytes Mfname(const Bytes& AName) {
    return Tlv(SPE_MFNAME, AName);
}

// Every byte value, so a piece that went through the code page would show.
Bytes Pattern(size_t ASize) {
    Bytes out(ASize, '\0');
    for (size_t i = 0; i < ASize; ++i)
        out[i] = static_cast<char>(i * 7 % 256);
    return out;
}

TEST(MediaName, KeepsAsciiLettersAndDigitsInCapitalsPaddedToEight) {
    const TVexoAbecsPinPad pinpad;
    const std::pair<const char*, const char*> cases[] = {{"logo.png", "LOGOPNG "},
                                                         {"QRCODE1234", "QRCODE12"},
                                                         {"Ação 1", "AO1     "},
                                                         {"", "        "},
                                                         {"---", "        "}};
    for (const auto& [name, wire] : cases)
        EXPECT_EQ(pinpad.FormatSPE_MFNAME(name), wire) << name;
}

TEST_F(PinPadTest, MliRefusesBadArgumentsAndSendsInfoBytesUnchanged) {
    Answer("MLI" + Block(Mfname("LOGO    ") +
                         Tlv(SPE_MFINFO, Bytes("\x00\x00\x04\xD2\x31\xC3\x01\x00\x00\x00", 10))),
           "MLI000");
    Go();
    EXPECT_EQ(ErrorOf([&] { pinpad.MLI("---", Bytes(10, '\0')); }), "Invalid Media file name");
    EXPECT_EQ(ErrorOf([&] { pinpad.MLI("logo", Bytes(9, '\0')); }), "Invalid Media file parâmeters");
    pinpad.MLI("logo", 1234, 0x31C3, 1);
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, MlrSendsTwoPiecesAPacketAndStopsOnAFailedPacket) {
    const Bytes data = Pattern(2500);
    const auto piece = [&](size_t AFrom, size_t ASize) {
        return Block(Tlv(SPE_DATAIN, data.substr(AFrom, ASize)));
    };
    Answer("MLR" + piece(0, 995) + piece(995, 995), "MLR000");
    Answer("MLR" + piece(1990, 510), "MLR000");
    Answer("MLR", "MLR000");
    Answer("MLR" + piece(0, 995) + piece(995, 995), "MLR102");
    Go();
    std::stringstream file(data), empty;
    file.seekg(100); // read from the start whatever the position
    pinpad.MLR(file);
    pinpad.MLR(empty);
    EXPECT_THROW(pinpad.MLR(file), EVexoAbecsPinPadError);
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, LoadMediaDeclaresTypeSizeAndCrcAndStopsAtTheFirstError) {
    const Bytes info = Bytes("\x00\x00\x00\x09\x31\xC3\x03\x00\x00\x00", 10);
    Answer("MLI" + Block(Mfname("ANIM    ") + Tlv(SPE_MFINFO, info)), "MLI000");
    Answer("MLR" + Block(Tlv(SPE_DATAIN, "123456789")), "MLR000");
    Answer("MLE", "MLE000");
    Answer("MLI" + Block(Mfname("ANIM    ") + Tlv(SPE_MFINFO, info)), "MLI101");
    Go();
    std::stringstream gif("123456789");
    pinpad.LoadMedia("anim", gif, TVexoAbecsPinPadMediaType::mtGIF);
    EXPECT_EQ(ErrorOf([&] { pinpad.LoadMedia("anim", gif, TVexoAbecsPinPadMediaType::mtGIF); }),
              "Error: 101 - Media file format error.");
    EXPECT_EQ(peer.Finish(), ""); // no MLR or MLE after the refused MLI
}

// The progress of an upload is that of the file's bytes: the MLR packets alone, counted from 1 to
// their total; MLI, MLE and every other command report none, so a window shows the numbers as they come.
TEST_F(PinPadTest, ProgressCountsTheMediaDataPacketsAlone) {
    const Bytes data = Pattern(2500);
    const auto piece = [&](size_t AFrom, size_t ASize) {
        return Block(Tlv(SPE_DATAIN, data.substr(AFrom, ASize)));
    };
    const uint16_t crc = TVexoAbecsPacket::UpdateCRC(0, data);
    const Bytes info = Bytes("\x00\x00\x09\xC4", 4) + static_cast<char>(crc >> 8) +
                       static_cast<char>(crc & 0xFF) + Bytes("\x01\x00\x00\x00", 4);
    Answer("LMF", "LMF000");
    Answer("MLI" + Block(Mfname("LOGO    ") + Tlv(SPE_MFINFO, info)), "MLI000");
    Answer("MLR" + piece(0, 995) + piece(995, 995), "MLR000");
    Answer("MLR" + piece(1990, 510), "MLR000");
    Answer("MLE", "MLE000");
    Answer("MLR" + piece(0, 995) + piece(995, 995), "MLR102");
    Go();
    std::vector<std::pair<int, int>> progress;
    pinpad.SetOnProgress([&](TComponent*, int ADone, int ATotal) { progress.emplace_back(ADone, ATotal); });
    pinpad.LMF();
    EXPECT_TRUE(progress.empty());
    std::stringstream file(data);
    EXPECT_NO_THROW(pinpad.LoadMedia("logo", file, TVexoAbecsPinPadMediaType::mtPNG));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    progress.clear();
    EXPECT_THROW(pinpad.MLR(file), EVexoAbecsPinPadError);
    EXPECT_TRUE(progress.empty()); // the refused first packet is no progress
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, NameCommandsSendFormattedNames) {
    Answer("DMF" + Block(Mfname("LOGO    ") + Mfname("QR1     ")), "DMF000");
    Answer("DMF", "DMF000");
    Answer("DMF" + Block(Mfname("        ")), "DMF000");
    Answer("DSI" + Block(Mfname("LOGOPNG ")), "DSI000");
    Go();
    pinpad.SetLogLevel(1);
    pinpad.DMF(std::vector<std::string>{"logo", "qr 1"});
    pinpad.DMF(std::vector<std::string>{});
    pinpad.DMF("#!");
    pinpad.DSI("logo.png");
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(log[0], "DMF( logo, qr 1 )");
    EXPECT_EQ(log[2], "DMF(  )");
}

} // namespace
} // namespace kestrel::test
