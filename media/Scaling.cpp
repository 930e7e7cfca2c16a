#include "media/Scaling.h"
#include "media/MediaError.h"
#include <algorithm>
#include <cstring>
#include <vector>

namespace kestrel::media {

namespace {

// Source index for each target index: the source cell whose span holds the target cell's left edge.
std::vector<int> NearestIndices(int ASource, int ATarget) {
    std::vector<int> map(static_cast<std::size_t>(ATarget));
    for (int i = 0; i < ATarget; ++i)
        map[static_cast<std::size_t>(i)] = static_cast<int>(static_cast<long long>(i) * ASource / ATarget);
    return map;
}

} // namespace

Picture ScaleNearest(const Picture& APicture, int AWidth, int AHeight, std::size_t AMaxPixels) {
    if (AWidth < 1 || AHeight < 1 ||
        static_cast<std::size_t>(AWidth) > AMaxPixels / static_cast<std::size_t>(AHeight))
        throw EMediaError("The new size provided for image resizing is invalid.");
    CheckPixels(APicture, "Cannot resize the picture");
    Picture scaled = MakePicture(AWidth, AHeight, 0xFFFFFFFFu, AMaxPixels);
    const std::vector<int> columns = NearestIndices(APicture.Width, AWidth);
    const std::vector<int> rows = NearestIndices(APicture.Height, AHeight);
    for (int y = 0; y < AHeight; ++y) {
        const int sy = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < AWidth; ++x)
            std::memcpy(scaled.PixelAt(x, y), APicture.PixelAt(columns[static_cast<std::size_t>(x)], sy), 4);
    }
    return scaled;
}

PictureSize FitWithin(int AWidth, int AHeight, int ACols, int ARows) noexcept {
    if (ACols < 1 || ARows < 1 || (AWidth <= ACols && AHeight <= ARows)) return {AWidth, AHeight};
    const long long w = AWidth, h = AHeight;
    // The side that overflows more sets the factor; the other follows, rounded down so it still fits.
    if (w * ARows >= h * ACols) return {ACols, static_cast<int>(std::max(1LL, h * ACols / w))};
    return {static_cast<int>(std::max(1LL, w * ARows / h)), ARows};
}

Picture ScaleToFit(const Picture& APicture, int ACols, int ARows) {
    const PictureSize size = FitWithin(APicture.Width, APicture.Height, ACols, ARows);
    if (size.Width == APicture.Width && size.Height == APicture.Height) return APicture;
    return ScaleNearest(APicture, size.Width, size.Height);
}

int QRCodeSideForDisplay(int ACols, int ARows) noexcept {
    return std::min(ACols, ARows) - 20;
}

Picture ScaleQRCodeForDisplay(const Picture& AQRCode, int ACols, int ARows) {
    const int side = QRCodeSideForDisplay(ACols, ARows);
    return ScaleNearest(AQRCode, side, side);
}

} // namespace kestrel::media
