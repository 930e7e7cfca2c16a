#pragma once
#include "pinpad/VexoAbecsBlock.h"
#include "pinpad/VexoAbecsPacket.h"
#include "util/Types.h"
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

class TVexoAbecsTLVList;

// Common part of a command and a response: a three-letter name and data blocks.
class TVexoAbecsApplicationLayer {
public:
    // The data field of one packet, before escaping: the frame's own limit.
    static constexpr std::size_t MaxPacketSize = MaxPacketData;

    TVexoAbecsApplicationLayer();
    virtual ~TVexoAbecsApplicationLayer() = default;
    TVexoAbecsApplicationLayer(const TVexoAbecsApplicationLayer&) = delete;
    TVexoAbecsApplicationLayer& operator=(const TVexoAbecsApplicationLayer&) = delete;

    const std::string& ID() const { return fID; }
    // A different name clears the record first; the same name keeps its blocks.
    void SetID(const std::string& AID);

    TVexoAbecsBlockList& Blocks() { return fBlocks; }
    const TVexoAbecsBlockList& Blocks() const { return fBlocks; }

    ByteString AsString() const { return GetAsString(); }
    virtual ByteString GetAsString() const;
    // Raises EVexoAbecsPinPadError "Invalid Block" for fewer than 3 bytes or bad blocks.
    virtual void SetAsString(std::string_view AData);
    virtual void Clear();

    // Data field of the packet that starts at block BlockStart: the name and as many whole blocks
    // as fit in MaxPacketSize. A BlockStart outside the list gives the name alone, BlocksRead 1.
    ByteString GetDataPacket(int32_t BlockStart, int32_t& BlocksRead) const;

protected:
    // The name read from a data field, without clearing what the parser has set up.
    void SetParsedID(std::string AID) { fID = std::move(AID); }

private:
    std::string fID;
    TVexoAbecsBlockList fBlocks;
};

class TVexoAbecsCommand : public TVexoAbecsApplicationLayer {
public:
    TVexoAbecsCommand() = default;

    bool IsBlocking() const { return fIsBlocking; }
    void SetIsBlocking(bool AValue) { fIsBlocking = AValue; }

    void Clear() override;

    void AddParamFromData(ByteString AData);
    void AddParamFromTagValue(uint16_t ATag, std::string_view AValue);
    void AddParamFromTagValue(uint16_t ATag, std::iostream& AStream);
    // Bytes that are no text (numbers, ids, file contents), added as they are.
    void AddParamFromTagData(uint16_t ATag, std::string_view AData);

private:
    bool fIsBlocking = false;
};

class TVexoAbecsResponse : public TVexoAbecsApplicationLayer {
public:
    TVexoAbecsResponse() = default;

    int32_t STAT() const { return fSTAT; }

    ByteString GetAsString() const override;
    // Parses a received data field: name, three-digit return code, blocks. Raises
    // EVexoAbecsPinPadError "Invalid Response", "Invalid Response Status" or "Invalid Block"; the
    // last also for a command that answers with TLV items when a block is not a whole run of them.
    // The detail of an "Invalid Block" names the offset of the fault in the data field.
    void SetAsString(std::string_view AData) override;
    void Clear() override;

    // The accessors below read TLV items from every block that is a whole run of TLV items and
    // skip the others (raw data), so they never raise.
    ByteString GetResponseData() const; // all block data, without the length digits
    ByteString GetResponseFromTagValue(uint16_t ATag) const;
    // Replaces the stream's content (a std::stringstream is emptied; any other stream is
    // overwritten from position 0) with the values of tag ATag.
    void GetResponseFromTagValue(uint16_t ATag, std::iostream& AStream) const;
    // One line of text per item with tag ATag.
    void GetResponseFromTagValue(uint16_t ATag, std::vector<std::string>& AStringList) const;
    // One "tag=value" line per item, tag in unsigned decimal.
    void GetResponseAsValues(std::vector<std::string>& AStringList) const;

private:
    static void ExtractTLVList(const TVexoAbecsBlockList& ABlocks, TVexoAbecsTLVList& ATLVList);
    void CheckTLVBlocks(size_t AOffset) const;
    int32_t fSTAT = 0;
};

} // namespace vexo
