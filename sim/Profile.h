#pragma once
#include "util/Types.h"
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrel::sim {

using vexo::ByteString;

// What a simulated PIN pad is: the items GIX reports, the display, the media it takes and the
// commands it serves outside a session. The display and media fields are the truth; the matching
// items (PP_CAPAB, PP_DSPTXTSZ, PP_DSPGRSZ, PP_MFSUP) are derived from them unless the profile
// sets them explicitly, which lets a test model a PIN pad that misreports itself.
struct Profile {
    enum class Screen { Text, Mono, Color };

    std::string Name = "graphic";
    std::map<uint16_t, ByteString> Items; // explicit PP_ items, tag → value
    int TextRows = 8, TextCols = 16;
    int PixelRows = 240, PixelCols = 320; // height, width
    Screen Display = Screen::Color;
    bool Contactless = true;
    bool Png = true, Jpeg = true, Gif = false;
    // The PNG forms the decoder takes: every standard one ("png_form = smallest"), or only 8-bit
    // truecolour, RGB or RGBA ("png_form = rgb8"); a file in another form is refused with 101 at MLE.
    bool PngTruecolourOnly = false;
    uint64_t MediaMemory = 8u * 1024 * 1024;
    // Commands served without an open session; every other one answers 10 outside a session.
    std::set<std::string> OpenCommands = {"OPN", "GIN", "GIX", "LMF"};
    // Seconds a GCD, MNU or CEX waits when the host sends no SPE_TIMEOUT; 0 waits for ever.
    int DefaultTimeout = 0;
    // A command that needs a session, received before OPN, opens one (ABECS 2.03 and later);
    // a strict PIN pad answers it with 10 instead.
    bool StrictSession = false;
    // Seconds a CEX that watches the contactless reader waits for a card before it reports
    // event 93 (nothing presented).
    int ContactlessTimeout = 120;
    // Milliseconds the PIN pad works on a command before it answers (times the time scale), by
    // command name; "GIX-ALL" is a GIX without an id list, which asks for every item.
    std::map<std::string, int> AnswerDelayMs;

    // Link and media rules this PIN pad breaks on purpose, each alone, so that a conformance
    // check can be shown to catch exactly the rule it checks. None is broken by default.
    struct RuleBreaks {
        bool NoEotAfterCan = false;      // break_no_eot: CAN is never confirmed with EOT
        bool IgnoreNak = false;          // break_ignore_nak: a host's NAK gets no resend
        bool AcceptBadMleCrc = false;    // break_mle_crc: MLE takes a file whose CRC does not match
        bool LeftoverAfterAbort = false; // break_leftover: the command CAN aborted answers after EOT
        bool LateEot = false;            // break_late_eot: EOT comes 3 s after CAN, past the host's wait
        bool AnswerAfterEot = false; // break_answer_after_eot: a GKY aborted by CAN answers 1.5 s after EOT
        bool Any() const {
            return NoEotAfterCan || IgnoreNak || AcceptBadMleCrc || LeftoverAfterAbort || LateEot ||
                   AnswerAfterEot;
        }
    };
    RuleBreaks Breaks;

    bool HasMedia() const { return Png || Jpeg || Gif; }
    bool IsGraphic() const { return Display != Screen::Text; }

    // The value GIX returns for AID: explicit, else derived; empty when the PIN pad has no such item.
    ByteString Item(uint16_t AID) const;
    // Every item the PIN pad reports, ascending.
    std::vector<uint16_t> ItemIds() const;

    // The answer delay of a command (GIX without SPE_IDLIST looks for "GIX-ALL" first).
    int AnswerDelay(const std::string& ACommand, bool AEveryItem = false) const;

    // Built-in profiles: "text" (2 × 16, no graphics, no media), "graphic" (the default: 320 × 240
    // colour, 8 × 16 text, PNG and JPEG), "graphic-gif" (the same, GIF accepted too), "ppc930"
    // (a Gertec PPC-930: 240 × 320 colour, 8 × 16 text, PNG and JPEG, 8 s for a GIX of every item),
    // "rule-breaker" (graphic, breaking every rule of RuleBreaks).
    static Profile TextOnly();
    static Profile Graphic();
    static Profile GraphicGif();
    static Profile Ppc930();
    // "graphic" breaking every rule of RuleBreaks.
    static Profile RuleBreaker();
    static std::vector<std::string> BuiltinNames();
    // A built-in name or a file path. Raises std::runtime_error naming the line at fault.
    static Profile Load(const std::string& ANameOrPath);
    // "key = value" lines; "base = NAME" starts from a built-in profile (default "graphic").
    static Profile Parse(const std::string& AText);
    // One key of a profile file set on this profile; raises std::runtime_error naming the key.
    void Set(const std::string& AKey, const std::string& AValue);
    // The rule names of RuleBreaks as "break_NAME" keys take them: no_eot, ignore_nak, mle_crc,
    // leftover, late_eot, answer_after_eot.
    static std::vector<std::string> BreakNames();
};

} // namespace kestrel::sim
