#include "trace/MessageDecoder.h"

#include "pinpad/VexoAbecsCommandTable.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/Strings.h"

#include <algorithm>
#include <array>

namespace kestrel::trace {

using namespace vexo;

namespace {

// Items of one block, or false when the block is not a well-formed TLV list.
bool ParseTLVs(std::string_view AData, bool AResponse, std::vector<DecodedTLV>& AItems) {
    size_t at = 0;
    while (at < AData.size()) {
        if (AData.size() - at < 4) return false;
        const auto byteAt = [&](size_t i) { return static_cast<uint8_t>(AData[i]); };
        const auto tag = static_cast<uint16_t>(byteAt(at) << 8 | byteAt(at + 1));
        const size_t length = static_cast<size_t>(byteAt(at + 2) << 8 | byteAt(at + 3));
        at += 4;
        if (length > AData.size() - at) return false;
        DecodedTLV item;
        item.Tag = tag;
        item.Name = AResponse || tag >= 0x8000 ? PPParamName(tag) : SPEParamName(tag);
        item.Value = ByteString(AData.substr(at, length));
        at += length;
        AItems.push_back(std::move(item));
    }
    return !AItems.empty();
}

bool AllNamed(const std::vector<DecodedTLV>& AItems) {
    return std::none_of(AItems.begin(), AItems.end(),
                        [](const DecodedTLV& t) { return !t.Name.empty() && t.Name.back() == 'h'; });
}

// A block is shown as TLV items when the command is known to use them; for a command we do not
// know, only when every item parses and has a name, so plain text is not taken apart by chance.
void DecodeBlock(std::string_view AData, const TVexoAbecsCommandInfo* AInfo, bool AResponse,
                 DecodedBlock& ABlock) {
    ABlock.Data = ByteString(AData);
    if (AInfo && !AInfo->TLV) return;
    std::vector<DecodedTLV> items;
    if (!ParseTLVs(AData, AResponse, items)) return;
    if (!AInfo && !AllNamed(items)) return;
    ABlock.IsTLV = true;
    ABlock.Items = std::move(items);
}

bool ThreeDigits(std::string_view AText) {
    return AText.size() == 3 && EhNumerico(AText);
}

void DecodeBlocks(std::string_view ARest, DecodedMessage& AMessage) {
    const TVexoAbecsCommandInfo* info = FindAbecsCommand(AMessage.Name);
    while (!ARest.empty()) {
        if (ARest.size() < 3 || !ThreeDigits(ARest.substr(0, 3))) {
            AMessage.Error = "block length is not three digits";
            return;
        }
        const size_t length = static_cast<size_t>(std::stoi(std::string(ARest.substr(0, 3))));
        ARest.remove_prefix(3);
        if (length > ARest.size()) {
            AMessage.Error =
                "block of " + std::to_string(length) + " bytes has only " + std::to_string(ARest.size());
            DecodedBlock cut;
            cut.Data = ByteString(ARest);
            AMessage.Blocks.push_back(std::move(cut));
            return;
        }
        DecodedBlock block;
        DecodeBlock(ARest.substr(0, length), info, AMessage.IsResponse, block);
        AMessage.Blocks.push_back(std::move(block));
        ARest.remove_prefix(length);
    }
}

DecodedMessage Decode(std::string_view AData, bool AResponse) {
    DecodedMessage message;
    message.IsResponse = AResponse;
    if (AData.size() < 3) {
        message.Name = std::string(AData);
        message.Error = "data field shorter than a command name";
        return message;
    }
    message.Name = std::string(AData.substr(0, 3));
    AData.remove_prefix(3);
    if (AResponse) {
        if (!ThreeDigits(AData.substr(0, 3))) {
            message.Error = "no three-digit return code";
            return message;
        }
        message.Status = std::stoi(std::string(AData.substr(0, 3)));
        message.StatusText = ReturnStatusMessage(message.Status);
        AData.remove_prefix(3);
    }
    DecodeBlocks(AData, message);
    return message;
}

} // namespace

DecodedMessage DecodeCommand(std::string_view AData) {
    return Decode(AData, false);
}

DecodedMessage DecodeResponse(std::string_view AData) {
    return Decode(AData, true);
}

bool IsBlockingCommand(std::string_view AName) {
    const TVexoAbecsCommandInfo* info = FindAbecsCommand(AName);
    return info && info->Blocking;
}

std::string CommandDescription(std::string_view AName) {
    const TVexoAbecsCommandInfo* info = FindAbecsCommand(AName);
    return info ? info->Description : "";
}

bool IsDeviceInfoTag(uint16_t ATag) {
    return (ATag >= PP_SERNUM && ATag <= PP_MFSUP) || (ATag >= PP_MKTDESP && ATag <= PP_DKPTTDESD) ||
           (ATag >= PP_TRK1KSN && ATag <= PP_TRK3KSN) || ATag == PP_ENCPANKSN || ATag == PP_KSN ||
           ATag == PP_DEVTYPE || ATag == PP_TLRMEM || (ATag >= PP_KSNTDESP00 && ATag <= PP_TABVER63);
}

} // namespace kestrel::trace
