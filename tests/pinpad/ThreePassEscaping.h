#pragma once
// The escaping rules written out pass by pass, exactly as they are defined, to check the one-pass
// implementation against. Deliberately naive.
#include <string>
#include <string_view>

namespace kestrel::testing {

// Every occurrence, left to right, never rescanning what was inserted.
inline std::string ReplaceAll(std::string_view AText, std::string_view AFrom, std::string_view ATo) {
    std::string out;
    size_t i = 0;
    for (size_t j; (j = AText.find(AFrom, i)) != std::string_view::npos; i = j + AFrom.size()) {
        out.append(AText.substr(i, j - i));
        out.append(ATo);
    }
    out.append(AText.substr(i));
    return out;
}

inline std::string StuffThreePass(std::string_view AData) {
    std::string s = ReplaceAll(AData, "\x13", "\x13\x33");
    s = ReplaceAll(s, "\x16", "\x13\x36");
    return ReplaceAll(s, "\x17", "\x13\x37");
}

inline std::string UnstuffThreePass(std::string_view AData) {
    std::string s = ReplaceAll(AData, "\x13\x37", "\x17");
    s = ReplaceAll(s, "\x13\x36", "\x16");
    return ReplaceAll(s, "\x13\x33", "\x13");
}

} // namespace kestrel::testing
