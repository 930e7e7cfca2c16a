#pragma once
#include "pinpad/VexoAbecsPinPad.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vexo {

// Inserts line breaks (CR LF) so that no line is longer than AWidth where a break is possible,
// breaking at LF or ABreakChar. The text is first reduced to the code page, so each character
// counts as one position. A width of 0 or less leaves the text unwrapped.
std::string QuebrarLinhas(std::string_view AText, int32_t AWidth, char ABreakChar);

// The display layout: at most ARows lines, each followed by CR; with any alignment but alNone
// every line is exactly ACols characters. Text in and out is UTF-8.
std::string FormatDisplayText(std::string_view AMsg, int32_t ACols, int32_t ARows, TVexoAbecsMsgAlign AAlign,
                              bool AWordWrap);

// What a layout left out of a text: the characters other than blanks and line breaks that the laid
// out text does not hold, in order, and how many they are. Alignment and wrapping move and drop blanks
// only, so anything counted here is text the display will not show.
struct TDroppedText {
    size_t Count = 0;
    std::string Text; // UTF-8; the dropped runs, separated by one blank where text between them stayed
};
TDroppedText DroppedByLayout(std::string_view AText, std::string_view ALaidOut);

} // namespace vexo

namespace vexo {

// printf-style formatting for log lines and messages.
std::string Format(const char* AFormat, ...) __attribute__((format(printf, 1, 2)));

} // namespace vexo
