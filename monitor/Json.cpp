#include "monitor/Json.h"

#include <cstdio>

namespace kestrel::monitor {

namespace {

// Length of the well-formed UTF-8 sequence at AAt, or 0 when there is none.
size_t SequenceLength(std::string_view AText, size_t AAt) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(AText[i]); };
    const uint8_t lead = byte(AAt);
    size_t length;
    uint32_t low = 0x80, high = 0xBF; // range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else
        return 0;
    if (AAt + length > AText.size()) return 0;
    if (byte(AAt + 1) < low || byte(AAt + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(AAt + i) < 0x80 || byte(AAt + i) > 0xBF) return 0;
    return length;
}

} // namespace

std::string JsonString(std::string_view AText) {
    std::string out = "\"";
    out.reserve(AText.size() + 2);
    size_t i = 0;
    while (i < AText.size()) {
        const char c = AText[i];
        const auto b = static_cast<uint8_t>(c);
        if (b >= 0x80) {
            const size_t length = SequenceLength(AText, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD"; // U+FFFD
                ++i;
            } else {
                out.append(AText, i, length);
                i += length;
            }
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
            if (b < 0x20 || b == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", b);
                out += escape;
            } else {
                out += c;
            }
        }
        ++i;
    }
    return out + "\"";
}

void JsonObject::Key(std::string_view AKey) {
    if (fText.size() > 1) fText += ',';
    fText += JsonString(AKey);
    fText += ':';
}

JsonObject& JsonObject::Add(std::string_view AKey, std::string_view AText) {
    Key(AKey);
    fText += JsonString(AText);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view AKey, int64_t ANumber) {
    Key(AKey);
    fText += std::to_string(ANumber);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view AKey, uint64_t ANumber) {
    Key(AKey);
    fText += std::to_string(ANumber);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view AKey, bool AFlag) {
    Key(AKey);
    fText += AFlag ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view AKey, std::string_view AJson) {
    Key(AKey);
    fText += AJson;
    return *this;
}

JsonArray& JsonArray::AddRaw(std::string_view AJson) {
    if (fText.size() > 1) fText += ',';
    fText += AJson;
    return *this;
}

} // namespace kestrel::monitor
