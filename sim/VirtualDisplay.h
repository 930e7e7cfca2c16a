#pragma once
#include <string>
#include <vector>

namespace kestrel::sim {

// What the cardholder sees: the text rows (UTF-8, as many as the display has) and the media
// file currently shown, if any. A picture and text do not mix: showing one clears the other.
struct VirtualDisplay {
    std::vector<std::string> Lines;
    std::string Picture; // media file name, empty when text is shown

    void Clear(int ARows) {
        Lines.assign(static_cast<size_t>(ARows > 0 ? ARows : 0), std::string());
        Picture.clear();
    }
    // A framed picture of the screen for people: one line per row, or the picture's name.
    std::string Render(int ACols) const;
};

} // namespace kestrel::sim
