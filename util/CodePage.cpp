#include "util/CodePage.h"

#include <array>
#include <cstdint>

namespace vexo {
namespace {

// Windows-1252 bytes 80h..9Fh; 0 marks the five unassigned positions.
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t ByteToCodePoint(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) {
        char32_t cp = kHigh[b - 0x80];
        return cp ? cp : b; // unassigned bytes map to the C1 control of the same value
    }
    return b;
}

char CodePointToByte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == cp || (kHigh[i] == 0 && cp == 0x80 + i)) return static_cast<char>(0x80 + i);
    return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one code point at AText[i] and advances i; malformed input yields U+FFFD for one byte.
char32_t NextCodePoint(std::string_view AText, size_t& i) {
    const auto b0 = static_cast<unsigned char>(AText[i]);
    int extra = b0 >= 0xF0 && b0 <= 0xF4 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 ? 1 : 0;
    if (b0 < 0x80 || extra == 0 || b0 > 0xF4) {
        ++i;
        return b0 < 0x80 ? b0 : 0xFFFD;
    }
    if (i + static_cast<size_t>(extra) >= AText.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(AText[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed too.
    const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

} // namespace

ByteString TextToAnsi(std::string_view AText) {
    ByteString out;
    out.reserve(AText.size());
    for (size_t i = 0; i < AText.size();)
        out += CodePointToByte(NextCodePoint(AText, i));
    return out;
}

std::string AnsiToText(std::string_view ABytes) {
    std::string out;
    out.reserve(ABytes.size());
    for (unsigned char b : ABytes)
        AppendUtf8(out, ByteToCodePoint(b));
    return out;
}

size_t TextLength(std::string_view AText) {
    size_t n = 0;
    for (size_t i = 0; i < AText.size(); ++n)
        NextCodePoint(AText, i);
    return n;
}

} // namespace vexo
