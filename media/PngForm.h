#pragma once
#include <optional>
#include <string_view>

namespace kestrel::media {

// The form the PNG pictures we make take. Smallest: the smallest file among the standard forms that
// hold the picture exactly (1-bit greyscale for black and white, a palette of the fewest bits for 256
// colours or fewer, greyscale without colour, 8-bit truecolour). Rgb8: always 8-bit truecolour (RGBA
// only when some pixel is transparent), for a PIN pad whose PNG decoder takes nothing else.
enum class PngForm { Smallest, Rgb8 };

// "smallest" or "rgb8", as the settings file, the command line and the simulator's profiles write it.
const char* PngFormName(PngForm AForm) noexcept;
// Reads "smallest", "rgb8" or "8-bit rgb" in any letter case; nothing for any other text.
std::optional<PngForm> ParsePngForm(std::string_view AText);

} // namespace kestrel::media
