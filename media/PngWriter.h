#pragma once
#include "media/Picture.h"
#include "media/PngForm.h"
#include "util/Types.h"
#include <cstdint>
#include <vector>

namespace kestrel::media {

// One way of storing a picture in a PNG file: its colour type and bit depth as the IHDR chunk names
// them (0 grey, 2 truecolour, 3 palette, 4 grey with alpha, 6 truecolour with alpha), the palette's
// colours as RGBA for type 3, and the packed rows, each RowBytes long, without filter bytes.
struct PngLayout {
    int ColourType = 2;
    int BitDepth = 8;
    std::vector<std::uint32_t> Palette; // 0xRRGGBBAA
    std::size_t RowBytes = 0;
    std::vector<std::uint8_t> Rows;
};

// The layouts that hold APicture exactly in AForm, the fewest bits per pixel first. Smallest offers
// greyscale at the least depth when the picture has no colour and no transparency, a palette of the
// fewest bits when it has at most 256 colours, grey with alpha for a grey picture with transparency,
// and truecolour when nothing smaller holds it, when the others take 8 bits a pixel, or when the
// picture is small enough to try it as well.
// Rgb8 offers 8-bit truecolour alone.
std::vector<PngLayout> PngLayouts(const Picture& APicture, PngForm AForm);

// The smallest file among the layouts of PngLayouts, each written with zlib at its best level and
// with libpng choosing the filter of every row (and, for small pictures, with no filtering too, which
// often packs palettes and 1-bit rows tighter). EMediaError when libpng fails.
vexo::ByteString WritePngLayout(const Picture& APicture, PngForm AForm);

} // namespace kestrel::media
