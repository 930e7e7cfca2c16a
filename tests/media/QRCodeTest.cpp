#include "media/QRCode.h"
#include "MediaTestSupport.h"
#include "media/MediaError.h"
#include "media/PictureIO.h"
#include "media/Scaling.h"
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

namespace kestrel::media {
namespace {

// A payment charge in the EMV merchant-presented format, 133 characters, with its CRC field.
const std::string kSampleCharge =
    "00020126410014br.gov.bcb.pix0119kestrel@example.com520400005303986540510.005802BR5913KESTREL TESTE"
    "6009SAO PAULO62100506KESTR1630434CB";

struct QRCase {
    const char* Name;
    std::string Text;
    int Modules; // expected S, 0 when not checked
};

std::string LongText() {
    std::string text;
    while (text.size() < 1500)
        text += "pagamento nº " + std::to_string(text.size()) + " — ação ";
    return text;
}

std::vector<QRCase> Cases() {
    return {
        {"SampleCharge", kSampleCharge, 41}, // 133 bytes: version 6 at level L
        {"Alphanumeric", "KESTREL 123", 21},
        {"LowerCaseAscii", "hello, kestrel", 21},
        {"AccentedUtf8", "Olá, São Paulo! Ação: R$ 10,00 — café ☕", 0},
        {"LineBreaks", "line one\r\nline two\r\n", 0},
        {"Long", LongText(), 0},
        {"LargestSymbol", std::string(kMaxQRCodeBytes, 'x'), 177}, // version 40 full
    };
}

class QRCodeEncoding : public ::testing::TestWithParam<QRCase> {};

bool IsBlackOrWhite(const std::uint8_t* APixel) {
    const bool black = APixel[0] == 0 && APixel[1] == 0 && APixel[2] == 0;
    const bool white = APixel[0] == 255 && APixel[1] == 255 && APixel[2] == 255;
    return (black || white) && APixel[3] == 255;
}

bool IsWhite(const std::uint8_t* APixel) {
    return APixel[0] == 255 && APixel[1] == 255 && APixel[2] == 255;
}

// Enlarged with a wide white border, as a camera would see it; the symbol itself is ours unchanged.
Picture ForReaders(const Picture& ABitmap) {
    const Picture big = ScaleNearest(ABitmap, ABitmap.Width * 4, ABitmap.Height * 4);
    Picture framed = MakePicture(big.Width + 24, big.Height + 24);
    for (int y = 0; y < big.Height; ++y)
        for (int x = 0; x < big.Width; ++x)
            std::copy_n(big.PixelAt(x, y), 4, framed.PixelAt(x + 12, y + 12));
    return framed;
}

TEST_P(QRCodeEncoding, BitmapIsOneBlackOrWhitePixelPerModuleWithAQuietZone) {
    const QRCase& c = GetParam();
    const Picture bitmap = QRCodeToBitmap(c.Text);
    ASSERT_EQ(bitmap.Width, bitmap.Height);
    const int modules = bitmap.Width - 2;
    EXPECT_GE(modules, 21);
    EXPECT_LE(modules, 177);
    EXPECT_EQ((modules - 21) % 4, 0) << "not a QR symbol size";
    if (c.Modules) {
        EXPECT_EQ(modules, c.Modules) << "not the smallest version";
    }
    for (int y = 0; y < bitmap.Height; ++y)
        for (int x = 0; x < bitmap.Width; ++x) {
            ASSERT_TRUE(IsBlackOrWhite(bitmap.PixelAt(x, y))) << x << "," << y;
            const bool border = x == 0 || y == 0 || x == bitmap.Width - 1 || y == bitmap.Height - 1;
            ASSERT_TRUE(!border || IsWhite(bitmap.PixelAt(x, y))) << "quiet zone at " << x << "," << y;
        }
    // The finder pattern's corner module sits just inside the quiet zone.
    EXPECT_FALSE(IsWhite(bitmap.PixelAt(1, 1)));
}

TEST_P(QRCodeEncoding, ZXingReadsBackTheExactBytesAtLevelLWithoutECI) {
    const QRCase& c = GetParam();
    const Picture framed = ForReaders(QRCodeToBitmap(c.Text));
    const ZXing::ImageView view(framed.Pixels.data(), framed.Width, framed.Height, ZXing::ImageFormat::RGBX);
    const ZXing::Result result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
    ASSERT_TRUE(result.isValid());
    const ZXing::ByteArray& bytes = result.bytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.Text);
    EXPECT_EQ(result.text(), c.Text);
    EXPECT_EQ(result.ecLevel(), "L");
    EXPECT_FALSE(result.hasECI());
}

TEST_P(QRCodeEncoding, ZbarReadsBackTheExactBytes) {
    if (!test::ZbarAvailable()) GTEST_SKIP() << "zbarimg is not installed";
    const QRCase& c = GetParam();
    test::TempDir dir;
    const std::string file = dir.File("qr.png");
    SavePng(ForReaders(QRCodeToBitmap(c.Text)), file);
    const auto decoded = test::ZbarDecode(file);
    ASSERT_TRUE(decoded.has_value()) << "zbarimg found no symbol";
    EXPECT_EQ(*decoded, c.Text);
}

INSTANTIATE_TEST_SUITE_P(Texts, QRCodeEncoding, ::testing::ValuesIn(Cases()),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(QRCode, EmptyTextGivesAnEmptyPicture) {
    EXPECT_TRUE(QRCodeToBitmap("").Empty());
}

TEST(QRCode, TextBeyondTheLargestSymbolFailsClearly) {
    for (const std::string& text : {std::string(kMaxQRCodeBytes + 1, 'x'), std::string(8000, 'A')}) {
        try {
            QRCodeToBitmap(text);
            ADD_FAILURE() << text.size() << " bytes encoded";
        } catch (const EMediaError& e) {
            EXPECT_NE(e.Message().find("too long for a QR code"), std::string::npos) << e.Message();
            EXPECT_STREQ(e.ClassName(), "EMediaError");
        }
    }
}

TEST(QRCode, LinesAreSeparatedByCrLfWhateverTheyCameWith) {
    EXPECT_EQ(QRCodeText("one\ntwo\r\nthree\n"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(QRCodeText("\n"), "\r\n");
    EXPECT_EQ(QRCodeText("single line"), "single line");
    EXPECT_EQ(QRCodeText(""), "");
}

} // namespace
} // namespace kestrel::media
