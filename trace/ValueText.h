#pragma once
#include "pinpad/VexoAbecsCardData.h"
#include "util/Types.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel::trace {

using vexo::ByteString;

// How values are shown to people: as text when every byte is printable in the code page (in
// double quotes), otherwise as hexadecimal; binary parameters with a known meaning get it in
// brackets after the hexadecimal (SPE_IDLIST names its ids, SPE_TIMEOUT its seconds). With
// AMask, card data never appears in clear: track and card-number items are masked whatever their
// length, and any card-number-like run of digits anywhere else too.
std::string RenderValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMask);
// A block that is not made of TLV items.
std::string RenderRaw(std::string_view AData, bool AMask);

// The printable test of RenderValue.
bool IsPrintable(std::string_view ABytes);
// "01 02 FF": upper-case pairs, blank-separated.
std::string SpacedHex(std::string_view ABytes);

// Spaced hexadecimal; with AMask, card-number-like runs are masked both as ASCII digits and as
// binary-coded decimal.
std::string HexBytes(std::string_view ABytes, bool AMask);

// AValue as card data masking would leave it (tracks, numbers, names), in raw bytes.
using vexo::MaskCardItem;

} // namespace kestrel::trace
