#pragma once
#include "pinpad/VexoAbecsItemList.h"
#include "util/Types.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vexo {

// One TLV item: 16-bit tag, 16-bit length (both high byte first) and the value.
class TVexoAbecsTLV {
public:
    static constexpr int MaxDataSize = 995; // tag + length + value fill one 999-byte block
    static constexpr const char* ItemName = "TLV";

    TVexoAbecsTLV() = default;
    // Raises EVexoAbecsPinPadError "TLV is Larger then 995 bytes" for a longer value.
    TVexoAbecsTLV(uint16_t AID, ByteString AData);

    void Clear();
    void Assign(const TVexoAbecsTLV& Source);

    uint16_t ID() const { return fID; }
    void SetID(uint16_t AID) { fID = AID; }
    const ByteString& Data() const { return fData; }
    void SetData(ByteString AData) { fData = std::move(AData); } // no size check, by design
    uint16_t Size() const { return static_cast<uint16_t>(fData.size()); }

    // Wire form; the setter parses exactly one item and raises EVexoAbecsPinPadError on bad input,
    // bytes after the item included.
    ByteString AsString() const;
    void SetAsString(std::string_view AValue);

private:
    uint16_t fID = 0;
    ByteString fData;
};

// Ordered list that owns its items.
class TVexoAbecsTLVList : public TVexoAbecsItemList<TVexoAbecsTLV> {
public:
    int AddFromTLV(uint16_t AID, ByteString AData);
    void AddFromTLVList(const TVexoAbecsTLVList& ATLVList);

    // The setter empties the list first; after an error it keeps what was parsed so far. The
    // error names the offset of the fault, counted from ABase.
    void SetAsString(std::string_view AValue);
    void SetAsString(std::string_view AValue, std::size_t ABase);
};

} // namespace vexo
