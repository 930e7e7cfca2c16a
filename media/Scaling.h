#pragma once
#include "media/Picture.h"

namespace kestrel::media {

// Nearest-neighbour scaling: every target pixel copies one source pixel, so a black-and-white picture
// stays black and white and a QR module becomes a block of whole pixels (blocks differ by at most one
// pixel where the sizes do not divide). EMediaError "The new size provided for image resizing is
// invalid." for a side below 1 or a target above the pixel limit; EMediaError for an empty source.
Picture ScaleNearest(const Picture& APicture, int AWidth, int AHeight,
                     std::size_t AMaxPixels = kMaxPicturePixels);

// The size of an AWidth x AHeight picture brought down, proportions kept, to fit a display of ACols x
// ARows pixels: unchanged when it already fits or when the display has no pixels (0 x 0); each side at
// least 1 pixel.
struct PictureSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const PictureSize&) const = default;
};
PictureSize FitWithin(int AWidth, int AHeight, int ACols, int ARows) noexcept;

// The picture scaled down with ScaleNearest to FitWithin the display; a picture that fits comes back
// as it is.
Picture ScaleToFit(const Picture& APicture, int ACols, int ARows);

// Side of the square QR picture for a graphic display of ACols x ARows pixels: the smaller side less
// 20 pixels of margin. It is below 1 for displays of 20 pixels or less (0 x 0: no graphic display).
int QRCodeSideForDisplay(int ACols, int ARows) noexcept;

// The QR bitmap stretched to QRCodeSideForDisplay x QRCodeSideForDisplay; the invalid-size error
// above when the display is too small.
Picture ScaleQRCodeForDisplay(const Picture& AQRCode, int ACols, int ARows);

} // namespace kestrel::media
