#pragma once
#include "util/Types.h"
#include <cstdint>
#include <string_view>

namespace vexo {

// Items whose value is card data: the tracks (PP_TRK1INC to PP_TRACK3), the card number (PP_PAN)
// and the cardholder's name (PP_CHNAME).
bool IsCardDataTag(uint16_t ATag) noexcept;

// The value of an item as a log or a trace may show it, in raw bytes: a card number keeps its first 6
// and last 4 digits, a name its blanks and slashes, a track its card number's ends and its shape,
// whatever the length of their digit runs (MaskPAN, MaskTrackData); any other value has its PAN-like
// runs masked (MaskCardNumbers).
ByteString MaskCardItem(uint16_t ATag, std::string_view AValue);

// Message bytes as a log line carries them (a data field, a block, a frame, escaped or not): the value
// of every card-data TLV found in them masked as MaskCardItem does, then every PAN-like digit run and
// track 1 name (MaskCardDataInText). Lengths and everything that is not card data stay as they are.
ByteString MaskCardData(std::string_view ABytes);

} // namespace vexo
