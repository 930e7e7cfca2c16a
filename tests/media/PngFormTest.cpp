// Every PNG form the library writes decodes, through libpng, to the very pixels it was given, in the
// form with the fewest bits that holds them; QR codes also through zbar, an independent decoder.
#include "media/PngForm.h"
#include "MediaTestSupport.h"
#include "media/PictureCodecs.h"
#include "media/PictureIO.h"
#include "media/QRCode.h"
#include "media/Scaling.h"
#include <array>
#include <functional>
#include <gtest/gtest.h>

namespace kestrel::media {
namespace {

// IHDR's bit depth and colour type, at fixed offsets in every PNG.
std::pair<int, int> DepthAndType(const vexo::ByteString& APng) {
    return {static_cast<unsigned char>(APng.at(24)), static_cast<unsigned char>(APng.at(25))};
}

bool HasChunk(const vexo::ByteString& APng, const char* AType) {
    return APng.find(AType) != std::string::npos;
}

Picture Painted(int AWidth, int AHeight, const std::function<std::uint32_t(int, int)>& AColour) {
    Picture picture = MakePicture(AWidth, AHeight);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x) {
            const std::uint32_t c = AColour(x, y);
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = std::uint8_t(c >> 24), p[1] = std::uint8_t(c >> 16), p[2] = std::uint8_t(c >> 8),
            p[3] = std::uint8_t(c);
        }
    return picture;
}

std::uint32_t Grey(int AValue, int AAlpha = 255) {
    const auto v = static_cast<std::uint32_t>(AValue);
    return v << 24 | v << 16 | v << 8 | static_cast<std::uint32_t>(AAlpha);
}

TEST(PngForms, EachFormIsTheSmallestThatHoldsThePictureAndDecodesExactly) {
    struct Case {
        const char* What;
        Picture Source;
        int Depth, ColourType;
    };
    // Colours picked at random from a set, so no form gains from a pattern and the fewest bits win.
    const auto pick = [](int AChoices) {
        return [AChoices](int x, int y) {
            std::uint32_t h = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
            h ^= h >> 13, h *= 0x5bd1e995u, h ^= h >> 15;
            return int(h % std::uint32_t(AChoices));
        };
    };
    const auto greys = [&](int ALevels, int AStep) {
        return Painted(48, 40, [=](int x, int y) { return Grey(AStep * pick(ALevels)(x, y)); });
    };
    const std::array<std::uint32_t, 3> three = {0xFF0000FF, 0x00FF00FF, 0x123456FF};
    const std::vector<Case> cases = {
        {"black and white", greys(2, 255), 1, 0},
        {"four greys", greys(4, 85), 2, 0},
        {"sixteen greys", greys(16, 17), 4, 0},
        {"any greys", greys(256, 1), 8, 0},
        {"three colours", Painted(48, 40, [&](int x, int y) { return three[std::size_t(pick(3)(x, y))]; }), 2,
         3},
        {"a hundred colours",
         Painted(48, 40, [&](int x, int y) { return std::uint32_t(pick(100)(x, y)) << 16 | 0xFF0033FF; }), 8,
         3},
        {"colours, some see-through",
         Painted(48, 40,
                 [&](int x, int y) {
                     // transparent, and three colours each opaque and half see-through: 7 colours
                     const int c = pick(7)(x, y);
                     return c == 6 ? 0u : 0x3366CC00u + (std::uint32_t(c % 3) << 24) + (c < 3 ? 0xFF : 0x80);
                 }),
         4, 3},
        {"thousands of colours", test::Gradient(64, 64, false), 8, 2},
        {"thousands of colours, see-through", test::Gradient(64, 64, true), 8, 6},
        {"many greys, see-through",
         Painted(64, 64, [&](int x, int y) { return Grey(pick(256)(x, y), 4 * y + 3); }), 8, 4},
    };
    for (const Case& c : cases) {
        const vexo::ByteString png = EncodePng(c.Source);
        EXPECT_EQ(DepthAndType(png), std::make_pair(c.Depth, c.ColourType)) << c.What;
        EXPECT_EQ(DecodePng(png).Pixels, c.Source.Pixels) << c.What << ": libpng reads back every pixel";
        EXPECT_EQ(HasChunk(png, "PLTE"), c.ColourType == 3) << c.What;

        const vexo::ByteString rgb8 = EncodePng(c.Source, PngForm::Rgb8);
        EXPECT_EQ(DepthAndType(rgb8), std::make_pair(8, c.Source.Opaque() ? 2 : 6)) << c.What;
        EXPECT_EQ(DecodePng(rgb8).Pixels, c.Source.Pixels) << c.What;
        EXPECT_LE(png.size(), rgb8.size()) << c.What;
    }
}

TEST(PngForms, QRCodesGoAsOneBitGreyAndZbarReadsTheSameText) {
    const std::string pix = "00020126360014br.gov.bcb.pix0114+5561912345678520400005303986540510.005802BR5907"
                            "KESTREL6008BRASILIA62070503K1263049401";
    const std::string url = "https://kestrel.example/p/8Xk2";
    test::TempDir dir;
    for (const std::string& text : {pix, url}) {
        const Picture scaled = ScaleQRCodeForDisplay(QRCodeToBitmap(text), 320, 240);
        const vexo::ByteString png = EncodePng(scaled);
        EXPECT_EQ(DepthAndType(png), std::make_pair(1, 0)) << text;
        EXPECT_EQ(DecodePng(png).Pixels, scaled.Pixels) << "every module, pixel for pixel";
        const vexo::ByteString rgb8 = EncodePng(scaled, PngForm::Rgb8);
        EXPECT_LT(png.size(), rgb8.size()) << "a bit a pixel against three bytes";
        if (!test::ZbarAvailable()) continue;
        for (const auto& [name, bytes] : {std::pair{"smallest.png", png}, std::pair{"rgb8.png", rgb8}}) {
            WriteMediaFile(dir.File(name), bytes);
            EXPECT_EQ(test::ZbarDecode(dir.File(name)), text) << name;
        }
    }
}

TEST(PngForms, NamesReadAsTheSettingsAndTheCommandLineWriteThem) {
    EXPECT_EQ(ParsePngForm("smallest"), PngForm::Smallest);
    EXPECT_EQ(ParsePngForm("RGB8"), PngForm::Rgb8);
    EXPECT_EQ(ParsePngForm("8-bit RGB"), PngForm::Rgb8);
    EXPECT_EQ(ParsePngForm(""), std::nullopt);
    EXPECT_EQ(ParsePngForm("rgb16"), std::nullopt);
    for (PngForm form : {PngForm::Smallest, PngForm::Rgb8})
        EXPECT_EQ(ParsePngForm(PngFormName(form)), form);
}

} // namespace
} // namespace kestrel::media
