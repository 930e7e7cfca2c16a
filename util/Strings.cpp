#include "util/Strings.h"

#include "util/CodePage.h"
#include "util/Exception.h"

#include <array>
#include <cstdio>

namespace vexo {
namespace {

const char* ControlName(unsigned char b) {
    switch (b) {
    case 0:
        return "[NUL]";
    case 1:
        return "[SOH]";
    case 2:
        return "[STX]";
    case 3:
        return "[ETX]";
    case 5:
        return "[ENQ]";
    case 6:
        return "[ACK]";
    case 8:
        return "[BS]";
    case 9:
        return "[TAB]";
    case 10:
        return "[LF]";
    case 12:
        return "[FF]";
    case 13:
        return "[CR]";
    case 17:
        return "[WAK]";
    case 21:
        return "[NAK]";
    case 27:
        return "[ESC]";
    case 28:
        return "[FS]";
    case 29:
        return "[GS]";
    default:
        return nullptr;
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Byte offset of the first ACount characters of UTF-8 text.
size_t PrefixBytes(std::string_view AText, size_t ACount) {
    size_t i = 0;
    for (size_t n = 0; n < ACount && i < AText.size(); ++n) {
        ++i;
        while (i < AText.size() && (static_cast<unsigned char>(AText[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

std::string Pad(std::string_view AText, int AWidth, char AFill, size_t ALeft) {
    const size_t width = AWidth > 0 ? static_cast<size_t>(AWidth) : 0;
    const size_t len = TextLength(AText);
    if (len >= width) return std::string(AText.substr(0, PrefixBytes(AText, width)));
    std::string out(ALeft, AFill);
    out += AText;
    out.append(width - len - ALeft, AFill);
    return out;
}

} // namespace

std::string TraduzirControles(std::string_view AData) {
    std::string out;
    out.reserve(AData.size());
    for (unsigned char b : AData) {
        if (const char* name = ControlName(b))
            out += name;
        else if (b >= 32 && b <= 126)
            out += static_cast<char>(b);
        else
            out += "[" + std::to_string(b) + "]";
    }
    return out;
}

std::string EscaparNaoImprimiveis(std::string_view AData) {
    std::string out;
    out.reserve(AData.size());
    for (unsigned char b : AData) {
        if (b >= 32 && b < 128) {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0x0F];
        }
    }
    return out;
}

ByteString InteiroParaBytes(int32_t AValue, int ACount) {
    ByteString out(ACount > 0 ? static_cast<size_t>(ACount) : 0, '\0');
    auto v = static_cast<uint32_t>(AValue);
    for (size_t i = out.size(); i-- > 0 && v != 0; v >>= 8)
        out[i] = static_cast<char>(v & 0xFF);
    return out;
}

int32_t BytesParaInteiro(std::string_view ABytes) {
    uint64_t v = 0;
    for (unsigned char b : ABytes) {
        v = (v << 8) | b;
        if (v > 0xFFFFFFFFull)
            throw EConvertError("'" + BytesParaHex(ABytes) + "' is not a valid integer value");
    }
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

ByteString HexParaBytes(std::string_view AHex) {
    const std::string hex = Trim(AHex);
    ByteString out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            throw EConvertError("'" + hex.substr(i, 2) + "' is not a valid hexadecimal value");
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

bool HexParaBytes(std::string_view AHex, ByteString& ABytes) {
    try {
        ABytes = HexParaBytes(AHex);
        return true;
    } catch (const EConvertError&) {
        ABytes.clear();
        return false;
    }
}

ByteString HexParaBytes(std::string_view AHex, const ByteString& ADefault) {
    ByteString out;
    return HexParaBytes(AHex, out) ? out : ADefault;
}

std::string BytesParaHex(std::string_view ABytes) {
    std::string out;
    out.reserve(ABytes.size() * 2);
    for (unsigned char b : ABytes) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
    }
    return out;
}

std::string CompletarDireita(std::string_view AText, int AWidth, char AFill) {
    return Pad(AText, AWidth, AFill, 0);
}

std::string CompletarEsquerda(std::string_view AText, int AWidth, char AFill) {
    const size_t len = TextLength(AText);
    const size_t left =
        AWidth > 0 && len < static_cast<size_t>(AWidth) ? static_cast<size_t>(AWidth) - len : 0;
    return Pad(AText, AWidth, AFill, left);
}

std::string Centralizar(std::string_view AText, int AWidth, char AFill) {
    const size_t len = TextLength(AText);
    const size_t left =
        AWidth > 0 && len < static_cast<size_t>(AWidth) ? (static_cast<size_t>(AWidth) - len) / 2 : 0;
    return Pad(AText, AWidth, AFill, left);
}

bool EhNumerico(std::string_view AText) {
    if (AText.empty()) return false;
    for (char c : AText)
        if (c < '0' || c > '9') return false;
    return true;
}

static bool IsAsciiAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool EhAlfanumerico(std::string_view AText) {
    for (char c : AText)
        if (!IsAsciiAlnum(c)) return false;
    return true;
}

std::string SomenteAlfaNumericos(std::string_view AText) {
    std::string out;
    for (char c : AText)
        if (IsAsciiAlnum(c)) out += c;
    return out;
}

bool EhHexadecimal(std::string_view AText) {
    for (char c : AText)
        if (HexValue(c) < 0) return false;
    return true;
}

std::string UpperCase(std::string_view AText) {
    std::string out(AText);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string LowerCase(std::string_view AText) {
    std::string out(AText);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Trim(std::string_view AText) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t b = 0, e = AText.size();
    while (b < e && blank(AText[b]))
        ++b;
    while (e > b && blank(AText[e - 1]))
        --e;
    return std::string(AText.substr(b, e - b));
}

} // namespace vexo
