#include "trace/ValueText.h"

#include "pinpad/VexoAbecsTables.h"
#include "trace/MessageDecoder.h"
#include "util/CardMask.h"
#include "util/CodePage.h"
#include "util/Strings.h"

namespace kestrel::trace {

using namespace vexo;

namespace {

std::string Quoted(std::string_view ABytes) {
    return "\"" + AnsiToText(ABytes) + "\"";
}

std::string BigEndian(std::string_view ABytes) {
    uint64_t value = 0;
    for (const char c : ABytes)
        value = value << 8 | static_cast<uint8_t>(c);
    return std::to_string(value);
}

// What a binary parameter means, or empty when we know no more than its bytes.
std::string Meaning(uint16_t ATag, std::string_view AValue) {
    switch (ATag) {
    case SPE_IDLIST: {
        if (AValue.size() % 2 != 0) return "odd length";
        std::string names;
        for (size_t i = 0; i < AValue.size(); i += 2) {
            const auto id = static_cast<uint16_t>(static_cast<uint8_t>(AValue[i]) << 8 |
                                                  static_cast<uint8_t>(AValue[i + 1]));
            names += (names.empty() ? "" : " ") + PPParamName(id);
        }
        return names;
    }
    case SPE_TIMEOUT:
        return AValue.size() <= 2 ? BigEndian(AValue) + " s" : "";
    case SPE_MINDIG:
    case SPE_MAXDIG:
    case SPE_MSGIDX:
        return AValue.size() <= 2 ? BigEndian(AValue) : "";
    case SPE_MFINFO:
        // type, size (4 bytes), CRC (2 bytes)
        if (AValue.size() == 7)
            return "type " + BigEndian(AValue.substr(0, 1)) + ", " + BigEndian(AValue.substr(1, 4)) +
                   " bytes, CRC " + SpacedHex(AValue.substr(5, 2));
        return "";
    default:
        return "";
    }
}

} // namespace

bool IsPrintable(std::string_view ABytes) {
    for (const char c : ABytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x20 || b == 0x7F || (b >= 0x80 && b < 0xA0)) return false;
    }
    return true;
}

std::string SpacedHex(std::string_view ABytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(ABytes.size() * 3);
    for (const char c : ABytes) {
        if (!text.empty()) text += ' ';
        text += digits[static_cast<uint8_t>(c) >> 4];
        text += digits[static_cast<uint8_t>(c) & 15];
    }
    return text;
}

std::string HexBytes(std::string_view ABytes, bool AMask) {
    if (!AMask) return SpacedHex(ABytes);
    // A card number held in binary-coded decimal reads as a run of digits in hexadecimal: mask the
    // runs before the pairs are spaced, or the blanks would hide them.
    const std::string plain = MaskCardNumbers(BytesParaHex(MaskCardNumbers(ABytes)));
    std::string text;
    text.reserve(plain.size() * 3 / 2);
    for (size_t i = 0; i < plain.size(); i += 2) {
        if (i) text += ' ';
        text.append(plain, i, 2);
    }
    return text;
}

std::string RenderValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMask) {
    const bool card = IsCardDataTag(ATag) && (AResponse || ATag >= 0x8000);
    const ByteString shown = !AMask ? ByteString(AValue)
                             : card ? MaskCardItem(ATag, AValue)
                                    : MaskCardNumbers(AValue);
    const std::string meaning = AResponse ? "" : Meaning(ATag, AValue);
    if (meaning.empty() && IsPrintable(shown)) return Quoted(shown);
    const std::string hex = HexBytes(shown, AMask);
    return meaning.empty() ? hex : hex + " [" + meaning + "]";
}

std::string RenderRaw(std::string_view AData, bool AMask) {
    const ByteString data = AMask ? MaskCardNumbers(AData) : ByteString(AData);
    if (IsPrintable(data)) return Quoted(data);
    return HexBytes(data, AMask);
}

} // namespace kestrel::trace
