#pragma once
#include "pinpad/VexoAbecsItemList.h"
#include "util/Types.h"
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string_view>
#include <vector>

namespace vexo {

// One data block: three ASCII digits of length and up to 999 bytes.
class TVexoAbecsBlock {
public:
    static constexpr int MaxDataSize = 999;
    static constexpr const char* ItemName = "block";

    void Clear() { fData.clear(); }

    const ByteString& Data() const { return fData; }
    // Raises EVexoAbecsPinPadError "Block is Larger then 999 bytes" and keeps the old data.
    void SetData(ByteString AData);
    int32_t Size() const { return static_cast<int32_t>(fData.size()); }

    ByteString AsString() const;
    // Exactly one block, nothing after it.
    void SetAsString(std::string_view AValue);

private:
    ByteString fData;
};

// Ordered list that owns its blocks.
class TVexoAbecsBlockList : public TVexoAbecsItemList<TVexoAbecsBlock> {
public:
    // Always a new block holding exactly AData; returns its index.
    int AddFromData(ByteString AData);
    // Stores the value as TLVs with tag ATag, filling the last block while the items fit; a long
    // value becomes several TLVs of 995 bytes or fewer. The text is UTF-8 and goes on the wire in
    // the ANSI code page. Empty values add nothing.
    void AddFromTagValue(uint16_t ATag, std::string_view AValue);
    // The whole stream from position 0; the stream ends positioned at its end.
    void AddFromTagValue(uint16_t ATag, std::iostream& AStream);
    // The same for bytes that are no text (numbers, ids, file contents): they go on the wire as
    // they are, without the code-page conversion.
    void AddFromTagData(uint16_t ATag, std::string_view AData);

    // The setter empties the list first, keeps the blocks read before an error, and refuses a
    // block of length 000; the error names the offset of the fault, counted from ABase.
    void SetAsString(std::string_view AValue);
    void SetAsString(std::string_view AValue, size_t ABase);

private:
    void AppendChunks(uint16_t ATag, std::string_view AValue, bool AStartNewBlock);
};

} // namespace vexo
