// The display: DSP, DEX and RMC, and how the model draws on the virtual display.
#include "pinpad/VexoAbecsTables.h"
#include "sim/PinPadModel.h"
#include "util/CodePage.h"
#include "util/Strings.h"

namespace kestrel::sim {

using namespace vexo;

namespace {

constexpr size_t kShortMessage = 32;   // DSP and RMC: two rows of 16
constexpr size_t kMaxDexMessage = 160; // whatever the display's size
constexpr size_t kDexLengthDigits = 3;

// The text of a DEX block: three digits that give the length of what follows; none when they do
// not agree with it.
std::optional<std::string_view> DexText(const ByteString& ABlock) {
    if (ABlock.size() < kDexLengthDigits) return std::nullopt;
    const std::string_view digits = std::string_view(ABlock).substr(0, kDexLengthDigits);
    if (!EhNumerico(digits)) return std::nullopt;
    const auto length =
        static_cast<size_t>((digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0'));
    if (length != ABlock.size() - kDexLengthDigits) return std::nullopt;
    return std::string_view(ABlock).substr(kDexLengthDigits);
}

} // namespace

PinPadModel::Answer PinPadModel::DSP(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return SimReply("DSP", ST_MANDAT);
    if (ACommand.Blocks.size() > 1 || ACommand.Blocks[0].size() > kShortMessage)
        return SimReply("DSP", ST_INVPAR);
    ShowText(ShortMessageRows(ACommand.Blocks[0]));
    return SimReply("DSP", ST_OK);
}

PinPadModel::Answer PinPadModel::DEX(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return SimReply("DEX", ST_MANDAT);
    const auto text = DexText(ACommand.Blocks[0]);
    if (ACommand.Blocks.size() > 1 || !text || text->size() > kMaxDexMessage)
        return SimReply("DEX", ST_INVPAR);
    std::vector<std::string> lines;
    for (const auto& line : MessageRows(*text)) {
        if (line.size() > size_t(fProfile.TextCols)) return SimReply("DEX", ST_INVPAR);
        lines.push_back(AnsiToText(line));
    }
    if (lines.size() > size_t(fProfile.TextRows)) return SimReply("DEX", ST_INVPAR);
    ShowText(lines);
    return SimReply("DEX", ST_OK);
}

PinPadModel::Answer PinPadModel::RMC(const SimCommand& ACommand) {
    if (ACommand.Blocks.empty()) return SimReply("RMC", ST_MANDAT);
    if (ACommand.Blocks.size() > 1 || ACommand.Blocks[0].size() > kShortMessage)
        return SimReply("RMC", ST_INVPAR);
    ShowText(ShortMessageRows(ACommand.Blocks[0]));
    if (!fCardInserted) return SimReply("RMC", ST_OK);
    StartWait("RMC", 0);
    return std::nullopt;
}

void PinPadModel::ShowText(const std::vector<std::string>& ALines, VirtualDisplay::Mode AMode) {
    fDisplay.Show(ALines, AMode, fProfile.TextRows);
    Touch();
}

void PinPadModel::ShowPrompt() {
    fDisplay.DrawPrompt(fProfile.TextRows, fProfile.TextCols);
    Touch();
}

void PinPadModel::ShowMenu() {
    fDisplay.DrawMenu();
    Touch();
}

void PinPadModel::ShowPicture(const MediaFile& AFile) {
    ShowText({}, VirtualDisplay::Mode::Picture);
    fDisplay.Picture = AFile.Name;
}

} // namespace kestrel::sim
