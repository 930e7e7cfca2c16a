#include "pinpad/VexoAbecsTLV.h"

#include "pinpad/VexoAbecsErrors.h"

#include <string>

namespace vexo {
namespace {

constexpr int kHeaderSize = 4;

[[noreturn]] void RaiseTooLarge() {
    throw EVexoAbecsPinPadError("TLV is Larger then " + std::to_string(TVexoAbecsTLV::MaxDataSize) +
                                " bytes");
}

[[noreturn]] void RaiseInvalidData() {
    throw EVexoAbecsPinPadError("Invalid TLV data");
}

uint16_t Word(std::string_view AData, size_t AOffset) {
    return static_cast<uint16_t>((static_cast<unsigned char>(AData[AOffset]) << 8) |
                                 static_cast<unsigned char>(AData[AOffset + 1]));
}

void AppendWord(ByteString& AOut, uint16_t AValue) {
    AOut += static_cast<char>(AValue >> 8);
    AOut += static_cast<char>(AValue & 0xFF);
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
    ByteString out;
    out.reserve(kHeaderSize + fData.size());
    AppendWord(out, fID);
    AppendWord(out, static_cast<uint16_t>(fData.size()));
    out += fData;
    return out;
}

void TVexoAbecsTLV::SetAsString(std::string_view AValue) {
    if (AValue.size() < kHeaderSize) RaiseInvalidData();
    fID = Word(AValue, 0);
    const size_t len = Word(AValue, 2);
    // The length is compared with the whole input, header included: a value cut short by a few
    // bytes is still taken with what is there.
    if (len > AValue.size()) RaiseInvalidData();
    if (len > static_cast<size_t>(MaxDataSize)) RaiseTooLarge();
    fData = ByteString(AValue.substr(kHeaderSize, len));
}

TVexoAbecsTLV* TVexoAbecsTLVList::New() {
    fItems.push_back(std::make_unique<TVexoAbecsTLV>());
    return fItems.back().get();
}

int TVexoAbecsTLVList::Add(std::unique_ptr<TVexoAbecsTLV> ATLV) {
    if (!ATLV) throw Exception("Cannot add an empty TLV reference");
    fItems.push_back(std::move(ATLV));
    return Count() - 1;
}

void TVexoAbecsTLVList::Insert(int Index, std::unique_ptr<TVexoAbecsTLV> ATLV) {
    if (Index != Count()) CheckIndex(Index);
    if (!ATLV) throw Exception("Cannot add an empty TLV reference");
    fItems.insert(fItems.begin() + Index, std::move(ATLV));
}

void TVexoAbecsTLVList::Delete(int Index) {
    CheckIndex(Index);
    fItems.erase(fItems.begin() + Index);
}

TVexoAbecsTLV& TVexoAbecsTLVList::Items(int Index) {
    CheckIndex(Index);
    return *fItems[static_cast<size_t>(Index)];
}

const TVexoAbecsTLV& TVexoAbecsTLVList::Items(int Index) const {
    CheckIndex(Index);
    return *fItems[static_cast<size_t>(Index)];
}

void TVexoAbecsTLVList::SetItems(int Index, std::unique_ptr<TVexoAbecsTLV> ATLV) {
    CheckIndex(Index);
    if (!ATLV) throw Exception("Cannot add an empty TLV reference");
    fItems[static_cast<size_t>(Index)] = std::move(ATLV);
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

ByteString TVexoAbecsTLVList::AsString() const {
    ByteString out;
    for (const auto& item : fItems)
        out += item->AsString();
    return out;
}

void TVexoAbecsTLVList::SetAsString(std::string_view AValue) {
    Clear();
    const size_t size = AValue.size();
    // A single trailing byte cannot start an item and is ignored.
    for (size_t p = 0; p + 1 < size;) {
        // An incomplete header is left to the item parser, which refuses it.
        const size_t len = p + kHeaderSize <= size ? Word(AValue, p + 2) : 0;
        if (len > size) RaiseInvalidData();
        New()->SetAsString(AValue.substr(p, len + kHeaderSize));
        p += len + kHeaderSize;
    }
}

void TVexoAbecsTLVList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count())
        throw ERangeError("List index out of bounds (" + std::to_string(Index) + ")");
}

} // namespace vexo
