#include "sim/SimMessage.h"
#include "pinpad/VexoAbecsBlock.h"
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "util/CodePage.h"
#include <cstdio>

namespace kestrel::sim {

using namespace vexo;

namespace {

constexpr size_t kNameSize = 3;
constexpr int kMaxStatus = 999;
constexpr size_t kShortRow = 16;

} // namespace

bool SimCommand::Parse(std::string_view AData, SimCommand& ACommand) {
    ACommand = {};
    if (AData.size() < kNameSize) {
        ACommand.Fault = TVexoAbecsCodecFault{0, "no command name"}.Describe();
        return false;
    }
    ACommand.Name = std::string(AData.substr(0, kNameSize));
    std::vector<TVexoAbecsBlockSpan> blocks;
    auto fault = SplitBlocks(AData.substr(kNameSize), blocks, kNameSize);
    if (!fault && UsesTLVItems(ACommand.Name)) {
        std::vector<TVexoAbecsTLVSpan> items;
        for (const TVexoAbecsBlockSpan& block : blocks)
            if ((fault = SplitTLVs(block.Data, items, block.Offset + kNameSize))) break;
    }
    if (fault) {
        ACommand.Fault = fault->Describe();
        return false;
    }
    for (const TVexoAbecsBlockSpan& block : blocks)
        ACommand.Blocks.emplace_back(block.Data);
    return true;
}

SimReply& SimReply::AddData(ByteString AData) {
    // The codec's own check: three digits cannot announce a longer block.
    TVexoAbecsBlock block;
    block.SetData(std::move(AData));
    Blocks.push_back(block.Data());
    return *this;
}

SimReply& SimReply::AddTLV(uint16_t ATag, const ByteString& AValue) {
    TVexoAbecsBlockList list;
    if (!Blocks.empty()) list.AddFromData(Blocks.back());
    if (AValue.empty()) {
        // The host's packer leaves empty values out; a PIN pad that has the item says so with an
        // empty one, in the last block while it fits.
        const ByteString item = TLVWireForm(ATag, AValue);
        if (list.Count() == 0 || list.Items(list.Count() - 1).Data().size() + item.size() >
                                     static_cast<size_t>(TVexoAbecsBlock::MaxDataSize))
            list.New();
        TVexoAbecsBlock& last = list.Items(list.Count() - 1);
        last.SetData(last.Data() + item);
    } else {
        list.AddFromTagData(ATag, AValue);
    }
    if (!Blocks.empty()) Blocks.pop_back(); // the list holds it, grown
    for (int i = 0; i < list.Count(); ++i)
        Blocks.push_back(list.Items(i).Data());
    return *this;
}

ByteString SimReply::DataField() const {
    // A wrapped code would tell the host something else, 1000 would even read as success.
    if (Status < 0 || Status > kMaxStatus)
        throw EVexoAbecsPinPadError("return code " + std::to_string(Status) + " of " + Name +
                                    " does not fit in three digits");
    char status[8];
    std::snprintf(status, sizeof status, "%03d", Status);
    ByteString data = Name + status;
    for (const auto& block : Blocks)
        data += BlockWireForm(block);
    return data;
}

bool CommandParams::Read(const SimCommand& ACommand) {
    fItems.clear();
    std::vector<TVexoAbecsTLVSpan> items;
    for (const auto& block : ACommand.Blocks) {
        items.clear();
        if (SplitTLVs(block, items)) return false;
        for (const TVexoAbecsTLVSpan& item : items)
            fItems.emplace_back(item.Tag, ByteString(item.Value));
    }
    return true;
}

const ByteString* CommandParams::Find(uint16_t ATag) const {
    for (const auto& [tag, value] : fItems)
        if (tag == ATag) return &value;
    return nullptr;
}

std::vector<ByteString> CommandParams::All(uint16_t ATag) const {
    std::vector<ByteString> values;
    for (const auto& [tag, value] : fItems)
        if (tag == ATag) values.push_back(value);
    return values;
}

bool CommandParams::Byte(uint16_t ATag, int& AOut) const {
    const ByteString* value = Find(ATag);
    if (!value) return true;
    if (value->size() != 1) return false;
    AOut = static_cast<unsigned char>((*value)[0]);
    return true;
}

std::vector<std::string> MessageRows(std::string_view AText) {
    std::vector<std::string> rows;
    size_t start = 0;
    while (start < AText.size()) {
        const size_t cr = AText.find('\r', start);
        if (cr == std::string_view::npos) {
            rows.emplace_back(AText.substr(start));
            break;
        }
        rows.emplace_back(AText.substr(start, cr - start));
        start = cr + 1;
    }
    return rows;
}

std::vector<std::string> ShortMessageRows(const ByteString& ABlock) {
    std::vector<std::string> rows;
    if (!ABlock.empty()) rows.push_back(AnsiToText(ABlock.substr(0, kShortRow)));
    if (ABlock.size() > kShortRow) rows.push_back(AnsiToText(ABlock.substr(kShortRow)));
    return rows;
}

} // namespace kestrel::sim
