#include "sim/VirtualDisplay.h"
#include "util/CardMask.h"
#include "util/Strings.h"

#include <algorithm>

namespace kestrel::sim {

namespace {

// A text cut into rows of AWidth at blanks where it can be.
std::vector<std::string> Wrap(const std::string& AText, size_t AWidth) {
    std::vector<std::string> rows;
    std::string rest = AText;
    while (AWidth > 0 && rest.size() > AWidth) {
        size_t cut = rest.rfind(' ', AWidth);
        if (cut == std::string::npos || cut == 0) cut = AWidth;
        rows.push_back(vexo::Trim(rest.substr(0, cut)));
        rest = vexo::Trim(rest.substr(cut));
    }
    rows.push_back(rest);
    return rows;
}

} // namespace

void VirtualDisplay::Show(const std::vector<std::string>& ALines, Mode AMode, int ARows) {
    Clear(ARows);
    Beneath = AMode;
    for (size_t i = 0; i < ALines.size() && i < Lines.size(); ++i)
        Lines[i] = ALines[i];
}

// The prompt on the rows above, the digits on the last row in clear, right-aligned, as PIN pads
// show them; past the width only the last digits fit.
void VirtualDisplay::DrawPrompt(int ARows, int ACols) {
    const size_t cols = static_cast<size_t>(std::max(1, ACols));
    std::vector<std::string> lines = Wrap(Prompt, cols);
    const size_t rows = std::max<size_t>(2, static_cast<size_t>(std::max(0, ARows)));
    if (lines.size() > rows - 1) lines.resize(rows - 1);
    const std::string shown = Typed.size() > cols ? Typed.substr(Typed.size() - cols) : Typed;
    lines.push_back(std::string(cols - shown.size(), ' ') + shown);
    for (size_t i = 0; i < Lines.size(); ++i)
        Lines[i] = i < lines.size() ? lines[i] : std::string();
    // A display of one row still shows the digits.
    if (Lines.size() == 1) Lines[0] = lines.back();
}

void VirtualDisplay::DrawMenu() {
    std::vector<std::string> lines = MenuTitle;
    for (size_t i = 0; i < MenuOptions.size(); ++i)
        lines.push_back(std::to_string(i + 1) + " " + MenuOptions[i]);
    for (size_t i = 0; i < Lines.size(); ++i)
        Lines[i] = i < lines.size() ? lines[i] : std::string();
}

const char* VirtualDisplay::ModeName(Mode AMode) {
    switch (AMode) {
    case Mode::Idle:
        return "idle";
    case Mode::Text:
        return "text";
    case Mode::Picture:
        return "picture";
    case Mode::Menu:
        return "menu";
    case Mode::Prompt:
        return "prompt";
    case Mode::Processing:
        return "processing";
    }
    return "?";
}

std::string VirtualDisplay::Render(int ACols) const {
    const std::string edge = "+" + std::string(static_cast<size_t>(ACols), '-') + "+\n";
    std::string out = edge;
    if (!Picture.empty()) {
        out += "|" + vexo::CompletarDireita("[picture " + Picture + "]", ACols) + "|\n";
    } else {
        for (const auto& line : Lines)
            out += "|" + vexo::CompletarDireita(line, ACols) + "|\n";
    }
    return out + edge;
}

std::string VirtualDisplay::Summary() const {
    std::string text = ModeName(What);
    if (What == Mode::Processing) text += " " + Busy + ", over " + ModeName(Beneath);
    switch (Beneath) {
    case Mode::Menu:
        text += ", option " + std::to_string(Highlight + 1) + " of " + std::to_string(MenuOptions.size()) +
                " highlighted";
        break;
    case Mode::Prompt:
        // The screen shows the digits; a summary may reach a log, so a card number stays masked.
        text += ", \"" + Prompt + "\", typed \"" + vexo::MaskCardNumbers(Typed) + "\"";
        break;
    case Mode::Picture:
        text += " " + Picture;
        break;
    default:
        break;
    }
    return text;
}

} // namespace kestrel::sim
