#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrel {

// Integer text as the operator types it: leading blanks, an optional sign, then decimal digits or
// hexadecimal digits after "$", "x" or "0x" (either case). Anything else, or a value outside 32 bits,
// is not an integer.
std::optional<int32_t> StrToIntOpt(std::string_view AText);
int32_t StrToIntDef(std::string_view AText, int32_t ADefault);

} // namespace kestrel
