#include "media/PictureIO.h"
#include "MediaTestSupport.h"
#include "media/MediaError.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <png.h>

namespace kestrel::media {
namespace {

using test::ErrorOf;
using test::Gradient;
using test::MakeGif;

double MeanAbsoluteError(const Picture& A, const Picture& B) {
    double sum = 0;
    for (std::size_t i = 0; i < A.Pixels.size(); ++i)
        sum += std::abs(A.Pixels[i] - B.Pixels[i]);
    return sum / static_cast<double>(A.Pixels.size());
}

uint32_t Crc32(std::string_view ABytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : ABytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::string& AText, std::size_t AAt, uint32_t AValue, int ABytes) {
    for (int i = 0; i < ABytes; ++i)
        AText[AAt + static_cast<std::size_t>(i)] = static_cast<char>(AValue >> (8 * (ABytes - 1 - i)));
}

std::vector<unsigned char> Indices(int AWidth, int AHeight) {
    std::vector<unsigned char> indices;
    for (int i = 0; i < AWidth * AHeight; ++i)
        indices.push_back(static_cast<unsigned char>((i * 7 / 3) % 4));
    return indices;
}

TEST(PngFiles, RoundTripKeepsEveryPixelWithOrWithoutAlpha) {
    for (bool alpha : {false, true}) {
        const Picture source = Gradient(37, 23, alpha);
        const vexo::ByteString png = EncodePng(source, PngForm::Rgb8);
        EXPECT_EQ(DetectMediaType(png), MediaType::mtPNG);
        EXPECT_EQ(png[25], alpha ? 6 : 2) << "colour type: RGBA only when some pixel is transparent";
        const Picture back = DecodePicture(png);
        EXPECT_EQ(back.Width, 37);
        EXPECT_EQ(back.Height, 23);
        EXPECT_EQ(back.Pixels, source.Pixels);
    }
}

TEST(PngFiles, GreyscaleFilesComeOutAsOpaqueRgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 3, image.height = 1, image.format = PNG_FORMAT_GRAY;
    const unsigned char grey[3] = {0, 128, 255};
    png_alloc_size_t size = 1024;
    std::string png(size, '\0');
    ASSERT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, grey, 0, nullptr));
    png.resize(size);
    const Picture picture = DecodePng(png);
    EXPECT_EQ(picture.Pixels, (std::vector<uint8_t>{0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}));
}

TEST(JpegFiles, RoundTripIsCloseAndTransparencyLiesOverWhite) {
    const Picture source = Gradient(40, 24, false);
    const vexo::ByteString jpeg = EncodeJpeg(source, 95);
    EXPECT_EQ(DetectMediaType(jpeg), MediaType::mtJPG);
    const Picture back = DecodePicture(jpeg);
    ASSERT_EQ(back.Width, 40);
    ASSERT_EQ(back.Height, 24);
    EXPECT_LT(MeanAbsoluteError(source, back), 6.0);

    const Picture clear = MakePicture(16, 16, 0x00000000u);
    const Picture white = DecodeJpeg(EncodeJpeg(clear));
    for (std::uint8_t v : white.Pixels)
        ASSERT_GE(v, 250);
}

TEST(GifFiles, FirstFrameWithPaletteColoursAndTransparency) {
    const std::vector<unsigned char> indices = Indices(5, 3);
    const Picture picture = DecodePicture(MakeGif(5, 3, indices, 3, false));
    ASSERT_EQ(picture.Width, 5);
    ASSERT_EQ(picture.Height, 3);
    const uint8_t palette[4][4] = {{0, 0, 0, 255}, {255, 255, 255, 255}, {200, 30, 40, 255}, {0, 0, 0, 0}};
    for (int i = 0; i < 15; ++i) {
        const uint8_t* expected = palette[indices[static_cast<std::size_t>(i)]];
        EXPECT_TRUE(std::equal(expected, expected + 4, picture.PixelAt(i % 5, i / 5))) << i;
    }
}

TEST(GifFiles, InterlacedRowsLandInPlace) {
    for (int height : {1, 2, 5, 9, 17}) {
        const std::vector<unsigned char> indices = Indices(6, height);
        EXPECT_EQ(DecodeGif(MakeGif(6, height, indices, -1, true)).Pixels,
                  DecodeGif(MakeGif(6, height, indices, -1, false)).Pixels)
            << height << " rows";
    }
}

TEST(PictureFiles, DamagedTruncatedAndForeignDataFailClearly) {
    const std::string png = EncodePng(Gradient(30, 30, false));
    const std::string jpeg = EncodeJpeg(Gradient(30, 30, false));
    const std::string gif = MakeGif(30, 30, Indices(30, 30), -1, false);
    struct Case {
        const char* Name;
        std::string Bytes;
        const char* Expect;
    } cases[] = {
        {"empty", "", "empty"},
        {"text", "hello, this is not a picture", "not a PNG, JPEG, GIF or BMP"},
        {"bitmap header cut short", std::string("BM\x36\0\0\0\0\0", 8), "Cannot read the BMP picture"},
        {"png signature only", png.substr(0, 8), "PNG"},
        {"png half", png.substr(0, png.size() / 2), "PNG"},
        {"png cut in its last data chunk", png.substr(0, png.size() - 16), "PNG"},
        {"jpeg marker only", jpeg.substr(0, 3), "JPEG"},
        {"jpeg half", jpeg.substr(0, jpeg.size() / 2), "JPEG"},
        {"gif header only", gif.substr(0, 6), "GIF"},
        {"gif half", gif.substr(0, gif.size() / 2), "GIF"},
        {"png garbage", png.substr(0, 8) + std::string(200, '\x5a'), "PNG"},
        {"jpeg garbage", jpeg.substr(0, 3) + std::string(200, '\x5a'), "JPEG"},
        {"gif garbage", gif.substr(0, 6) + std::string(200, '\x5a'), "GIF"},
    };
    for (const Case& c : cases) {
        const std::string message = ErrorOf([&] { DecodePicture(c.Bytes); });
        EXPECT_NE(message.find(c.Expect), std::string::npos) << c.Name << ": \"" << message << "\"";
    }
}

TEST(PictureFiles, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    std::string png = EncodePng(Gradient(4, 4, false));
    PutBigEndian(png, 16, 60000, 4); // IHDR width and height
    PutBigEndian(png, 20, 60000, 4);
    PutBigEndian(png, 29, Crc32(std::string_view(png).substr(12, 17)), 4);

    std::string jpeg = EncodeJpeg(Gradient(4, 4, false));
    const auto sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    PutBigEndian(jpeg, sof + 5, 60000, 2); // height, then width
    PutBigEndian(jpeg, sof + 7, 60000, 2);

    std::string gif = MakeGif(4, 4, Indices(4, 4), -1, false);
    PutBigEndian(gif, 6, 0xFFFF, 2); // logical screen, little-endian: all ones either way
    PutBigEndian(gif, 8, 0xFFFF, 2);

    for (const std::string& bytes : {png, jpeg, gif})
        EXPECT_NE(ErrorOf([&] { DecodePicture(bytes); }).find("too large"), std::string::npos);
    // The limit is the caller's to lower.
    EXPECT_NE(ErrorOf([] { DecodePicture(EncodePng(Gradient(20, 20, false)), 399); }).find("too large"),
              std::string::npos);
    EXPECT_EQ(DecodePicture(EncodePng(Gradient(20, 20, false)), 400).Width, 20);
}

TEST(PictureFiles, ReadFromDiskKeepsFormatAndBytes) {
    test::TempDir dir;
    const Picture picture = Gradient(12, 9, true);
    SavePng(picture, dir.File("a.png"));
    SaveJpeg(picture, dir.File("b.jpg"));
    WriteMediaFile(dir.File("c.gif"), MakeGif(8, 8, Indices(8, 8), 0, false));
    WriteMediaFile(dir.File("named.jpg"), EncodePng(picture)); // a PNG whatever its name says

    const PictureFile png = ReadPictureFile(dir.File("a.png"));
    EXPECT_EQ(png.Format, MediaType::mtPNG);
    EXPECT_EQ(png.Image.Pixels, picture.Pixels);
    EXPECT_EQ(DecodePicture(OwnFormatBytes(png)).Pixels, picture.Pixels);
    EXPECT_EQ(ReadPictureFile(dir.File("named.jpg")).Format, MediaType::mtPNG);
    for (const char* name : {"b.jpg", "c.gif"}) {
        const PictureFile file = ReadPictureFile(dir.File(name));
        EXPECT_EQ(OwnFormatBytes(file), ReadMediaFile(dir.File(name))) << name << " travels unchanged";
    }
}

TEST(PictureFiles, FileErrorsNameTheFile) {
    test::TempDir dir;
    const std::string missing = dir.File("missing.png");
    EXPECT_NE(ErrorOf([&] { ReadPictureFile(missing); }).find(missing), std::string::npos);
    EXPECT_NE(ErrorOf([&] { ReadPictureFile(dir.File("")); }).find("Is a directory"), std::string::npos);
    WriteMediaFile(dir.File("notes.png"), "just some text");
    const std::string message = ErrorOf([&] { ReadPictureFile(dir.File("notes.png")); });
    EXPECT_NE(message.find("notes.png"), std::string::npos) << message;
    EXPECT_NE(message.find("not a PNG, JPEG, GIF or BMP"), std::string::npos) << message;
    EXPECT_NE(ErrorOf([&] { SavePng(Gradient(2, 2, false), dir.File("no/such/folder.png")); }), "");
    Picture inconsistent = Gradient(4, 4, false);
    inconsistent.Height = 5;
    for (const Picture& bad : {Picture{}, inconsistent}) {
        EXPECT_NE(ErrorOf([&] { EncodePng(bad); }), "");
        EXPECT_NE(ErrorOf([&] { EncodeJpeg(bad); }), "");
    }
    // Neither a big file nor an endless device is read into memory.
    EXPECT_NE(ErrorOf([&] { ReadMediaFile(dir.File("notes.png"), 10); }).find("too large"),
              std::string::npos);
    EXPECT_NE(ErrorOf([] { ReadMediaFile("/dev/zero", 1 << 20); }).find("too large"), std::string::npos);
}

} // namespace
} // namespace kestrel::media
