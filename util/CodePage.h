#pragma once
#include "util/Types.h"
#include <string>
#include <string_view>

namespace vexo {

// The one conversion pair between text (UTF-8) and the protocol's single-byte code page
// (Windows-1252). A character outside the code page, or malformed UTF-8, becomes '?' (one byte),
// so every character takes exactly one position on the PIN pad.
ByteString TextToAnsi(std::string_view AText);
std::string AnsiToText(std::string_view ABytes);

// Number of characters (code points) in UTF-8 text, counted as the code page would lay them out.
size_t TextLength(std::string_view AText);

} // namespace vexo
