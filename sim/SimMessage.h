#pragma once
#include "util/Types.h"
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel::sim {

using vexo::ByteString;

// A command as it arrived: name and the data of its blocks.
struct SimCommand {
    std::string Name;
    std::vector<ByteString> Blocks;
    std::string Fault; // after a failed Parse: where and why the data field is malformed

    // Splits a data field into name and blocks with the message core's codec. Unlike the host's
    // response reader it takes a block of length 000, which hosts send for an empty message.
    // False when the blocks do not add up, or when a command whose parameters are TLV items has
    // a block that is not a whole run of them.
    static bool Parse(std::string_view AData, SimCommand& ACommand);
};

// A response data field under construction: name, return code, blocks of raw data or TLVs.
// Blocks hold at most 999 bytes and the return code three digits: what cannot be said on the wire
// is refused with EVexoAbecsPinPadError, never cut or wrapped.
struct SimReply {
    std::string Name;
    int Status = 0;
    std::vector<ByteString> Blocks;

    SimReply() = default;
    SimReply(std::string AName, int AStatus) : Name(std::move(AName)), Status(AStatus) {}
    SimReply& AddData(ByteString AData);
    // Appends a TLV as the host's block list packs them: in the last block while it fits, else in
    // a new one; a value longer than one item goes as several items of the same tag.
    SimReply& AddTLV(uint16_t ATag, const ByteString& AValue);
    ByteString DataField() const;
};

// The TLV items of a command's blocks, in order, as the codec reads them.
class CommandParams {
public:
    // False when a block is not a whole run of items: a device cannot guess at a cut parameter.
    bool Read(const SimCommand& ACommand);

    const ByteString* Find(uint16_t ATag) const;
    std::vector<ByteString> All(uint16_t ATag) const;
    // A one-byte binary item into AOut (left alone when the item is absent); false when the item
    // is there but is not one byte.
    bool Byte(uint16_t ATag, int& AOut) const;

private:
    std::vector<std::pair<uint16_t, ByteString>> fItems;
};

// The rows of a display message: each ended by CR; a last row without CR counts too.
std::vector<std::string> MessageRows(std::string_view AText);
// The two rows of 16 of a DSP, RMC or CLO block, as UTF-8 text.
std::vector<std::string> ShortMessageRows(const ByteString& ABlock);

} // namespace kestrel::sim
