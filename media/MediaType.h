#pragma once
#include "util/Types.h"
#include <optional>
#include <string>
#include <string_view>

namespace kestrel::media {

// The picture formats a PIN pad accepts as media files. The values equal those of the PIN-pad
// component's TVexoAbecsPinPadMediaType, so the window converts between them with a cast.
enum class MediaType { mtPNG = 0, mtJPG = 1, mtGIF = 2 };

const char* MediaTypeName(MediaType AType) noexcept; // "PNG", "JPEG", "GIF"

// The format a picture's bytes are in, read from their signature; the file name plays no part.
std::optional<MediaType> DetectMediaType(std::string_view ABytes) noexcept;

// Rules for a picture file the operator picks (APath may hold a directory):
// the extension with its dot, in lower case ("Logo.PNG" -> ".png"; none -> "");
std::string MediaFileExtension(std::string_view APath);
// the file name without its directory and without its extension ("dir/Logo.PNG" -> "Logo");
std::string MediaFileBaseName(std::string_view APath);
// the media name proposed for the upload: the base name's ASCII letters and digits, in capitals,
// padded with spaces or cut to 8 characters ("Logo.PNG" -> "LOGO    ");
std::string MediaNameFromFileName(std::string_view APath);
// the media type by extension: ".gif" mtGIF, ".png" mtPNG, anything else mtJPG.
MediaType MediaTypeFromFileName(std::string_view APath);

} // namespace kestrel::media
