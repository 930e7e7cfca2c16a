#include "pinpad/VexoAbecsTLV.h"

#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsErrors.h"

#include <string>

namespace vexo {
namespace {

constexpr std::size_t kHeaderSize = 4;

[[noreturn]] void RaiseTooLarge() {
    throw EVexoAbecsPinPadError("TLV is Larger then " + std::to_string(TVexoAbecsTLV::MaxDataSize) +
                                " bytes");
}

[[noreturn]] void RaiseInvalidData(const TVexoAbecsCodecFault& AFault) {
    throw EVexoAbecsPinPadError("Invalid TLV data (" + AFault.Describe() + ")");
}

} // namespace

TVexoAbecsTLV::TVexoAbecsTLV(uint16_t AID, ByteString AData) {
    if (AData.size() > static_cast<size_t>(MaxDataSize)) RaiseTooLarge();
    fID = AID;
    fData = std::move(AData);
}

void TVexoAbecsTLV::Clear() {
    fID = 0;
    fData.clear();
}

void TVexoAbecsTLV::Assign(const TVexoAbecsTLV& Source) {
    fID = Source.fID;
    fData = Source.fData;
}

ByteString TVexoAbecsTLV::AsString() const {
    // Data has no size check, but a value whose length does not fit the 16-bit field would go
    // out with a wrapped length and corrupt everything after it.
    if (fData.size() > 0xFFFF) RaiseTooLarge();
    return TLVWireForm(fID, fData);
}

void TVexoAbecsTLV::SetAsString(std::string_view AValue) {
    std::vector<TVexoAbecsTLVSpan> items;
    if (const auto fault = SplitTLVs(AValue, items); fault && items.empty()) RaiseInvalidData(*fault);
    if (items.empty()) RaiseInvalidData({0, "no TLV"});
    const TVexoAbecsTLVSpan& item = items.front();
    const std::size_t end = kHeaderSize + item.Value.size();
    if (end != AValue.size())
        RaiseInvalidData({end, std::to_string(AValue.size() - end) + " bytes after the TLV"});
    if (item.Value.size() > static_cast<size_t>(MaxDataSize)) RaiseTooLarge();
    fID = item.Tag;
    fData = ByteString(item.Value);
}

int TVexoAbecsTLVList::AddFromTLV(uint16_t AID, ByteString AData) {
    return Add(std::make_unique<TVexoAbecsTLV>(AID, std::move(AData)));
}

void TVexoAbecsTLVList::AddFromTLVList(const TVexoAbecsTLVList& ATLVList) {
    // Counted up front so that adding a list to itself copies each item once.
    const int count = ATLVList.Count();
    for (int i = 0; i < count; ++i)
        New()->Assign(ATLVList.Items(i));
}

void TVexoAbecsTLVList::SetAsString(std::string_view AValue) {
    SetAsString(AValue, 0);
}

void TVexoAbecsTLVList::SetAsString(std::string_view AValue, std::size_t ABase) {
    Clear();
    std::vector<TVexoAbecsTLVSpan> items;
    const auto fault = SplitTLVs(AValue, items, ABase);
    for (const TVexoAbecsTLVSpan& item : items) {
        if (item.Value.size() > static_cast<size_t>(TVexoAbecsTLV::MaxDataSize)) RaiseTooLarge();
        TVexoAbecsTLV* tlv = New();
        tlv->SetID(item.Tag);
        tlv->SetData(ByteString(item.Value));
    }
    if (fault) RaiseInvalidData(*fault);
}

} // namespace vexo
