#pragma once
#include <string>
#include <vector>

namespace kestrel::sim {

// What the cardholder sees: the text rows (UTF-8, as many as the display has) and the media
// file currently shown, if any. A picture and text do not mix: showing one clears the other.
// Menus and digit prompts are drawn into the text rows as well, and their parts are kept apart
// for a screen that draws them itself.
struct VirtualDisplay {
    enum class Mode {
        Idle,       // nothing shown since power-up or a close without a message
        Text,       // DSP, DEX, RMC, CLO and CLX messages
        Picture,    // a media file (DSI, CLX)
        Menu,       // MNU: title, options, highlight
        Prompt,     // GCD: prompt and the digits typed so far
        Processing, // the PIN pad is working on a command (the screen beneath is in Beneath)
    };

    Mode What = Mode::Idle;
    Mode Beneath = Mode::Idle; // the screen's own mode; differs from What only while processing
    int Rows = 0, Cols = 0;    // the text display's size
    std::vector<std::string> Lines;
    std::string Picture; // media file name, empty when text is shown (bytes through Media(name))

    std::vector<std::string> MenuTitle;   // MNU's title lines
    std::vector<std::string> MenuOptions; // MNU's options, in order
    int Highlight = -1;                   // index of the highlighted option, -1 without a menu

    std::string Prompt; // GCD's prompt text
    std::string Typed;  // the digits typed so far, in clear, as the PIN pad shows them
    int MinDigits = 0, MaxDigits = 0;

    std::string Busy; // the command being processed, empty when none

    void Clear(int ARows) {
        Lines.assign(static_cast<size_t>(ARows > 0 ? ARows : 0), std::string());
        Picture.clear();
        MenuTitle.clear();
        MenuOptions.clear();
        Highlight = -1;
        Prompt.clear();
        Typed.clear();
        MinDigits = MaxDigits = 0;
    }
    // The PIN pad draws: text rows in AMode on a cleared screen of ARows rows; the prompt with the
    // digits typed so far; the menu's title and numbered options.
    void Show(const std::vector<std::string>& ALines, Mode AMode, int ARows);
    void DrawPrompt(int ARows, int ACols);
    void DrawMenu();

    // A framed picture of the screen for people: one line per row, or the picture's name.
    std::string Render(int ACols) const;
    // One line: the mode and what goes with it ("menu, option 2 of 3 highlighted").
    std::string Summary() const;

    static const char* ModeName(Mode AMode); // "idle", "text", "picture", "menu", "prompt", "processing"
};

} // namespace kestrel::sim
