// How a picture file goes to the PIN pad: scaled down to its display, in the smaller of PNG and a
// faithful JPEG for a photograph, or as it is when asked.
#include "media/UploadForm.h"
#include "MediaTestSupport.h"
#include "media/PictureCodecs.h"
#include "media/PictureIO.h"
#include "media/Scaling.h"
#include <cmath>
#include <gtest/gtest.h>

namespace kestrel::media {
namespace {

// Smooth light and shade with a little grain: thousands of colours, as a camera gives.
Picture Photograph(int AWidth, int AHeight) {
    Picture picture = MakePicture(AWidth, AHeight);
    std::uint32_t seed = 7;
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            const double grain = double((seed >> 16) % 5) - 2.0,
                         light = 128 + 90 * std::sin(x / 40.0 + y / 60.0);
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = std::uint8_t(std::clamp(light + grain, 0.0, 255.0));
            p[1] = std::uint8_t(std::clamp(light * 0.7 + y / 4.0 + grain, 0.0, 255.0));
            p[2] = std::uint8_t(std::clamp(230 - light * 0.6 + grain, 0.0, 255.0));
        }
    return picture;
}

// Every channel of every pixel at random: no JPEG keeps it faithful.
Picture Noise(int AWidth, int AHeight) {
    Picture picture = MakePicture(AWidth, AHeight);
    std::uint32_t x = 2463534242u;
    for (std::size_t i = 0; i < picture.Pixels.size(); ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        if (i % 4 != 3) picture.Pixels[i] = std::uint8_t(x);
    }
    return picture;
}

PictureFile FileOf(const vexo::ByteString& ABytes) {
    return ReadPictureBytes(ABytes);
}

UploadOptions Display(int ACols, int ARows, bool ATakesJpeg = true) {
    UploadOptions options;
    options.DisplayCols = ACols;
    options.DisplayRows = ARows;
    options.TakesJpeg = ATakesJpeg;
    return options;
}

bool Mentions(const UploadPlan& APlan, const std::string& AText) {
    for (const auto& note : APlan.Notes)
        if (note.find(AText) != std::string::npos) return true;
    return false;
}

TEST(ScaleToFit, KeepsProportionsAndNeverGrows) {
    EXPECT_EQ(FitWithin(1600, 1200, 320, 240), (PictureSize{320, 240}));
    EXPECT_EQ(FitWithin(640, 240, 320, 240), (PictureSize{320, 120}));
    EXPECT_EQ(FitWithin(100, 1000, 320, 240), (PictureSize{24, 240}));
    EXPECT_EQ(FitWithin(5000, 1, 320, 240), (PictureSize{320, 1})) << "a side never below one pixel";
    EXPECT_EQ(FitWithin(320, 240, 320, 240), (PictureSize{320, 240}));
    EXPECT_EQ(FitWithin(50, 30, 320, 240), (PictureSize{50, 30})) << "a small picture is not enlarged";
    EXPECT_EQ(FitWithin(1600, 1200, 0, 0), (PictureSize{1600, 1200})) << "no display: nothing to fit";
    const Picture scaled = ScaleToFit(test::Gradient(400, 100, false), 128, 64);
    EXPECT_EQ(scaled.Width, 128);
    EXPECT_EQ(scaled.Height, 32);
}

TEST(UploadPlans, APictureLargerThanTheDisplayIsScaledDownWithANote) {
    const Picture logo = ScaleNearest(test::Gradient(8, 6, false), 800, 600); // 48 colours
    const UploadPlan plan = PrepareUpload(FileOf(EncodePng(logo)), Display(320, 240));
    ASSERT_EQ(plan.Type, MediaType::mtPNG) << "few colours: PNG, which keeps them exactly";
    const Picture sent = DecodePng(plan.Bytes);
    EXPECT_EQ(sent.Width, 320);
    EXPECT_EQ(sent.Height, 240);
    EXPECT_EQ(sent.Pixels, ScaleNearest(logo, 320, 240).Pixels);
    EXPECT_TRUE(
        Mentions(plan, "800 x 600 pixels, larger than the display's 320 x 240: scaled down to 320 x 240"));

    const UploadPlan fits =
        PrepareUpload(FileOf(EncodePng(test::Gradient(30, 20, false))), Display(320, 240));
    EXPECT_FALSE(Mentions(fits, "scaled"));
    EXPECT_EQ(DecodePng(fits.Bytes).Width, 30);
}

TEST(UploadPlans, APhotographGoesAsTheSmallerOfPngAndAFaithfulJpeg) {
    const Picture photo = Photograph(200, 150);
    const UploadPlan plan = PrepareUpload(FileOf(EncodePng(photo)), Display(320, 240));
    ASSERT_EQ(plan.Type, MediaType::mtJPG);
    EXPECT_LT(plan.Bytes.size(), EncodePng(photo).size());
    EXPECT_TRUE(Mentions(plan, "goes as JPEG"));
    double sum = 0;
    const Picture back = DecodeJpeg(plan.Bytes);
    for (std::size_t i = 0; i < back.Pixels.size(); ++i)
        sum += std::pow(double(back.Pixels[i]) - double(photo.Pixels[i]), 2);
    EXPECT_LE(std::sqrt(sum / double(back.Pixels.size())), kPhotoJpegMaxRmsError);

    EXPECT_EQ(PrepareUpload(FileOf(EncodePng(photo)), Display(320, 240, false)).Type, MediaType::mtPNG)
        << "a PIN pad that takes no JPEG";
    EXPECT_EQ(PrepareUpload(FileOf(EncodePng(Noise(64, 64))), Display(320, 240)).Type, MediaType::mtPNG)
        << "no JPEG keeps noise faithful";
    const PictureFile seeThrough = FileOf(EncodePng(test::Gradient(64, 64, true)));
    EXPECT_EQ(PrepareUpload(seeThrough, Display(320, 240)).Type, MediaType::mtPNG) << "JPEG has no alpha";
    // A JPEG file that fits keeps its own bytes unless PNG is smaller.
    const vexo::ByteString jpeg = EncodeJpeg(photo, 75);
    EXPECT_EQ(PrepareUpload(FileOf(jpeg), Display(320, 240)).Bytes, jpeg);
}

TEST(UploadPlans, AsIsSendsTheFileUntouchedAndSaysWhenItIsTooLarge) {
    const vexo::ByteString big = EncodeJpeg(Photograph(640, 480), 92);
    UploadOptions options = Display(320, 240);
    options.AsIs = true;
    const UploadPlan plan = PrepareUpload(FileOf(big), options);
    EXPECT_EQ(plan.Bytes, big);
    EXPECT_EQ(plan.Type, MediaType::mtJPG);
    EXPECT_TRUE(
        Mentions(plan, "640 x 480 pixels, larger than the display's 320 x 240: sent as it is, as asked"));

    const std::string gif = test::MakeGif(4, 4, std::vector<unsigned char>(16, 1), -1, false);
    EXPECT_EQ(PrepareUpload(FileOf(gif), Display(320, 240)).Bytes, gif) << "a GIF that fits goes as it is";
    const UploadPlan rgb8 = [] {
        UploadOptions o;
        o.Form = PngForm::Rgb8;
        return PrepareUpload(FileOf(EncodePng(MakePicture(10, 10, 0x000000FF))), o);
    }();
    EXPECT_EQ(rgb8.Bytes.at(25), 2) << "the PNG form asked for is kept";
}

} // namespace
} // namespace kestrel::media
