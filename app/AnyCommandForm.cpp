#include "app/AnyCommandForm.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "trace/ValueText.h"
#include "util/Exception.h"
#include "util/Strings.h"

#include <algorithm>
#include <cctype>

namespace kestrel {

namespace {

std::string ErrorMessage(EAnyFormError::TKind AKind, bool AInBlock, size_t ARow, const std::string& AText) {
    const std::string where = (AInBlock ? "Block " : "Item ") + std::to_string(ARow);
    switch (AKind) {
    case EAnyFormError::TKind::kName:
        return "Command name \"" + AText + "\" is not three letters or digits";
    case EAnyFormError::TKind::kId:
        return where + ": \"" + AText +
               "\" is not an SPE_ name (such as SPE_DSPMSG) nor a tag such as 0x001B or 001Bh";
    case EAnyFormError::TKind::kHex:
        break;
    }
    return where + ": \"" + AText + "\" is not hexadecimal in pairs (such as 80 01)";
}

std::string Upper(std::string AText) {
    std::transform(AText.begin(), AText.end(), AText.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return AText;
}

std::string HexDigits(const std::string& AText) {
    std::string digits;
    for (char c : AText)
        if (c != ' ' && c != ':') digits += c;
    return Upper(digits);
}

vexo::ByteString HexValue(const std::string& AText, bool AInBlock, size_t ARow) {
    const std::string digits = HexDigits(AText);
    vexo::ByteString bytes;
    if (digits.size() % 2 != 0 || !vexo::HexParaBytes(digits, bytes))
        throw EAnyFormError(EAnyFormError::TKind::kHex, AInBlock, ARow + 1, AText);
    return bytes;
}

vexo::TVexoAbecsAnyParam ItemParam(const TAnyFormItem& AItem, size_t ARow) {
    const auto id = vexo::AnyParamID(AItem.Id);
    if (!id) throw EAnyFormError(EAnyFormError::TKind::kId, false, ARow + 1, AItem.Id);
    if (AItem.Hex) return vexo::TVexoAbecsAnyParam::Bytes(*id, HexValue(AItem.Value, false, ARow));
    return vexo::TVexoAbecsAnyParam::Text(*id, AItem.Value);
}

vexo::TVexoAbecsAnyParam BlockParam(const TAnyFormBlock& ABlock, size_t ARow) {
    if (ABlock.Hex) return vexo::TVexoAbecsAnyParam::Block(HexValue(ABlock.Data, true, ARow));
    return vexo::TVexoAbecsAnyParam::TextBlock(ABlock.Data);
}

bool ShellSafe(const std::string& AWord) {
    if (AWord.empty()) return false;
    return std::all_of(AWord.begin(), AWord.end(), [](unsigned char c) {
        return std::isalnum(c) ||
               std::string_view("_-=./:,+@%").find(static_cast<char>(c)) != std::string_view::npos;
    });
}

std::string Quoted(const std::string& AWord) {
    if (ShellSafe(AWord)) return AWord;
    std::string quoted = "'";
    for (char c : AWord) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// The words after "send", in the order the command takes them.
std::vector<std::string> SendWords(const TAnyCommandForm& AForm) {
    std::vector<std::string> words{AForm.Name};
    for (const auto& item : AForm.Items) {
        if (item.Hex) {
            words.push_back("--hex");
            words.push_back(item.Id + "=" + HexDigits(item.Value));
        } else {
            words.push_back(item.Id + "=" + item.Value);
        }
    }
    for (const auto& block : AForm.Blocks) {
        words.push_back(block.Hex ? "--block-hex" : "--block");
        words.push_back(block.Hex ? HexDigits(block.Data) : block.Data);
    }
    if (AForm.Blocking) words.push_back("--blocking");
    return words;
}

std::string Joined(const std::vector<std::string>& AWords) {
    std::string line;
    for (const auto& word : AWords) {
        if (!line.empty()) line += ' ';
        line += Quoted(word);
    }
    return line;
}

} // namespace

EAnyFormError::EAnyFormError(TKind AKind, bool AInBlock, size_t ARow, std::string AText)
    : vexo::Exception(ErrorMessage(AKind, AInBlock, ARow, AText)), Kind(AKind), InBlock(AInBlock), Row(ARow),
      Text(std::move(AText)) {}

std::string AnyFormName(const std::string& ABoxText) {
    const size_t start = ABoxText.find_first_not_of(' ');
    if (start == std::string::npos) return {};
    const size_t end = ABoxText.find(' ', start);
    return Upper(ABoxText.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

vexo::TVexoAbecsAnyCommand BuildAnyForm(const TAnyCommandForm& AForm) {
    if (!vexo::IsAbecsCommandName(AForm.Name))
        throw EAnyFormError(EAnyFormError::TKind::kName, false, 0, AForm.Name);
    vexo::TVexoAbecsAnyCommand command;
    command.Name = AForm.Name;
    command.Wait =
        AForm.Blocking ? vexo::TVexoAbecsWaitMode::wmBlocking : vexo::TVexoAbecsWaitMode::wmByTable;
    for (size_t i = 0; i < AForm.Items.size(); ++i)
        command.Params.push_back(ItemParam(AForm.Items[i], i));
    for (size_t i = 0; i < AForm.Blocks.size(); ++i)
        command.Params.push_back(BlockParam(AForm.Blocks[i], i));
    // Built once here, thrown away: a block too long is refused now, with the page still as typed.
    vexo::TVexoAbecsCommand scratch;
    vexo::BuildAnyCommand(command, scratch);
    return command;
}

std::string CliSendLine(const TAnyCommandForm& AForm, const std::string& APort) {
    std::vector<std::string> words{"kestrel-cli"};
    if (!APort.empty()) {
        words.push_back("--port");
        words.push_back(APort);
    }
    words.push_back("send");
    for (auto& word : SendWords(AForm))
        words.push_back(std::move(word));
    return Joined(words);
}

std::string AnyFormSummary(const TAnyCommandForm& AForm) {
    return Joined(SendWords(AForm));
}

std::vector<TAnyAnswerRow> AnyAnswerRows(const vexo::TVexoAbecsAnyAnswer& AAnswer, bool AMask) {
    std::vector<TAnyAnswerRow> rows;
    for (size_t b = 0; b < AAnswer.Blocks.size(); ++b) {
        const auto& block = AAnswer.Blocks[b];
        if (!block.IsTLV) {
            rows.push_back({"block " + std::to_string(b + 1), trace::RenderRaw(block.Data, AMask)});
            continue;
        }
        for (const auto& item : block.Items)
            rows.push_back({item.Name, trace::RenderValue(item.ID, true, item.Value, AMask)});
    }
    return rows;
}

} // namespace kestrel
