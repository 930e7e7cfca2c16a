#pragma once
#include "pinpad/VexoAbecsCardData.h"
#include "util/Types.h"
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::trace {

using vexo::ByteString;

struct DecodedTLV {
    uint16_t Tag = 0;
    std::string Name;   // "SPE_IDLIST", "PP_SERNUM", or "8099h" for an unnamed id; empty when the
                        // item broke off before its tag was whole
    ByteString Value;   // a damaged item: the bytes after its header, or all of it when that broke off
    std::string Damage; // empty for a whole item; else where and why the item broke off
};

struct DecodedBlock {
    ByteString Data;    // the block's content, without its three length digits; a damaged
                        // block: every byte from its length digits on
    bool IsTLV = false; // Data parsed as TLV items, listed in Items (the last one may be damaged)
    std::vector<DecodedTLV> Items;
    std::string Damage; // empty for a whole block; else where and why the block list broke off
};

// One command or response data field taken apart, as far as it goes: a field that breaks off
// keeps what was read before the break, shows the rest as a damaged block or item, and says where
// and why in Error (offsets count from the first byte of the data field).
struct DecodedMessage {
    bool IsResponse = false;
    std::string Name;       // three letters, as sent ("ERR" for a refused command)
    int Status = -1;        // responses: the three-digit return code
    std::string StatusText; // responses: the return code's text, empty when it has none
    std::vector<DecodedBlock> Blocks;
    std::string Error; // empty when the whole field was understood

    bool Ok() const { return Error.empty(); }
};

DecodedMessage DecodeCommand(std::string_view AData);
DecodedMessage DecodeResponse(std::string_view AData);

// Commands that wait for the cardholder and may be aborted with CAN.
bool IsBlockingCommand(std::string_view AName);
// A few words on what an ABECS command does ("get information"), or empty for an unknown name.
std::string CommandDescription(std::string_view AName);

// Card data: items that carry a track, a card number or a cardholder name (the PIN-pad log masks by
// the same rule).
using vexo::IsCardDataTag;
// Items that describe the PIN pad itself (serial and part numbers, model, versions, display and
// media sizes, key serial numbers, table versions): never card data, however many digits they hold.
bool IsDeviceInfoTag(uint16_t ATag);

} // namespace kestrel::trace
