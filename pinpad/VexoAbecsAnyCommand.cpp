#include "pinpad/VexoAbecsAnyCommand.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Strings.h"

#include <sstream>

namespace vexo {
namespace {

constexpr size_t kTLVHeader = 4;

std::string Upper(std::string_view AText) {
    return UpperCase(AText);
}

std::optional<uint16_t> HexTag(std::string_view AHex) {
    if (AHex.empty() || AHex.size() > 4 || !EhHexadecimal(AHex)) return std::nullopt;
    return static_cast<uint16_t>(std::stoul(std::string(AHex), nullptr, 16));
}

// A TLV after a raw block starts a block of its own; otherwise it goes where the codec puts it.
void AddItem(TVexoAbecsCommand& ACommand, const TVexoAbecsAnyParam& AParam, bool AAfterRaw) {
    TVexoAbecsBlockList& blocks = ACommand.Blocks();
    if (AParam.Data.empty()) {
        // The codec skips an empty value; an item the caller named is sent, with length 0.
        const ByteString item = TVexoAbecsTLV(AParam.ID, {}).AsString();
        if (AAfterRaw || blocks.Count() == 0 ||
            blocks.Items(blocks.Count() - 1).Size() + kTLVHeader > TVexoAbecsBlock::MaxDataSize)
            blocks.New();
        TVexoAbecsBlock& last = blocks.Items(blocks.Count() - 1);
        last.SetData(last.Data() + item);
        return;
    }
    if (AAfterRaw && AParam.Data.size() <= TVexoAbecsBlock::MaxDataSize) blocks.New();
    std::stringstream stream(AParam.Data);
    ACommand.AddParamFromTagValue(AParam.ID, stream);
}

} // namespace

TVexoAbecsAnyParam TVexoAbecsAnyParam::Text(uint16_t AID, std::string_view AText) {
    ByteString bytes = TextToAnsi(AText);
    if (AnsiToText(bytes) != AText)
        throw EVexoAbecsPinPadError(SPEParamName(AID) +
                                    ": the text holds characters the code page (Windows-1252) cannot "
                                    "carry; give the value in hexadecimal");
    return {false, AID, std::move(bytes)};
}

TVexoAbecsAnyParam TVexoAbecsAnyParam::Bytes(uint16_t AID, ByteString AData) {
    return {false, AID, std::move(AData)};
}

TVexoAbecsAnyParam TVexoAbecsAnyParam::Block(ByteString AData) {
    return {true, 0, std::move(AData)};
}

TVexoAbecsAnyParam TVexoAbecsAnyParam::TextBlock(std::string_view AText) {
    ByteString bytes = TextToAnsi(AText);
    if (AnsiToText(bytes) != AText)
        throw EVexoAbecsPinPadError("block: the text holds characters the code page (Windows-1252) "
                                    "cannot carry; give the block in hexadecimal");
    return Block(std::move(bytes));
}

std::vector<TVexoAbecsAnyItem> TVexoAbecsAnyAnswer::Items() const {
    std::vector<TVexoAbecsAnyItem> items;
    for (const auto& block : Blocks)
        items.insert(items.end(), block.Items.begin(), block.Items.end());
    return items;
}

std::optional<ByteString> TVexoAbecsAnyAnswer::Value(uint16_t AID) const {
    std::optional<ByteString> value;
    for (const auto& item : Items())
        if (item.ID == AID) value = value.value_or(ByteString()) + item.Value;
    return value;
}

bool IsAbecsCommandName(std::string_view AName) {
    if (AName.size() != 3) return false;
    for (char c : AName)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

std::optional<uint16_t> AnyParamID(std::string_view AText) {
    if (AText.size() > 2 && (AText.starts_with("0x") || AText.starts_with("0X")))
        return HexTag(AText.substr(2));
    if (AText.size() > 1 && (AText.back() == 'h' || AText.back() == 'H'))
        if (auto tag = HexTag(AText.substr(0, AText.size() - 1))) return tag;
    return SPENameToTag(Upper(AText));
}

bool AnyCommandBlocks(const TVexoAbecsAnyCommand& ACommand) {
    switch (ACommand.Wait) {
    case TVexoAbecsWaitMode::wmBlocking:
        return true;
    case TVexoAbecsWaitMode::wmNotBlocking:
        return false;
    case TVexoAbecsWaitMode::wmByTable:
        break;
    }
    const TVexoAbecsCommandInfo* info = FindAbecsCommand(ACommand.Name);
    return info && info->Blocking;
}

void BuildAnyCommand(const TVexoAbecsAnyCommand& ASource, TVexoAbecsCommand& ACommand) {
    if (!IsAbecsCommandName(ASource.Name))
        throw EVexoAbecsPinPadError("\"" + ASource.Name +
                                    "\" is not a command name: three upper-case letters or digits");
    ACommand.Clear();
    ACommand.SetID(ASource.Name);
    ACommand.SetIsBlocking(AnyCommandBlocks(ASource));
    bool afterRaw = false;
    for (size_t i = 0; i < ASource.Params.size(); ++i) {
        const TVexoAbecsAnyParam& param = ASource.Params[i];
        if (param.IsBlock) {
            if (param.Data.size() > static_cast<size_t>(TVexoAbecsBlock::MaxDataSize))
                throw EVexoAbecsPinPadError("parameter " + std::to_string(i + 1) +
                                            ": a block holds at most " +
                                            std::to_string(TVexoAbecsBlock::MaxDataSize) + " bytes, not " +
                                            std::to_string(param.Data.size()));
            ACommand.AddParamFromData(param.Data);
            afterRaw = true;
        } else {
            AddItem(ACommand, param, afterRaw);
            afterRaw = false;
        }
    }
}

TVexoAbecsAnyAnswer DecodeAnyResponse(const TVexoAbecsResponse& AResponse) {
    TVexoAbecsAnyAnswer answer;
    answer.Name = AResponse.ID();
    answer.STAT = AResponse.STAT();
    const TVexoAbecsBlockList& blocks = AResponse.Blocks();
    for (int i = 0; i < blocks.Count(); ++i) {
        TVexoAbecsAnyBlock block;
        block.Data = blocks.Items(i).Data();
        TVexoAbecsTLVList list;
        try {
            list.SetAsString(block.Data);
            block.IsTLV = !block.Data.empty() && list.AsString() == block.Data;
        } catch (const EVexoAbecsPinPadError&) {
            block.IsTLV = false;
        }
        if (block.IsTLV)
            for (int k = 0; k < list.Count(); ++k)
                block.Items.push_back(
                    {list.Items(k).ID(), PPParamName(list.Items(k).ID()), list.Items(k).Data()});
        answer.Blocks.push_back(std::move(block));
    }
    return answer;
}

} // namespace vexo
