// Media memory: a whole load over the link with its CRC, and the ways a load fails.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::sim::test {
namespace {

using namespace vexo;

const ByteString kPng = "\x89PNG\r\n\x1A\n" + ByteString(2492, '\x17');
const ByteString kJpeg = "\xFF\xD8\xFF\xE0" + ByteString(600, 'j');
const ByteString kGif = "GIF89a" + ByteString(100, 'g');

ByteString Info(size_t ASize, uint16_t ACRC, int AType) {
    ByteString info = {static_cast<char>(ASize >> 24),
                       static_cast<char>(ASize >> 16),
                       static_cast<char>(ASize >> 8),
                       static_cast<char>(ASize),
                       static_cast<char>(ACRC >> 8),
                       static_cast<char>(ACRC),
                       static_cast<char>(AType),
                       0,
                       0,
                       0};
    return info;
}

class SimMedia : public SimSessionFixture {
protected:
    // MLI, the MLR packets as a host splits them (two 995-byte pieces a packet), MLE; the first
    // answer that is not a success, or MLE's.
    std::string Load(const std::string& AName, const ByteString& AFile, int AType,
                     const ByteString& AInfo = {}) {
        const ByteString info =
            AInfo.empty() ? Info(AFile.size(), TVexoAbecsPacket::UpdateCRC(0, AFile), AType) : AInfo;
        std::string answer = Command("MLI" + Block(TLV(SPE_MFNAME, AName) + TLV(SPE_MFINFO, info)));
        if (answer != "MLI000") return answer;
        for (size_t p = 0; p < AFile.size(); p += 1990) {
            ByteString packet = "MLR" + Block(TLV(SPE_DATAIN, AFile.substr(p, 995)));
            if (p + 995 < AFile.size()) packet += Block(TLV(SPE_DATAIN, AFile.substr(p + 995, 995)));
            answer = Command(packet);
            if (answer != "MLR000") return answer;
        }
        return Command("MLE");
    }
};

TEST_F(SimMedia, CrcIsXmodem) {
    EXPECT_EQ(TVexoAbecsPacket::UpdateCRC(0, "123456789"), 0x31C3);
}

TEST_F(SimMedia, FullLoadStoresListsShowsAndDeletes) {
    ASSERT_EQ(Load("LOGO    ", kPng, 1), "MLE000");
    ASSERT_EQ(Load("PHOTO1  ", kJpeg, 2), "MLE000");
    EXPECT_EQ(Sim().Media("LOGO")->Data, kPng);
    EXPECT_EQ(Command("LMF"), "LMF000" + Block(TLV(PP_MFNAME, "LOGO    ") + TLV(PP_MFNAME, "PHOTO1  ")));
    // Names are matched without regard to case.
    EXPECT_EQ(Command("DSI" + Block(TLV(SPE_MFNAME, "logo    "))), "DSI000");
    EXPECT_EQ(Sim().Display().Picture, "LOGO    ");
    EXPECT_EQ(Command("DMF" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFNAME, "NOSUCH  "))), "DMF100");
    EXPECT_EQ(Sim().MediaNames().size(), 2u);
    EXPECT_EQ(Command("DMF" + Block(TLV(SPE_MFNAME, "LOGO    "))), "DMF000");
    EXPECT_EQ(Sim().Display().Picture, "");
    EXPECT_EQ(Command("LMF"), "LMF000" + Block(TLV(PP_MFNAME, "PHOTO1  ")));
    EXPECT_EQ(Command("CLX" + Block(TLV(SPE_MFNAME, "PHOTO1  "))), "CLX000");
    EXPECT_EQ(Sim().Display().Picture, "PHOTO1  ");
    EXPECT_FALSE(Sim().SessionOpen());
}

TEST_F(SimMedia, LoadsThatFail) {
    const uint16_t crc = TVexoAbecsPacket::UpdateCRC(0, kPng);
    EXPECT_EQ(Load("BADCRC  ", kPng, 1, Info(kPng.size(), crc ^ 1, 1)), "MLE102");
    EXPECT_EQ(Load("SHORT   ", kPng, 1, Info(kPng.size() + 1, crc, 1)), "MLE102");
    EXPECT_EQ(Load("LONG    ", kPng, 1, Info(kPng.size() - 1000, crc, 1)), "MLR102");
    EXPECT_EQ(Load("NOTPNG  ", kJpeg, 1), "MLE101");
    EXPECT_EQ(Load("ANIM    ", kGif, 3), "MLI101");
    EXPECT_TRUE(Sim().MediaNames().empty());
    // The load in progress is gone after a failure.
    EXPECT_EQ(Command("MLE"), "MLE010");
}

TEST_F(SimMedia, MemoryLimitCountsTheFileBeingReplaced) {
    Profile profile = Profile::Graphic();
    profile.MediaMemory = 3000;
    Start(profile);
    ASSERT_EQ(Command("OPN"), "OPN000");
    ASSERT_EQ(Load("LOGO    ", kPng, 1), "MLE000");
    EXPECT_EQ(Load("PHOTO1  ", kJpeg, 2), "MLI102");
    const ByteString bigger = kPng + ByteString(400, 'x');
    EXPECT_EQ(Load("LOGO    ", bigger, 1), "MLE000");
    EXPECT_EQ(Sim().Media("LOGO")->Data, bigger);
    EXPECT_EQ(Sim().MediaNames().size(), 1u);
}

TEST_F(SimMedia, GifProfileTakesGif) {
    Start(Profile::GraphicGif());
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Load("ANIM    ", kGif, 3), "MLE000");
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, Hex("80 22")))), "GIX000" + Block(TLV(PP_MFSUP, "111")));
}

// The first bytes of a PNG up to its IHDR's colour type: enough for the decoder's form check.
ByteString PngHeader(int ADepth, int AColourType) {
    return "\x89PNG\r\n\x1A\n" + Hex("00 00 00 0D") + "IHDR" + Hex("00 00 00 DC 00 00 00 DC") +
           static_cast<char>(ADepth) + static_cast<char>(AColourType) + ByteString(300, '\0');
}

TEST_F(SimMedia, PngFormRgb8TakesOnlyEightBitTruecolour) {
    Profile profile = Profile::Graphic();
    profile.Set("png_form", "rgb8");
    Start(profile);
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Load("RGB     ", PngHeader(8, 2), 1), "MLE000");
    EXPECT_EQ(Load("RGBA    ", PngHeader(8, 6), 1), "MLE000");
    EXPECT_EQ(Load("QRCODE01", PngHeader(1, 0), 1), "MLE101") << "1-bit greyscale";
    EXPECT_EQ(Load("PALETTE ", PngHeader(4, 3), 1), "MLE101");
    EXPECT_EQ(Sim().MediaNames().size(), 2u);

    profile.Set("png_form", "smallest");
    Start(profile);
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Load("QRCODE01", PngHeader(1, 0), 1), "MLE000");
    EXPECT_THROW(profile.Set("png_form", "16bit"), std::runtime_error);
}

} // namespace
} // namespace kestrel::sim::test
