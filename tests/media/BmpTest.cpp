#include "MediaTestSupport.h"
#include "media/PictureIO.h"
#include <functional>
#include <gtest/gtest.h>

namespace kestrel::media {
namespace {

using test::ErrorOf;

void Put(std::string& AOut, uint32_t AValue, int ABytes) {
    for (int i = 0; i < ABytes; ++i)
        AOut += static_cast<char>(AValue >> (8 * i));
}

// A bitmap file as a writer would lay it out: file header, info header (12 for the OS/2 core header,
// 40 for version 3, 108 or 124 for versions 4 and 5), masks, colour table, pixels.
struct BmpLayout {
    uint32_t InfoSize = 40;
    int32_t Width = 0, Height = 0;
    int Bits = 24;
    uint32_t Compression = 0;
    std::vector<uint32_t> Masks = {};   // red, green, blue[, alpha]
    std::vector<uint32_t> Palette = {}; // 0xRRGGBB
    uint32_t ColoursUsed = 0;
    std::string Pixels = {};
};

std::string MakeBmp(const BmpLayout& A) {
    std::string info;
    Put(info, A.InfoSize, 4);
    if (A.InfoSize == 12) {
        Put(info, static_cast<uint32_t>(A.Width), 2), Put(info, static_cast<uint32_t>(A.Height), 2);
        Put(info, 1, 2), Put(info, static_cast<uint32_t>(A.Bits), 2);
    } else {
        Put(info, static_cast<uint32_t>(A.Width), 4), Put(info, static_cast<uint32_t>(A.Height), 4);
        Put(info, 1, 2), Put(info, static_cast<uint32_t>(A.Bits), 2);
        Put(info, A.Compression, 4), Put(info, static_cast<uint32_t>(A.Pixels.size()), 4);
        Put(info, 2835, 4), Put(info, 2835, 4), Put(info, A.ColoursUsed, 4), Put(info, 0, 4);
        if (A.InfoSize > 40)
            for (uint32_t mask : A.Masks)
                Put(info, mask, 4);
        info.resize(A.InfoSize, '\0');
        if (A.InfoSize == 40)
            for (uint32_t mask : A.Masks)
                Put(info, mask, 4);
    }
    for (uint32_t colour : A.Palette) {
        Put(info, colour, 3);
        if (A.InfoSize != 12) info += '\0';
    }
    std::string file = "BM";
    Put(file, static_cast<uint32_t>(14 + info.size() + A.Pixels.size()), 4);
    Put(file, 0, 4);
    Put(file, static_cast<uint32_t>(14 + info.size()), 4);
    return file + info + A.Pixels;
}

// Rows bottom first, each padded to 4 bytes; AValue gives the bits of the pixel at (x, y).
std::string Rows(int AWidth, int AHeight, int ABits, const std::function<uint32_t(int, int)>& AValue,
                 bool ATopDown = false) {
    std::string out;
    const std::size_t stride =
        (static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(ABits) + 31) / 32 * 4;
    for (int r = 0; r < AHeight; ++r) {
        const int y = ATopDown ? r : AHeight - 1 - r;
        std::string row(stride, '\0');
        for (int x = 0; x < AWidth; ++x) {
            const uint32_t v = AValue(x, y);
            const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(ABits);
            if (ABits < 8) {
                row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - ABits - bit % 8)));
            } else {
                for (int b = 0; b < ABits / 8; ++b)
                    row[bit / 8 + static_cast<std::size_t>(b)] = static_cast<char>(v >> (8 * b));
            }
        }
        out += row;
    }
    return out;
}

uint32_t Rgba(const Picture& APicture, int AX, int AY) {
    const std::uint8_t* p = APicture.PixelAt(AX, AY);
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// 24 bits, a width of 3 (so each row is padded), rows stored bottom first or top first.
TEST(BmpFiles, DirectColourRowsComeOutTopFirstWithoutPadding) {
    auto colour = [](int x, int y) {
        return static_cast<uint32_t>(0x100000 * (x + 1) + 0x0100 * (y + 3) + 7);
    };
    for (bool topDown : {false, true}) {
        BmpLayout layout{.Width = 3, .Height = topDown ? -2 : 2, .Bits = 24};
        layout.Pixels = Rows(3, 2, 24, colour, topDown);
        const Picture picture = DecodePicture(MakeBmp(layout));
        ASSERT_EQ(picture.Width, 3);
        ASSERT_EQ(picture.Height, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(Rgba(picture, x, y), colour(x, y) << 8 | 0xFF)
                    << x << "," << y << " topDown " << topDown;
    }
}

TEST(BmpFiles, SixteenAndThirtyTwoBitsFollowTheirMasks) {
    // 16 bits without masks are 5-5-5; with masks 5-6-5. Full channels stretch to 255.
    BmpLayout rgb555{.Width = 2, .Height = 1, .Bits = 16};
    rgb555.Pixels = Rows(2, 1, 16, [](int x, int) { return x == 0 ? 0x7C00u : 0x03FFu; });
    Picture p = DecodePicture(MakeBmp(rgb555));
    EXPECT_EQ(Rgba(p, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(Rgba(p, 1, 0), 0x00FFFFFFu);
    BmpLayout rgb565{
        .Width = 1, .Height = 1, .Bits = 16, .Compression = 3, .Masks = {0xF800, 0x07E0, 0x001F}};
    rgb565.Pixels = Rows(1, 1, 16, [](int, int) { return 0x07E0u; });
    EXPECT_EQ(Rgba(DecodePicture(MakeBmp(rgb565)), 0, 0), 0x00FF00FFu);

    // 32 bits plain: the fourth byte is unused. Version 5 with an alpha mask: it is the alpha.
    BmpLayout plain{.Width = 1, .Height = 1, .Bits = 32};
    plain.Pixels = Rows(1, 1, 32, [](int, int) { return 0x10203040u; });
    EXPECT_EQ(Rgba(DecodePicture(MakeBmp(plain)), 0, 0), 0x203040FFu);
    BmpLayout v5{.InfoSize = 124,
                 .Width = 2,
                 .Height = 1,
                 .Bits = 32,
                 .Compression = 3,
                 .Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
    v5.Pixels = Rows(2, 1, 32, [](int x, int) { return x == 0 ? 0x80112233u : 0x00445566u; });
    p = DecodePicture(MakeBmp(v5));
    EXPECT_EQ(Rgba(p, 0, 0), 0x11223380u);
    EXPECT_EQ(Rgba(p, 1, 0), 0x44556600u);
    // An alpha mask over bytes that are all zero means an opaque picture.
    v5.Pixels = Rows(2, 1, 32, [](int, int) { return 0x00445566u; });
    p = DecodePicture(MakeBmp(v5));
    EXPECT_TRUE(p.Opaque());
}

TEST(BmpFiles, IndexedPicturesUseTheirColourTable) {
    const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00};
    for (int bits : {1, 4, 8}) {
        const int colours = bits == 1 ? 2 : 4;
        BmpLayout layout{.Width = 13, .Height = 3, .Bits = bits};
        layout.Palette.assign(palette.begin(), palette.begin() + colours);
        layout.ColoursUsed = static_cast<uint32_t>(colours);
        auto index = [colours](int x, int y) { return static_cast<uint32_t>((x + 2 * y) % colours); };
        layout.Pixels = Rows(13, 3, bits, index);
        const Picture picture = DecodePicture(MakeBmp(layout));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(Rgba(picture, x, y), palette[index(x, y)] << 8 | 0xFF)
                    << bits << " bits at " << x << "," << y;
    }
    // An index past the table shows as black; the OS/2 header has 3-byte table entries.
    BmpLayout beyond{.Width = 2, .Height = 1, .Bits = 8, .Palette = {0x123456}, .ColoursUsed = 1};
    beyond.Pixels = Rows(2, 1, 8, [](int x, int) { return x == 0 ? 0u : 200u; });
    const Picture p = DecodePicture(MakeBmp(beyond));
    EXPECT_EQ(Rgba(p, 0, 0), 0x123456FFu);
    EXPECT_EQ(Rgba(p, 1, 0), 0x000000FFu);
    BmpLayout core{.InfoSize = 12, .Width = 2, .Height = 1, .Bits = 1, .Palette = {0x0000FF, 0xFFFF00}};
    core.Pixels = Rows(2, 1, 1, [](int x, int) { return static_cast<uint32_t>(x); });
    const Picture os2 = DecodePicture(MakeBmp(core));
    EXPECT_EQ(Rgba(os2, 0, 0), 0x0000FFFFu);
    EXPECT_EQ(Rgba(os2, 1, 0), 0xFFFF00FFu);
}

// Runs, literal runs (padded to whole words), a jump, ends of line and of picture; what the data
// never reaches stays transparent.
TEST(BmpFiles, RunLengthCompressionsDecode) {
    const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    BmpLayout rle8{.Width = 6, .Height = 3, .Bits = 8, .Compression = 1, .Palette = palette};
    // Bottom row: 3 x red, literal green blue black; next row: jump 2 right, 1 up; top row: 2 x blue.
    rle8.Pixels = std::string("\x03\x01"
                              "\x00\x03\x02\x03\x00\x00"
                              "\x00\x00"
                              "\x00\x02\x02\x01"
                              "\x02\x03"
                              "\x00\x01",
                              18);
    Picture p = DecodePicture(MakeBmp(rle8));
    EXPECT_EQ(Rgba(p, 0, 2), 0xFF0000FFu);
    EXPECT_EQ(Rgba(p, 2, 2), 0xFF0000FFu);
    EXPECT_EQ(Rgba(p, 3, 2), 0x00FF00FFu);
    EXPECT_EQ(Rgba(p, 4, 2), 0x0000FFFFu);
    EXPECT_EQ(Rgba(p, 5, 2), 0x000000FFu);
    EXPECT_EQ(Rgba(p, 0, 1), 0u); // the middle row was jumped over
    EXPECT_EQ(Rgba(p, 2, 0), 0x0000FFFFu);
    EXPECT_EQ(Rgba(p, 3, 0), 0x0000FFFFu);
    EXPECT_EQ(Rgba(p, 1, 0), 0u);

    BmpLayout rle4{.Width = 5, .Height = 1, .Bits = 4, .Compression = 2, .Palette = palette};
    // Two pixels alternating 1 and 2, then a literal run of three: 3 0 1.
    rle4.Pixels = std::string("\x02\x12"
                              "\x00\x03\x30\x10"
                              "\x00\x01",
                              8);
    p = DecodePicture(MakeBmp(rle4));
    const uint32_t expected[] = {0xFF0000FFu, 0x00FF00FFu, 0x0000FFFFu, 0x000000FFu, 0xFF0000FFu};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(Rgba(p, x, 0), expected[x]) << x;
}

TEST(BmpFiles, DamagedOrUnsupportedFilesFailClearly) {
    BmpLayout good{.Width = 4, .Height = 4, .Bits = 24};
    good.Pixels = Rows(4, 4, 24, [](int, int) { return 0x808080u; });
    const std::string bmp = MakeBmp(good);
    auto with = [](BmpLayout ALayout, auto AChange) {
        AChange(ALayout);
        return MakeBmp(ALayout);
    };
    struct Case {
        const char* Name;
        std::string Bytes;
        const char* Expect;
    } cases[] = {
        {"signature only", "BM", "BMP"},
        {"pixels cut short", bmp.substr(0, bmp.size() - 1), "cut short"},
        {"header cut short", bmp.substr(0, 30), "cut short"},
        {"no width", with(good, [](BmpLayout& s) { s.Width = 0; }), "no pixels"},
        {"two bits", with(good, [](BmpLayout& s) { s.Bits = 2; }), "2 bits per pixel"},
        {"embedded JPEG", with(good, [](BmpLayout& s) { s.Compression = 4; }), "compression 4"},
        {"RLE8 at 24 bits", with(good, [](BmpLayout& s) { s.Compression = 1; }), "do not match"},
        {"RLE top first", with(good, [](BmpLayout& s) { s.Compression = 1, s.Bits = 8, s.Height = -4; }),
         "top to bottom"},
        {"unknown header", with(good, [](BmpLayout& s) { s.InfoSize = 20; }), "header size 20"},
        {"huge", with(good, [](BmpLayout& s) { s.Width = 100000, s.Height = -100000; }), "too large"},
        {"RLE without end",
         with(good,
              [](BmpLayout& s) {
                  s.Compression = 1, s.Bits = 8, s.Palette = {0xFFFFFF}, s.ColoursUsed = 1;
                  s.Pixels = "\x02\x00";
              }),
         "cut short"},
    };
    for (const Case& c : cases) {
        const std::string message = ErrorOf([&] { DecodePicture(c.Bytes); });
        EXPECT_NE(message.find(c.Expect), std::string::npos) << c.Name << ": \"" << message << "\"";
    }
}

// No PIN pad takes a bitmap: read as a picture file it has no bytes of its own to send and goes as PNG.
TEST(BmpFiles, ABitmapFileGoesToThePinPadWrittenAfresh) {
    BmpLayout layout{.Width = 5, .Height = 2, .Bits = 24};
    layout.Pixels = Rows(5, 2, 24, [](int x, int y) { return static_cast<uint32_t>(x * 40 + y * 0x4000); });
    const PictureFile file = ReadPictureBytes(MakeBmp(layout));
    EXPECT_TRUE(file.MustEncode);
    EXPECT_TRUE(file.Bytes.empty());
    EXPECT_EQ(file.Format, MediaType::mtPNG);
    const vexo::ByteString sent = OwnFormatBytes(file);
    EXPECT_EQ(DetectMediaType(sent), MediaType::mtPNG);
    EXPECT_EQ(DecodePicture(sent).Pixels, file.Image.Pixels);
}

} // namespace
} // namespace kestrel::media
