#include "sim/VirtualDisplay.h"
#include "util/CardMask.h"
#include "util/Strings.h"

namespace kestrel::sim {

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
