#include "media/UploadForm.h"
#include "media/PictureCodecs.h"
#include "media/Scaling.h"
#include <cmath>
#include <unordered_set>

namespace kestrel::media {

namespace {

std::string Size(int AWidth, int AHeight) {
    return std::to_string(AWidth) + " x " + std::to_string(AHeight);
}

bool LargerThanDisplay(const Picture& APicture, const UploadOptions& AOptions) {
    return AOptions.DisplayCols > 0 && AOptions.DisplayRows > 0 &&
           (APicture.Width > AOptions.DisplayCols || APicture.Height > AOptions.DisplayRows);
}

double RmsError(const Picture& A, const Picture& B) {
    if (A.Pixels.size() != B.Pixels.size()) return HUGE_VAL;
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < A.Pixels.size(); ++i) {
        if (i % 4 == 3) continue;
        const double d = double(A.Pixels[i]) - double(B.Pixels[i]);
        sum += d * d;
        ++count;
    }
    return std::sqrt(sum / double(count));
}

// The photograph as JPEG when that keeps it faithful; empty otherwise.
vexo::ByteString FaithfulJpeg(const Picture& APicture) {
    vexo::ByteString jpeg = EncodeJpeg(APicture, kPhotoJpegQuality);
    if (RmsError(DecodeJpeg(jpeg), APicture) > kPhotoJpegMaxRmsError) return {};
    return jpeg;
}

struct Candidate {
    vexo::ByteString Bytes;
    MediaType Type;
};

UploadPlan AsItIs(const PictureFile& AFile, const UploadOptions& AOptions) {
    UploadPlan plan{AFile.Bytes, AFile.Format, {}};
    if (LargerThanDisplay(AFile.Image, AOptions))
        plan.Notes.push_back("The picture is " + Size(AFile.Image.Width, AFile.Image.Height) +
                             " pixels, larger than the display's " +
                             Size(AOptions.DisplayCols, AOptions.DisplayRows) + ": sent as it is, as asked");
    return plan;
}

} // namespace

bool IsPhotograph(const Picture& APicture) {
    if (!APicture.Opaque()) return false;
    std::unordered_set<std::uint32_t> colours;
    for (std::size_t i = 0; i < APicture.Pixels.size() && colours.size() <= 256; i += 4)
        colours.insert(std::uint32_t{APicture.Pixels[i]} << 16 | std::uint32_t{APicture.Pixels[i + 1]} << 8 |
                       APicture.Pixels[i + 2]);
    return colours.size() > 256;
}

UploadPlan PrepareUpload(const PictureFile& AFile, const UploadOptions& AOptions) {
    if (AOptions.AsIs && !AFile.MustEncode) return AsItIs(AFile, AOptions);
    UploadPlan plan;
    const Picture& original = AFile.Image;
    const bool scale = LargerThanDisplay(original, AOptions);
    const Picture picture =
        scale ? ScaleToFit(original, AOptions.DisplayCols, AOptions.DisplayRows) : original;
    if (scale)
        plan.Notes.push_back("The picture is " + Size(original.Width, original.Height) +
                             " pixels, larger than the display's " +
                             Size(AOptions.DisplayCols, AOptions.DisplayRows) + ": scaled down to " +
                             Size(picture.Width, picture.Height) + " to fit");
    const bool keepsOwnBytes = !scale && !AFile.MustEncode && AFile.Format != MediaType::mtPNG;
    // A GIF may be animated, which no other form keeps: it goes as it is unless it had to shrink.
    if (keepsOwnBytes && AFile.Format == MediaType::mtGIF) return {AFile.Bytes, AFile.Format, plan.Notes};

    std::vector<Candidate> candidates;
    if (keepsOwnBytes) candidates.push_back({AFile.Bytes, AFile.Format});
    const bool jpegOnly = AOptions.TakesJpeg && !AOptions.TakesPng;
    if (!jpegOnly) candidates.push_back({EncodePng(picture, AOptions.Form), MediaType::mtPNG});
    if (jpegOnly && !keepsOwnBytes)
        candidates.push_back({EncodeJpeg(picture, kPhotoJpegQuality), MediaType::mtJPG});
    else if (AOptions.TakesJpeg && !keepsOwnBytes && IsPhotograph(picture))
        if (vexo::ByteString jpeg = FaithfulJpeg(picture); !jpeg.empty())
            candidates.push_back({std::move(jpeg), MediaType::mtJPG});

    const Candidate* best = &candidates.front();
    for (const Candidate& candidate : candidates)
        if (candidate.Bytes.size() < best->Bytes.size()) best = &candidate;
    if (candidates.size() > 1)
        for (const Candidate& other : candidates)
            if (other.Type != best->Type)
                plan.Notes.push_back(std::string("The picture goes as ") + MediaTypeName(best->Type) + " (" +
                                     std::to_string(best->Bytes.size()) + " bytes) rather than as " +
                                     MediaTypeName(other.Type) + " (" + std::to_string(other.Bytes.size()) +
                                     " bytes)");
    plan.Bytes = best->Bytes;
    plan.Type = best->Type;
    return plan;
}

} // namespace kestrel::media
