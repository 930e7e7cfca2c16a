#include "pinpad/VexoAbecsBlock.h"

#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"
#include "util/CodePage.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace vexo {
namespace {

constexpr int kDigits = 3;
constexpr size_t kChunkSize = TVexoAbecsTLV::MaxDataSize;

[[noreturn]] void RaiseTooLarge() {
    throw EVexoAbecsPinPadError("Block is Larger then " + std::to_string(TVexoAbecsBlock::MaxDataSize) +
                                " bytes");
}

[[noreturn]] void RaiseInvalidBlock() {
    throw EVexoAbecsPinPadError("Invalid Block");
}

// The three length digits at AOffset; anything but three ASCII digits counts as 0.
size_t LengthAt(std::string_view AData, size_t AOffset) {
    if (AData.size() < AOffset + kDigits) return 0;
    size_t len = 0;
    for (size_t i = AOffset; i < AOffset + kDigits; ++i) {
        const char c = AData[i];
        if (c < '0' || c > '9') return 0;
        len = len * 10 + static_cast<size_t>(c - '0');
    }
    return len;
}

ByteString ReadWholeStream(std::iostream& AStream) {
    AStream.clear();
    AStream.seekg(0, std::ios::beg);
    ByteString out{std::istreambuf_iterator<char>(AStream), std::istreambuf_iterator<char>()};
    // Leave the stream usable and positioned at its end, as after reading it through.
    AStream.clear();
    AStream.seekg(0, std::ios::end);
    return out;
}

} // namespace

void TVexoAbecsBlock::SetData(ByteString AData) {
    if (AData == fData) return;
    if (AData.size() > static_cast<size_t>(MaxDataSize)) RaiseTooLarge();
    fData = std::move(AData);
}

ByteString TVexoAbecsBlock::AsString() const {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%.3d", Size());
    return digits + fData;
}

void TVexoAbecsBlock::SetAsString(std::string_view AValue) {
    const size_t len = LengthAt(AValue, 0);
    if (len == 0 || AValue.size() - kDigits < len) RaiseInvalidBlock();
    SetData(ByteString(AValue.substr(kDigits, len)));
}

TVexoAbecsBlock* TVexoAbecsBlockList::New() {
    fItems.push_back(std::make_unique<TVexoAbecsBlock>());
    return fItems.back().get();
}

int TVexoAbecsBlockList::Add(std::unique_ptr<TVexoAbecsBlock> ABlock) {
    if (!ABlock) throw Exception("Cannot add an empty block reference");
    fItems.push_back(std::move(ABlock));
    return Count() - 1;
}

void TVexoAbecsBlockList::Insert(int Index, std::unique_ptr<TVexoAbecsBlock> ABlock) {
    if (Index != Count()) CheckIndex(Index);
    if (!ABlock) throw Exception("Cannot add an empty block reference");
    fItems.insert(fItems.begin() + Index, std::move(ABlock));
}

void TVexoAbecsBlockList::Delete(int Index) {
    CheckIndex(Index);
    fItems.erase(fItems.begin() + Index);
}

TVexoAbecsBlock& TVexoAbecsBlockList::Items(int Index) {
    CheckIndex(Index);
    return *fItems[static_cast<size_t>(Index)];
}

const TVexoAbecsBlock& TVexoAbecsBlockList::Items(int Index) const {
    CheckIndex(Index);
    return *fItems[static_cast<size_t>(Index)];
}

void TVexoAbecsBlockList::SetItems(int Index, std::unique_ptr<TVexoAbecsBlock> ABlock) {
    CheckIndex(Index);
    if (!ABlock) throw Exception("Cannot add an empty block reference");
    fItems[static_cast<size_t>(Index)] = std::move(ABlock);
}

int TVexoAbecsBlockList::AddFromData(ByteString AData) {
    if (AData.size() > static_cast<size_t>(TVexoAbecsBlock::MaxDataSize)) RaiseTooLarge();
    auto block = std::make_unique<TVexoAbecsBlock>();
    block->SetData(std::move(AData));
    return Add(std::move(block));
}

void TVexoAbecsBlockList::AddFromTagValue(uint16_t ATag, std::string_view AValue) {
    const ByteString bytes = TextToAnsi(AValue);
    AppendChunks(ATag, bytes, bytes.size() > static_cast<size_t>(TVexoAbecsBlock::MaxDataSize));
}

void TVexoAbecsBlockList::AddFromTagValue(uint16_t ATag, std::iostream& AStream) {
    const ByteString bytes = ReadWholeStream(AStream);
    AppendChunks(ATag, bytes, bytes.size() > static_cast<size_t>(TVexoAbecsBlock::MaxDataSize));
}

// A TLV never spans two blocks: each chunk goes into the target block while it fits, otherwise
// into a fresh one.
void TVexoAbecsBlockList::AppendChunks(uint16_t ATag, std::string_view AValue, bool AStartNewBlock) {
    if (AValue.empty()) return;
    TVexoAbecsBlock* target = AStartNewBlock || fItems.empty() ? New() : fItems.back().get();
    for (size_t p = 0; p < AValue.size(); p += kChunkSize) {
        const std::string_view chunk = AValue.substr(p, kChunkSize);
        if (static_cast<int>(chunk.size()) + 4 > TVexoAbecsBlock::MaxDataSize - target->Size())
            target = New();
        const TVexoAbecsTLV tlv(ATag, ByteString(chunk));
        target->SetData(target->Data() + tlv.AsString());
    }
}

ByteString TVexoAbecsBlockList::AsString() const {
    ByteString out;
    for (const auto& item : fItems)
        out += item->AsString();
    return out;
}

void TVexoAbecsBlockList::SetAsString(std::string_view AValue) {
    Clear();
    const size_t size = AValue.size();
    // A single trailing byte cannot start a block and is ignored.
    for (size_t p = 0; p + 1 < size;) {
        const size_t len = LengthAt(AValue, p);
        if (len == 0 || len > size) RaiseInvalidBlock();
        New()->SetAsString(AValue.substr(p, len + kDigits));
        p += len + kDigits;
    }
}

void TVexoAbecsBlockList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count())
        throw ERangeError("List index out of bounds (" + std::to_string(Index) + ")");
}

} // namespace vexo
