#pragma once
#include <string>

namespace vexo {

// Raw bytes (frames, blocks, TLV values, device I/O). Text is UTF-8 in a plain std::string;
// the alias only says in a signature which of the two is meant.
using ByteString = std::string;

} // namespace vexo
