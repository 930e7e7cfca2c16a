#include "trace/ValueText.h"

#include "pinpad/VexoAbecsCardData.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/MessageDecoder.h"
#include "util/CardMask.h"
#include "util/CodePage.h"
#include "util/Strings.h"

namespace kestrel::trace {

using namespace vexo;

namespace {

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
        // size (4 bytes), CRC (2 bytes), type (1 byte), 3 bytes reserved
        if (AValue.size() == 10)
            return BigEndian(AValue.substr(0, 4)) + " bytes, CRC " + SpacedHex(AValue.substr(4, 2)) +
                   ", type " + BigEndian(AValue.substr(6, 1));
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
    return SpacedHex(AMask ? MaskLooseBytes(ABytes) : ByteString(ABytes));
}

bool IsTextLike(std::string_view ABytes) {
    for (const char c : ABytes)
        if (c != '\r' && c != '\n' && c != '\t' && !IsPrintable(std::string_view(&c, 1))) return false;
    return true;
}

ByteString MaskLooseBytes(std::string_view ABytes, bool APacked) {
    ByteString out = MaskCardDataInText(ABytes);
    if (APacked && !IsTextLike(out)) out = MaskPackedCardNumbers(out);
    return out;
}

ByteString MaskValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMedia) {
    const bool pinPadItem = AResponse || ATag >= 0x8000;
    if (pinPadItem && IsDeviceInfoTag(ATag)) return ByteString(AValue);
    if (pinPadItem && IsCardDataTag(ATag)) return MaskCardItem(ATag, AValue);
    ByteString out = MaskCardDataInText(AValue);
    if (!AMedia && !HasKnownLayout(ATag, AResponse) && !IsTextLike(out)) out = MaskPackedCardNumbers(out);
    return out;
}

ValueView ViewValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMask) {
    const ByteString shown = AMask ? MaskValue(ATag, AResponse, AValue) : ByteString(AValue);
    ValueView view;
    view.Meaning = AResponse ? "" : Meaning(ATag, AValue);
    view.IsText = view.Meaning.empty() && IsPrintable(shown);
    view.Shown = view.IsText ? AnsiToText(shown) : SpacedHex(shown);
    return view;
}

ValueView ViewRaw(std::string_view AData, bool AMask) {
    const ByteString data = AMask ? MaskLooseBytes(AData) : ByteString(AData);
    ValueView view;
    view.IsText = IsPrintable(data);
    view.Shown = view.IsText ? AnsiToText(data) : SpacedHex(data);
    return view;
}

bool HasKnownLayout(uint16_t ATag, bool AResponse) {
    if (AResponse) return false;
    switch (ATag) {
    case SPE_IDLIST:
    case SPE_TIMEOUT:
    case SPE_MINDIG:
    case SPE_MAXDIG:
    case SPE_MSGIDX:
    case SPE_MFINFO:
        return true;
    default:
        return false;
    }
}

namespace {

std::string Joined(const ValueView& AView) {
    if (AView.IsText) return "\"" + AView.Shown + "\"";
    return AView.Meaning.empty() ? AView.Shown : AView.Shown + " [" + AView.Meaning + "]";
}

} // namespace

std::string RenderValue(uint16_t ATag, bool AResponse, std::string_view AValue, bool AMask) {
    return Joined(ViewValue(ATag, AResponse, AValue, AMask));
}

std::string RenderRaw(std::string_view AData, bool AMask) {
    return Joined(ViewRaw(AData, AMask));
}

} // namespace kestrel::trace
