#pragma once
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

// The same rendering in pieces, for outputs that keep text and hexadecimal apart (JSON): Shown is
// the UTF-8 text, without quotes, when IsText; otherwise the spaced hexadecimal, and Meaning what
// the bytes mean when that is known. RenderValue and RenderRaw are these, joined.
struct ValueView {
    bool IsText = true;
    std::string Shown;
    std::string Meaning;
};
ValueView ViewValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMask);
ValueView ViewRaw(std::string_view AData, bool AMask);

// Parameters whose binary layout is known (SPE_IDLIST, SPE_TIMEOUT, ...): their bytes are never
// card data.
bool HasKnownLayout(uint16_t ATag, bool AResponse);

// The printable test of RenderValue.
bool IsPrintable(std::string_view ABytes);
// "01 02 FF": upper-case pairs, blank-separated.
std::string SpacedHex(std::string_view ABytes);

// Spaced hexadecimal; with AMask, of the bytes as MaskLooseBytes leaves them.
std::string HexBytes(std::string_view ABytes, bool AMask);

// The one masking rule for an item's value, in raw bytes, shared by what is shown and what is
// recorded: the PIN pad's own identity items (serial number, versions, key serial numbers...)
// describe no card and stay as they are; track, card-number and cardholder-name items are masked
// by their rules; any other value has its card-number-like digit runs masked, and, unless it is
// text or a parameter whose layout is known, its card numbers in binary-coded decimal. AMedia: the
// value is a picture's bytes, never searched for binary-coded numbers.
ByteString MaskValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMedia = false);
// Bytes of no known structure (a classic command's block, stray bytes): digit runs, and
// binary-coded numbers when APacked and the bytes are not text.
ByteString MaskLooseBytes(std::string_view ABytes, bool APacked = true);

// Printable text, allowing line breaks and tabs (a DEX message).
bool IsTextLike(std::string_view ABytes);

} // namespace kestrel::trace
