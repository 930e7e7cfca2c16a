#pragma once
#include "util/Types.h"
#include <cstdint>
#include <string_view>

namespace vexo {

// Response items whose value is card data: the clear tracks that CEX and the like return
// (PP_TRK1INC, PP_TRK2INC, PP_TRK3INC) and the card number (PP_PAN).
bool IsCardDataTag(uint16_t ATag) noexcept;

// The value of a response item as a log may show it: card-data items masked as tracks
// (MaskTrackData: the card number keeps its first 6 and last 4 digits, every other digit and the
// cardholder name become '*'), whatever the length of their digit runs; other values unchanged.
ByteString MaskItemValue(uint16_t ATag, std::string_view AValue);

// Message bytes as a log line carries them (a data field, a block, a frame, escaped or not): the value
// of every card-data TLV found in them masked as above, then every PAN-like digit run masked
// (MaskCardNumbers). Lengths and everything that is not card data stay as they are.
ByteString MaskCardData(std::string_view ABytes);

} // namespace vexo
