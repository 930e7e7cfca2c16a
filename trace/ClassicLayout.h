#pragma once
#include "util/Types.h"
#include <string_view>

namespace kestrel::trace {

using vexo::ByteString;

// Card data in the blocks of classic commands, which lay their results out at fixed places
// rather than in TLV items: the tracks, the card number and the cardholder's name of a GCR
// response are masked by their place (the name has no digits for any other rule to find), and
// a name that a track 1 in the block carries is hidden wherever else it appears in the block.
// The block keeps its length; what is not card data stays as it is.
ByteString MaskClassicBlock(std::string_view AName, bool AResponse, std::string_view ABlock);

// Responses that describe the PIN pad itself (GIN: maker, model, versions, serial number): never
// card data, however many digits they hold.
bool IsIdentityResponse(std::string_view AName, bool AResponse);

} // namespace kestrel::trace
