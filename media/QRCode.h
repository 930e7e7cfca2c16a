#pragma once
#include "media/Picture.h"
#include <string>
#include <string_view>

namespace kestrel::media {

// Largest number of bytes a QR symbol holds in byte mode (version 40, level L).
inline constexpr std::size_t kMaxQRCodeBytes = 2953;

// Encodes the UTF-8 text AText as a QR symbol: its bytes as they are (no byte-order mark, no ECI
// segment), error-correction level L, the smallest version that holds them, the mask by the penalty
// rules. Returns a bitmap of (S + 2) x (S + 2) pixels for a symbol of S x S modules: one pixel per
// module, dark modules opaque black, light modules and the one-module quiet zone opaque white.
// An empty text gives an empty picture. EMediaError when no symbol holds the text.
Picture QRCodeToBitmap(std::string_view AText);

// A text of several lines as it goes into the symbol: lines separated by CR LF, as a Windows text box
// holds them, so the same text gives the same QR code from the window and from the command line.
// A lone LF becomes CR LF; a CR LF already there stays one.
std::string QRCodeText(std::string_view AText);

} // namespace kestrel::media
