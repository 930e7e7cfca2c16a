#pragma once
#include "util/Types.h"
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

class TVexoAbecsCommand;
class TVexoAbecsResponse;

// One parameter of a command sent by name: a TLV item, or a raw block of a fixed-layout command.
// Data holds the bytes as they go on the wire.
struct TVexoAbecsAnyParam {
    bool IsBlock = false;
    uint16_t ID = 0; // the item's tag; unused for a block
    ByteString Data;

    // Text goes through the code page; a character it cannot carry is refused rather than sent as '?'.
    static TVexoAbecsAnyParam Text(uint16_t AID, std::string_view AText);
    static TVexoAbecsAnyParam Bytes(uint16_t AID, ByteString AData);
    static TVexoAbecsAnyParam Block(ByteString AData);
    static TVexoAbecsAnyParam TextBlock(std::string_view AText);
};

// How the host waits for the response: as the command table says, or as the caller says.
enum class TVexoAbecsWaitMode : uint8_t { wmByTable, wmBlocking, wmNotBlocking };

struct TVexoAbecsAnyCommand {
    std::string Name; // three upper-case letters or digits
    std::vector<TVexoAbecsAnyParam> Params;
    TVexoAbecsWaitMode Wait = TVexoAbecsWaitMode::wmByTable;
};

struct TVexoAbecsAnyItem {
    uint16_t ID = 0;
    std::string Name; // the PP_ name, or "8099h" for an unnamed id
    ByteString Value;
};

struct TVexoAbecsAnyBlock {
    ByteString Data;    // without its three length digits
    bool IsTLV = false; // Data is exactly a run of TLV items, listed in Items
    std::vector<TVexoAbecsAnyItem> Items;
};

// A response taken apart with its items named.
struct TVexoAbecsAnyAnswer {
    std::string Name;
    int32_t STAT = 0;
    std::vector<TVexoAbecsAnyBlock> Blocks;

    std::vector<TVexoAbecsAnyItem> Items() const; // of every TLV block, in order
    // The values of every item with that tag joined in order, as a long value is spread; nullopt when
    // there is none.
    std::optional<ByteString> Value(uint16_t AID) const;
};

bool IsAbecsCommandName(std::string_view AName);

// An identifier as a person writes it: an SPE_ name ("SPE_DSPMSG", any case) or a 16-bit tag
// ("0x001B", "001Bh"). nullopt for anything else.
std::optional<uint16_t> AnyParamID(std::string_view AText);

bool AnyCommandBlocks(const TVexoAbecsAnyCommand& ACommand);

// Fills ACommand (cleared first) with the name, the parameters in their order and the blocking flag.
// TLV items share a block while they fit and never share one with a raw block. Raises
// EVexoAbecsPinPadError naming the parameter for a bad name or a block over 999 bytes, so a
// caller that builds before it sends sends nothing wrong.
void BuildAnyCommand(const TVexoAbecsAnyCommand& ASource, TVexoAbecsCommand& ACommand);

// A block is read as TLV items only when the items give back exactly its bytes; any other block is
// raw data, kept whole.
TVexoAbecsAnyAnswer DecodeAnyResponse(const TVexoAbecsResponse& AResponse);

} // namespace vexo
