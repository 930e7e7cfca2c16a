#include "trace/MessageDecoder.h"

#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/Strings.h"

#include <algorithm>
#include <array>

namespace kestrel::trace {

using namespace vexo;

namespace {

using CommandInfo = TVexoAbecsCommandInfo;

std::string ItemName(uint16_t ATag, bool AResponse) {
    return AResponse || ATag >= 0x8000 ? PPParamName(ATag) : SPEParamName(ATag);
}

// Items of one block, the last one damaged when the run breaks off; false when the block holds
// no whole item at all.
bool ParseTLVs(std::string_view AData, size_t AOffset, bool AResponse, std::vector<DecodedTLV>& AItems) {
    std::vector<TVexoAbecsTLVSpan> spans;
    const auto fault = SplitTLVs(AData, spans, AOffset);
    for (const TVexoAbecsTLVSpan& span : spans)
        AItems.push_back({span.Tag, ItemName(span.Tag, AResponse), ByteString(span.Value), {}});
    if (!fault) return !AItems.empty();
    // What is left from the break on is shown, never dropped: the tag when its header is whole.
    const std::string_view rest = AData.substr(fault->Offset - AOffset);
    DecodedTLV damaged;
    damaged.Damage = fault->Describe();
    if (rest.size() >= 4) {
        damaged.Tag =
            static_cast<uint16_t>(static_cast<uint8_t>(rest[0]) << 8 | static_cast<uint8_t>(rest[1]));
        damaged.Name = ItemName(damaged.Tag, AResponse);
        damaged.Value = ByteString(rest.substr(4));
    } else {
        damaged.Value = ByteString(rest);
    }
    AItems.push_back(std::move(damaged));
    return false;
}

bool AllNamed(const std::vector<DecodedTLV>& AItems) {
    return std::none_of(AItems.begin(), AItems.end(),
                        [](const DecodedTLV& t) { return !t.Name.empty() && t.Name.back() == 'h'; });
}

// A block is shown as TLV items when the command is known to use them, a damaged item included;
// for a command we do not know, only when every item parses and has a name, so plain text is not
// taken apart by chance.
void DecodeBlock(const TVexoAbecsBlockSpan& ASpan, const CommandInfo* AInfo, DecodedMessage& AMessage) {
    DecodedBlock block;
    block.Data = ByteString(ASpan.Data);
    const bool known = AInfo && AInfo->TLV;
    if (known || !AInfo) {
        std::vector<DecodedTLV> items;
        const bool whole = ParseTLVs(ASpan.Data, ASpan.Offset + 3, AMessage.IsResponse, items);
        if (known && !items.empty()) {
            block.IsTLV = true;
            if (!whole && AMessage.Error.empty()) AMessage.Error = items.back().Damage;
            block.Items = std::move(items);
        } else if (whole && AllNamed(items)) {
            block.IsTLV = true;
            block.Items = std::move(items);
        }
    }
    AMessage.Blocks.push_back(std::move(block));
}

bool ThreeDigits(std::string_view AText) {
    return AText.size() == 3 && EhNumerico(AText);
}

void DecodeBlocks(std::string_view ARest, size_t AOffset, DecodedMessage& AMessage) {
    const CommandInfo* info = FindAbecsCommand(AMessage.Name);
    std::vector<TVexoAbecsBlockSpan> spans;
    const auto fault = SplitBlocks(ARest, spans, AOffset);
    for (const TVexoAbecsBlockSpan& span : spans)
        DecodeBlock(span, info, AMessage);
    if (!fault) return;
    // The bytes from the break on, length digits and all, stay in the trace as a damaged block.
    AMessage.Error = fault->Describe();
    DecodedBlock cut;
    cut.Data = ByteString(ARest.substr(fault->Offset - AOffset));
    cut.Damage = fault->Describe();
    AMessage.Blocks.push_back(std::move(cut));
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
    DecodeBlocks(AData, AResponse ? 6 : 3, message);
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
    const CommandInfo* info = FindAbecsCommand(AName);
    return info && info->Blocking;
}

std::string CommandDescription(std::string_view AName) {
    const CommandInfo* info = FindAbecsCommand(AName);
    return info ? info->Description : "";
}

bool IsDeviceInfoTag(uint16_t ATag) {
    return (ATag >= PP_SERNUM && ATag <= PP_MFSUP) || (ATag >= PP_MKTDESP && ATag <= PP_DKPTTDESD) ||
           (ATag >= PP_TRK1KSN && ATag <= PP_TRK3KSN) || ATag == PP_ENCPANKSN || ATag == PP_KSN ||
           ATag == PP_DEVTYPE || ATag == PP_TLRMEM || (ATag >= PP_KSNTDESP00 && ATag <= PP_TABVER63);
}

} // namespace kestrel::trace
