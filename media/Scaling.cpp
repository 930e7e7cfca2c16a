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

int QRCodeSideForDisplay(int ACols, int ARows) noexcept {
    return std::min(ACols, ARows) - 20;
}

Picture ScaleQRCodeForDisplay(const Picture& AQRCode, int ACols, int ARows) {
    const int side = QRCodeSideForDisplay(ACols, ARows);
    return ScaleNearest(AQRCode, side, side);
}

} // namespace kestrel::media
