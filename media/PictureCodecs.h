#pragma once
#include "media/Picture.h"
#include "media/PngForm.h"
#include "util/Types.h"
#include <string_view>

namespace kestrel::media {

// Decoders for one format each. They never trust the data: a damaged, truncated or hostile buffer ends
// in EMediaError, and declared dimensions above AMaxPixels are refused before anything is allocated.
Picture DecodePng(std::string_view ABytes, std::size_t AMaxPixels = kMaxPicturePixels);
Picture DecodeJpeg(std::string_view ABytes, std::size_t AMaxPixels = kMaxPicturePixels);
// The first frame only, placed on the logical screen; pixels outside that frame and pixels of the
// transparent colour index are fully transparent.
Picture DecodeGif(std::string_view ABytes, std::size_t AMaxPixels = kMaxPicturePixels);

// Windows bitmaps (1, 4, 8, 16, 24 and 32 bits, RLE8, RLE4, bit fields). No PIN pad takes them as
// media files: a bitmap goes to the PIN pad written afresh as PNG or JPEG.
bool IsBmp(std::string_view ABytes) noexcept;
Picture DecodeBmp(std::string_view ABytes, std::size_t AMaxPixels = kMaxPicturePixels);

// A PNG holding every pixel exactly, in AForm (see PngForm.h), with zlib at its best level.
vexo::ByteString EncodePng(const Picture& APicture, PngForm AForm = PngForm::Smallest);
// Baseline JPEG (AQuality 1 to 100); transparent pixels are laid over white, as JPEG has no alpha.
vexo::ByteString EncodeJpeg(const Picture& APicture, int AQuality = 90);

} // namespace kestrel::media
