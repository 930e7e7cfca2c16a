#include "pinpad/VexoAbecsBlock.h"

#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"
#include "util/CodePage.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

namespace vexo {
namespace {

constexpr size_t kDigits = 3;
constexpr size_t kChunkSize = TVexoAbecsTLV::MaxDataSize;

[[noreturn]] void RaiseTooLarge() {
    throw EVexoAbecsPinPadError("Block is Larger then " + std::to_string(TVexoAbecsBlock::MaxDataSize) +
                                " bytes");
}

[[noreturn]] void RaiseInvalidBlock(const TVexoAbecsCodecFault& AFault) {
    throw EVexoAbecsPinPadError("Invalid Block (" + AFault.Describe() + ")");
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
    return BlockWireForm(fData);
}

void TVexoAbecsBlock::SetAsString(std::string_view AValue) {
    std::vector<TVexoAbecsBlockSpan> blocks;
    const auto fault = SplitBlocks(AValue, blocks, 0, TVexoAbecsEmptyBlocks::Refuse);
    if (blocks.empty()) RaiseInvalidBlock(fault.value_or(TVexoAbecsCodecFault{0, "no block"}));
    const size_t end = kDigits + blocks.front().Data.size();
    if (end != AValue.size())
        RaiseInvalidBlock({end, std::to_string(AValue.size() - end) + " bytes after the block"});
    SetData(ByteString(blocks.front().Data));
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
    AddFromTagData(ATag, ReadWholeStream(AStream));
}

void TVexoAbecsBlockList::AddFromTagData(uint16_t ATag, std::string_view AData) {
    AppendChunks(ATag, AData, AData.size() > static_cast<size_t>(TVexoAbecsBlock::MaxDataSize));
}

// A TLV never spans two blocks: each chunk goes into the target block while it fits, otherwise
// into a fresh one.
void TVexoAbecsBlockList::AppendChunks(uint16_t ATag, std::string_view AValue, bool AStartNewBlock) {
    if (AValue.empty()) return;
    TVexoAbecsBlock* target = AStartNewBlock || Empty() ? New() : &Last();
    for (size_t p = 0; p < AValue.size(); p += kChunkSize) {
        const std::string_view chunk = AValue.substr(p, kChunkSize);
        if (static_cast<int>(chunk.size()) + 4 > TVexoAbecsBlock::MaxDataSize - target->Size())
            target = New();
        const TVexoAbecsTLV tlv(ATag, ByteString(chunk));
        target->SetData(target->Data() + tlv.AsString());
    }
}

void TVexoAbecsBlockList::SetAsString(std::string_view AValue) {
    SetAsString(AValue, 0);
}

void TVexoAbecsBlockList::SetAsString(std::string_view AValue, size_t ABase) {
    Clear();
    std::vector<TVexoAbecsBlockSpan> blocks;
    const auto fault = SplitBlocks(AValue, blocks, ABase, TVexoAbecsEmptyBlocks::Refuse);
    for (const TVexoAbecsBlockSpan& block : blocks)
        New()->SetData(ByteString(block.Data));
    if (fault) RaiseInvalidBlock(*fault);
}

} // namespace vexo
