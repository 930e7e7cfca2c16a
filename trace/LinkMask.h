#pragma once
#include "trace/FrameDecoder.h"
#include "util/Types.h"
#include <string_view>

namespace kestrel::trace {

using vexo::ByteString;

// Card data taken out of the bytes themselves, for records that must be shareable and still read
// back as the link did (a raw recording). Values are masked as the trace shows them: track, card
// number and cardholder name items by their rules, card-number-like digit runs anywhere else, and
// card numbers in binary-coded decimal in values that are not text. The message's structure
// (names, return codes, block and item lengths) is untouched, so the masked field decodes the same
// way; its length does not change.
//
// Media records (MLR) are not searched for binary-coded card numbers: their bytes are a picture.
ByteString MaskDataField(std::string_view AData, bool AResponse);

// One link unit's bytes with card data masked. A frame is rebuilt around its masked data field
// with a CRC that is as right or as wrong as the one it carried (so a damaged frame stays damaged
// in the same way); a frame with nothing to mask, and ACK, NAK, CAN and EOT, come back as they
// were. A frame's length changes only where a masked byte gave up or gained an escape.
ByteString MaskLinkUnit(const LinkUnit& AUnit, bool AResponse);

} // namespace kestrel::trace
