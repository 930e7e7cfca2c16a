#include "util/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vexo {

namespace {

// Length of the valid UTF-8 sequence at AText[i], or 0 when the bytes there are not one.
size_t Utf8Sequence(std::string_view AText, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(AText[k]); };
    const unsigned char b = byte(i);
    size_t length = 0;
    uint32_t code = 0;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        code = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        code = b & 0x07;
    } else {
        return 0;
    }
    if (i + length > AText.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string JsonQuote(std::string_view AText, const JsonStyle& AStyle) {
    std::string out;
    out.reserve(AText.size() + 2);
    out += '"';
    for (size_t i = 0; i < AText.size();) {
        const auto c = static_cast<unsigned char>(AText[i]);
        const size_t length = Utf8Sequence(AText, i);
        if (length == 0) {
            out += AStyle.LiteralReplacement ? "\xEF\xBF\xBD" : "\\ufffd";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(AText, i, length);
            i += length;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, AStyle.UpperCaseHex ? "\\u%04X" : "\\u%04x", c);
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
    return out;
}

JsonValue JsonValue::StringArray(const std::vector<std::string>& AItems) {
    JsonValue array = Array();
    for (const auto& item : AItems)
        array.Push(item);
    return array;
}

JsonValue& JsonValue::Set(const std::string& AName, JsonValue AValue) {
    for (auto& [name, value] : fMembers)
        if (name == AName) {
            value = std::move(AValue);
            return value;
        }
    fMembers.emplace_back(AName, std::move(AValue));
    return fMembers.back().second;
}

JsonValue& JsonValue::Push(JsonValue AValue) {
    fItems.push_back(std::move(AValue));
    return *this;
}

const JsonValue* JsonValue::Find(std::string_view AName) const {
    for (const auto& [name, value] : fMembers)
        if (name == AName) return &value;
    return nullptr;
}

std::string JsonValue::Serialize(const JsonStyle& AStyle) const {
    std::string out;
    Write(out, AStyle);
    return out;
}

void JsonValue::Write(std::string& AOut, const JsonStyle& AStyle) const {
    switch (fKind) {
    case Kind::Null:
        AOut += "null";
        break;
    case Kind::Bool:
        AOut += fBool ? "true" : "false";
        break;
    case Kind::Int:
        AOut += std::to_string(fInt);
        break;
    case Kind::Unsigned:
        AOut += std::to_string(fUnsigned);
        break;
    case Kind::Real: {
        // JSON has no NaN or infinity.
        if (!std::isfinite(fReal)) {
            AOut += "null";
            break;
        }
        // The shortest text that reads back as the same number: 2.12, not 2.1200000000000001.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, fReal).ptr;
        AOut.append(text, end);
        break;
    }
    case Kind::String:
        AOut += JsonQuote(fString, AStyle);
        break;
    case Kind::Array:
        AOut += '[';
        for (size_t i = 0; i < fItems.size(); ++i) {
            if (i) AOut += ',';
            fItems[i].Write(AOut, AStyle);
        }
        AOut += ']';
        break;
    case Kind::Object:
        AOut += '{';
        for (size_t i = 0; i < fMembers.size(); ++i) {
            if (i) AOut += ',';
            AOut += JsonQuote(fMembers[i].first, AStyle);
            AOut += ':';
            fMembers[i].second.Write(AOut, AStyle);
        }
        AOut += '}';
        break;
    }
}

} // namespace vexo
