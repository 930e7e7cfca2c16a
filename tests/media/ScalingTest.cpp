#include "media/Scaling.h"
#include "MediaTestSupport.h"
#include "media/MediaError.h"
#include "media/QRCode.h"
#include <gtest/gtest.h>
#include <map>

namespace kestrel::media {
namespace {

const char* const kInvalidSize = "The new size provided for image resizing is invalid.";

TEST(QRCodeForDisplay, SideIsTheSmallerDisplaySideLessTwenty) {
    struct Case {
        int Cols, Rows, Side;
    };
    for (const Case c : {Case{128, 64, 44}, Case{320, 240, 220}, Case{240, 320, 220}, Case{21, 400, 1}}) {
        EXPECT_EQ(QRCodeSideForDisplay(c.Cols, c.Rows), c.Side);
        const Picture scaled = ScaleQRCodeForDisplay(QRCodeToBitmap("KESTREL"), c.Cols, c.Rows);
        EXPECT_EQ(scaled.Width, c.Side);
        EXPECT_EQ(scaled.Height, c.Side);
    }
}

TEST(QRCodeForDisplay, DisplayWithoutRoomForAPictureIsRefused) {
    const Picture qr = QRCodeToBitmap("KESTREL");
    for (auto [cols, rows] : {std::pair{0, 0}, std::pair{20, 20}, std::pair{320, 20}, std::pair{-5, 100}}) {
        try {
            ScaleQRCodeForDisplay(qr, cols, rows);
            ADD_FAILURE() << cols << " x " << rows << " accepted";
        } catch (const EMediaError& e) {
            EXPECT_EQ(e.Message(), kInvalidSize);
        }
    }
}

TEST(ScaleNearest, ModulesStayPureAndDifferByAtMostOnePixel) {
    // A version-3 symbol (29 modules + quiet zone = 31) on 220 pixels: modules of 7 or 8 pixels.
    std::string text(40, 'q');
    const Picture qr = QRCodeToBitmap(text);
    ASSERT_EQ(qr.Width, 31);
    const Picture scaled = ScaleNearest(qr, 220, 220);
    std::map<int, int> runWidths;
    for (int sx = 0, x = 0; sx < qr.Width; ++sx) {
        int run = 0;
        for (; x < 220 && x * 31 / 220 == sx; ++x)
            ++run;
        ++runWidths[run];
    }
    for (auto [width, count] : runWidths)
        EXPECT_TRUE(width == 7 || width == 8) << width;
    for (int y = 0; y < 220; ++y)
        for (int x = 0; x < 220; ++x) {
            const std::uint8_t* p = scaled.PixelAt(x, y);
            const std::uint8_t* s = qr.PixelAt(x * 31 / 220, y * 31 / 220);
            ASSERT_TRUE(std::equal(p, p + 4, s)) << x << "," << y;
        }
}

TEST(ScaleNearest, RefusesAbsurdSizesAndEmptySources) {
    const Picture source = test::Gradient(4, 4, false);
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-1, -1}, std::pair{1 << 30, 1 << 30}}) {
        try {
            ScaleNearest(source, w, h);
            ADD_FAILURE() << w << " x " << h << " accepted";
        } catch (const EMediaError& e) {
            EXPECT_EQ(e.Message(), kInvalidSize);
        }
    }
    EXPECT_THROW(ScaleNearest(Picture{}, 10, 10), EMediaError);
}

} // namespace
} // namespace kestrel::media
