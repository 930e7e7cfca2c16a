#pragma once
#include "util/Types.h"
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// The one reader of data blocks and TLV items. It is strict: every announced length must be
// there, and nothing may follow the last item. Whoever reads a data field (the component, the
// trace, the simulated PIN pad) walks it here, so they all agree on what is malformed and where.

// Where and why a walk stopped. Offset counts from the first byte of the data field being read
// (the base handed to the walker), so it points at the byte a person would look at.
struct TVexoAbecsCodecFault {
    std::size_t Offset = 0;
    std::string What;

    std::string Describe() const; // "at byte 13: TLV 8001h announces 10 bytes, 8 follow"
};

struct TVexoAbecsBlockSpan {
    std::size_t Offset = 0; // of the length digits
    std::string_view Data;
};

struct TVexoAbecsTLVSpan {
    std::size_t Offset = 0; // of the tag
    uint16_t Tag = 0;
    std::string_view Value;
};

enum class TVexoAbecsEmptyBlocks { Accept, Refuse };

// Cuts AData into blocks (three ASCII digits of length, then that many bytes). The blocks read
// before a fault stay in ABlocks; the views point into AData.
std::optional<TVexoAbecsCodecFault> SplitBlocks(std::string_view AData,
                                                std::vector<TVexoAbecsBlockSpan>& ABlocks,
                                                std::size_t ABase = 0,
                                                TVexoAbecsEmptyBlocks AEmpty = TVexoAbecsEmptyBlocks::Accept);

// Cuts AData into TLV items (tag and length, two bytes each, high byte first, then the value).
// The items read before a fault stay in AItems.
std::optional<TVexoAbecsCodecFault> SplitTLVs(std::string_view AData, std::vector<TVexoAbecsTLVSpan>& AItems,
                                              std::size_t ABase = 0);

// The wire forms, for builders that have no list object at hand.
ByteString TLVWireForm(uint16_t ATag, std::string_view AValue);
ByteString BlockWireForm(std::string_view AData);

} // namespace vexo
