#include "trace/MessageDecoder.h"

#include "pinpad/VexoAbecsTables.h"
#include "util/Strings.h"

#include <algorithm>
#include <array>

namespace kestrel::trace {

using namespace vexo;

namespace {

struct CommandInfo {
    const char* Name;
    const char* Description;
    bool TLV;      // parameters and results travel as TLV items
    bool Blocking; // waits for the cardholder
};

// The ABECS 2.x command set, the classic fixed-layout commands among it. Sorted by name.
constexpr std::array kCommands{
    CommandInfo{"CEX", "check events", true, true},
    CommandInfo{"CHP", "chip card APDU", false, false},
    CommandInfo{"CKE", "check event", false, true},
    CommandInfo{"CLO", "close session", false, false},
    CommandInfo{"CLX", "close session, extended", true, false},
    CommandInfo{"CNG", "change parameter", false, false},
    CommandInfo{"DEX", "display text, extended", false, false},
    CommandInfo{"DMF", "delete media files", true, false},
    CommandInfo{"DSI", "display image", true, false},
    CommandInfo{"DSP", "display text", false, false},
    CommandInfo{"EBX", "encrypt buffer", true, false},
    CommandInfo{"ENB", "encrypt buffer (classic)", false, false},
    CommandInfo{"FCX", "finish chip, extended", true, false},
    CommandInfo{"FNC", "finish chip", false, false},
    CommandInfo{"GCD", "get clear data", true, true},
    CommandInfo{"GCR", "get card", false, true},
    CommandInfo{"GCX", "get card, extended", true, true},
    CommandInfo{"GDU", "get DUKPT", true, false},
    CommandInfo{"GED", "get EMV data", true, true},
    CommandInfo{"GEN", "get encrypted number", false, false},
    CommandInfo{"GIN", "get information", false, false},
    CommandInfo{"GIX", "get information, extended", true, false},
    CommandInfo{"GKY", "get key", false, true},
    CommandInfo{"GOC", "go on chip", false, true},
    CommandInfo{"GOX", "go on chip, extended", true, true},
    CommandInfo{"GPN", "get PIN", false, true},
    CommandInfo{"GTK", "get tracks", true, false},
    CommandInfo{"LMF", "list media files", true, false},
    CommandInfo{"MLE", "media load end", true, false},
    CommandInfo{"MLI", "media load init", true, false},
    CommandInfo{"MLR", "media load record", true, false},
    CommandInfo{"MNU", "menu", true, true},
    CommandInfo{"OPN", "open session", false, false},
    CommandInfo{"RMC", "remove card", false, true},
    CommandInfo{"TLE", "table load end", false, false},
    CommandInfo{"TLI", "table load init", false, false},
    CommandInfo{"TLR", "table load record", false, false},
};

const CommandInfo* Find(std::string_view AName) {
    const auto it = std::lower_bound(kCommands.begin(), kCommands.end(), AName,
                                     [](const CommandInfo& c, std::string_view n) { return c.Name < n; });
    return it != kCommands.end() && it->Name == AName ? &*it : nullptr;
}

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
void DecodeBlock(std::string_view AData, const CommandInfo* AInfo, bool AResponse, DecodedBlock& ABlock) {
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
    const CommandInfo* info = Find(AMessage.Name);
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
    const CommandInfo* info = Find(AName);
    return info && info->Blocking;
}

std::string CommandDescription(std::string_view AName) {
    const CommandInfo* info = Find(AName);
    return info ? info->Description : "";
}

bool IsDeviceInfoTag(uint16_t ATag) {
    return (ATag >= PP_SERNUM && ATag <= PP_MFSUP) || (ATag >= PP_MKTDESP && ATag <= PP_DKPTTDESD) ||
           (ATag >= PP_TRK1KSN && ATag <= PP_TRK3KSN) || ATag == PP_ENCPANKSN || ATag == PP_KSN ||
           ATag == PP_DEVTYPE || ATag == PP_TLRMEM || (ATag >= PP_KSNTDESP00 && ATag <= PP_TABVER63);
}

} // namespace kestrel::trace
