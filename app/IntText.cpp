#include "app/IntText.h"
#include <cctype>

namespace kestrel {

namespace {

int DigitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

// Skips the hexadecimal prefix, if any, and returns the base it selects.
int TakeBase(std::string_view& s) {
    if (!s.empty() && s[0] == '$') {
        s.remove_prefix(1);
        return 16;
    }
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        return 16;
    }
    if (!s.empty() && (s[0] == 'x' || s[0] == 'X')) {
        s.remove_prefix(1);
        return 16;
    }
    return 10;
}

} // namespace

std::optional<int32_t> StrToIntOpt(std::string_view s) {
    while (!s.empty() && s[0] == ' ')
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const int base = TakeBase(s);
    if (s.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : s) {
        const int d = DigitValue(c, base);
        if (d < 0) return std::nullopt;
        value = value * base + d;
        if (value > int64_t(INT32_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t StrToIntDef(std::string_view AText, int32_t ADefault) {
    return StrToIntOpt(AText).value_or(ADefault);
}

} // namespace kestrel
