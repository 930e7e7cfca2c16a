#include "pinpad/VexoAbecsApplicationLayer.h"

#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"
#include "util/CodePage.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace vexo {
namespace {

constexpr size_t kNameSize = 3;
constexpr size_t kStatusSize = 3;
constexpr size_t kBlockDigits = 3;

// The three status digits; -1 when they are not all ASCII digits.
int32_t StatusAt(std::string_view AData, size_t AOffset) {
    int32_t value = 0;
    for (size_t i = AOffset; i < AOffset + kStatusSize; ++i) {
        const char c = AData[i];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

void ResetStream(std::iostream& AStream) {
    AStream.clear();
    if (auto* text = dynamic_cast<std::stringstream*>(&AStream)) {
        text->str({});
        text->clear();
    }
    AStream.seekp(0, std::ios::beg);
}

} // namespace

TVexoAbecsApplicationLayer::TVexoAbecsApplicationLayer() {
    TVexoAbecsApplicationLayer::Clear();
}

void TVexoAbecsApplicationLayer::SetID(const std::string& AID) {
    if (AID == fID) return;
    Clear();
    fID = AID;
}

ByteString TVexoAbecsApplicationLayer::GetAsString() const {
    return TextToAnsi(fID) + fBlocks.AsString();
}

void TVexoAbecsApplicationLayer::SetAsString(std::string_view AData) {
    Clear();
    if (AData.size() < kNameSize) throw EVexoAbecsPinPadError("Invalid Block");
    fID = AnsiToText(AData.substr(0, kNameSize));
    fBlocks.SetAsString(AData.substr(kNameSize), kNameSize);
}

void TVexoAbecsApplicationLayer::Clear() {
    fID.clear();
    fBlocks.Clear();
}

ByteString TVexoAbecsApplicationLayer::GetDataPacket(int32_t BlockStart, int32_t& BlocksRead) const {
    BlocksRead = 1;
    ByteString result = TextToAnsi(fID);
    const int32_t count = fBlocks.Count();
    if (BlockStart < 0 || BlockStart >= count) return result;
    // Counted from a three-letter name, so the first block always fits and every call advances.
    size_t running = kNameSize;
    int32_t i = BlockStart;
    for (; i < count; ++i) {
        const TVexoAbecsBlock& block = fBlocks.Items(i);
        if (static_cast<size_t>(block.Size()) + running + kBlockDigits > MaxPacketSize) break;
        result += block.AsString();
        running = result.size();
    }
    BlocksRead = i - BlockStart;
    return result;
}

void TVexoAbecsCommand::Clear() {
    fIsBlocking = false;
    TVexoAbecsApplicationLayer::Clear();
}

void TVexoAbecsCommand::AddParamFromData(ByteString AData) {
    Blocks().AddFromData(std::move(AData));
}

void TVexoAbecsCommand::AddParamFromTagValue(uint16_t ATag, std::string_view AValue) {
    Blocks().AddFromTagValue(ATag, AValue);
}

void TVexoAbecsCommand::AddParamFromTagValue(uint16_t ATag, std::iostream& AStream) {
    Blocks().AddFromTagValue(ATag, AStream);
}

void TVexoAbecsCommand::AddParamFromTagData(uint16_t ATag, std::string_view AData) {
    Blocks().AddFromTagData(ATag, AData);
}

void TVexoAbecsResponse::Clear() {
    fSTAT = 0;
    TVexoAbecsApplicationLayer::Clear();
}

ByteString TVexoAbecsResponse::GetAsString() const {
    ByteString out = TVexoAbecsApplicationLayer::GetAsString();
    char status[16];
    std::snprintf(status, sizeof status, "%.3d", fSTAT);
    out.insert(std::min(out.size(), kNameSize), status);
    return out;
}

void TVexoAbecsResponse::SetAsString(std::string_view AData) {
    Clear();
    if (AData.size() < kNameSize + kStatusSize) throw EVexoAbecsPinPadError("Invalid Response");
    const int32_t status = StatusAt(AData, kNameSize);
    if (status < 0) throw EVexoAbecsPinPadError("Invalid Response Status");
    const size_t blocksAt = kNameSize + kStatusSize;
    SetParsedID(AnsiToText(AData.substr(0, kNameSize)));
    try {
        // Offsets in errors count from the start of the data field, status digits included.
        Blocks().SetAsString(AData.substr(blocksAt), blocksAt);
        if (UsesTLVItems(ID())) CheckTLVBlocks(blocksAt);
    } catch (...) {
        // Half a response must not pass for an answer: a name with return code 0 would read as
        // success to whoever looks at the record after the error.
        Clear();
        throw;
    }
    fSTAT = status;
}

// A block of a TLV answer that is not a whole run of items is damaged: reading on would lose the
// item it cut short, or take a short value for the whole of it.
void TVexoAbecsResponse::CheckTLVBlocks(size_t AOffset) const {
    std::vector<TVexoAbecsTLVSpan> items;
    for (int i = 0; i < Blocks().Count(); ++i) {
        const ByteString& data = Blocks().Items(i).Data();
        items.clear();
        if (const auto fault = SplitTLVs(data, items, AOffset + kBlockDigits))
            throw EVexoAbecsPinPadError("Invalid Block (" + fault->Describe() + ")");
        AOffset += kBlockDigits + data.size();
    }
}

ByteString TVexoAbecsResponse::GetResponseData() const {
    ByteString out;
    for (int i = 0; i < Blocks().Count(); ++i)
        out += Blocks().Items(i).Data();
    return out;
}

ByteString TVexoAbecsResponse::GetResponseFromTagValue(uint16_t ATag) const {
    TVexoAbecsTLVList items;
    ExtractTLVList(Blocks(), items);
    ByteString out;
    for (int i = 0; i < items.Count(); ++i)
        if (items.Items(i).ID() == ATag) out += items.Items(i).Data();
    return out;
}

void TVexoAbecsResponse::GetResponseFromTagValue(uint16_t ATag, std::iostream& AStream) const {
    ResetStream(AStream);
    const ByteString value = GetResponseFromTagValue(ATag);
    AStream.write(value.data(), static_cast<std::streamsize>(value.size()));
}

void TVexoAbecsResponse::GetResponseFromTagValue(uint16_t ATag, std::vector<std::string>& AStringList) const {
    AStringList.clear();
    TVexoAbecsTLVList items;
    ExtractTLVList(Blocks(), items);
    for (int i = 0; i < items.Count(); ++i)
        if (items.Items(i).ID() == ATag) AStringList.push_back(AnsiToText(items.Items(i).Data()));
}

void TVexoAbecsResponse::GetResponseAsValues(std::vector<std::string>& AStringList) const {
    AStringList.clear();
    TVexoAbecsTLVList items;
    ExtractTLVList(Blocks(), items);
    for (int i = 0; i < items.Count(); ++i) {
        const TVexoAbecsTLV& item = items.Items(i);
        AStringList.push_back(std::to_string(item.ID()) + "=" + AnsiToText(item.Data()));
    }
}

// Blocks of raw data are skipped whole: a response that carries no TLVs yields no items. A TLV
// answer never gets here with a damaged block, as the parser refuses it.
void TVexoAbecsResponse::ExtractTLVList(const TVexoAbecsBlockList& ABlocks, TVexoAbecsTLVList& ATLVList) {
    ATLVList.Clear();
    std::vector<TVexoAbecsTLVSpan> items;
    for (int i = 0; i < ABlocks.Count(); ++i) {
        items.clear();
        if (SplitTLVs(ABlocks.Items(i).Data(), items)) continue;
        for (const TVexoAbecsTLVSpan& item : items) {
            TVexoAbecsTLV* tlv = ATLVList.New();
            tlv->SetID(item.Tag);
            tlv->SetData(ByteString(item.Value));
        }
    }
}

} // namespace vexo
