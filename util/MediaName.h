#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace vexo {

// The name under which a PIN pad keeps a media file: the ASCII letters and digits of AName, in order,
// in capitals, padded on the right with spaces or cut to kMediaNameSize ("logo.png" -> "LOGOPNG ").
// The PIN-pad component sends every media name this way, and the picture library proposes names by
// the same rule, so what the operator is shown is what goes on the wire.
constexpr std::size_t kMediaNameSize = 8;
std::string FormatMediaName(std::string_view AName);

} // namespace vexo
