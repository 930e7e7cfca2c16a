// Outside text through kestrel-cli: a session script of any bytes is split into words or refused
// with a line number, never anything else; and any bytes quoted for JSON come out as valid UTF-8
// with no raw control character, so every object the program prints parses.
#include "cli/Commands.h"
#include "cli/Session.h"
#include "util/Json.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrel::cli;

namespace {

// Length of the UTF-8 sequence at i, 0 when it is not one (the strict rules: no overlong forms, no
// surrogates, nothing past U+10FFFF).
size_t Sequence(const std::string& AText, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(AText[k]); };
    if (b(i) < 0x80) return 1;
    size_t length = b(i) >= 0xF0 ? 4 : b(i) >= 0xE0 ? 3 : b(i) >= 0xC2 ? 2 : 0;
    if (length == 0 || b(i) > 0xF4 || i + length > AText.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    if (length == 3 && b(i) == 0xE0 && b(i + 1) < 0xA0) return 0;
    if (length == 3 && b(i) == 0xED && b(i + 1) >= 0xA0) return 0;
    if (length == 4 && b(i) == 0xF0 && b(i + 1) < 0x90) return 0;
    if (length == 4 && b(i) == 0xF4 && b(i + 1) >= 0x90) return 0;
    return length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string text(reinterpret_cast<const char*>(AData), ASize);
    try {
        int last = 0;
        for (const ScriptLine& line : ParseScript(text)) {
            if (line.Number <= last || line.Words.empty()) std::abort();
            last = line.Number;
        }
    } catch (const BadArguments& e) {
        if (std::string(e.what()).find("line ") == std::string::npos) std::abort();
    }
    const std::string quoted = vexo::JsonQuote(text);
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') std::abort();
    for (size_t i = 0; i < quoted.size();) {
        const size_t length = Sequence(quoted, i);
        if (length == 0 || static_cast<unsigned char>(quoted[i]) < 0x20) std::abort();
        // Inside the quotes a '"' is always escaped.
        if (quoted[i] == '"' && i != 0 && i != quoted.size() - 1 && quoted[i - 1] != '\\') std::abort();
        i += length;
    }
    return 0;
}
