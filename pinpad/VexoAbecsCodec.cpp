#include "pinpad/VexoAbecsCodec.h"

#include "pinpad/VexoAbecsErrors.h"
#include "util/Strings.h"

#include <cstdio>

namespace vexo {
namespace {

constexpr std::size_t kBlockDigits = 3;
constexpr std::size_t kTLVHeader = 4;
constexpr std::size_t kMaxBlockData = 999;
constexpr std::size_t kMaxTLVValue = 995;

uint16_t WordAt(std::string_view AData, std::size_t AOffset) {
    return static_cast<uint16_t>((static_cast<unsigned char>(AData[AOffset]) << 8) |
                                 static_cast<unsigned char>(AData[AOffset + 1]));
}

std::string Plural(std::size_t ACount, const char* AWord) {
    return std::to_string(ACount) + " " + AWord + (ACount == 1 ? "" : "s");
}

std::string HexTag(uint16_t ATag) {
    char text[8];
    std::snprintf(text, sizeof text, "%04Xh", ATag);
    return text;
}

TVexoAbecsCodecFault Fault(std::size_t AOffset, std::string AWhat) {
    return TVexoAbecsCodecFault{AOffset, std::move(AWhat)};
}

} // namespace

std::string TVexoAbecsCodecFault::Describe() const {
    return "at byte " + std::to_string(Offset) + ": " + What;
}

std::optional<TVexoAbecsCodecFault> SplitBlocks(std::string_view AData,
                                                std::vector<TVexoAbecsBlockSpan>& ABlocks, std::size_t ABase,
                                                TVexoAbecsEmptyBlocks AEmpty) {
    std::size_t p = 0;
    while (p < AData.size()) {
        const std::size_t left = AData.size() - p;
        if (left < kBlockDigits)
            return Fault(ABase + p,
                         "block length cut short: " + Plural(left, "byte") + " left, a length takes 3");
        const std::string_view digits = AData.substr(p, kBlockDigits);
        if (!EhNumerico(digits))
            return Fault(ABase + p, "block length \"" + EscaparNaoImprimiveis(ByteString(digits)) +
                                        "\" is not three digits");
        const std::size_t length =
            static_cast<std::size_t>((digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0'));
        if (length == 0 && AEmpty == TVexoAbecsEmptyBlocks::Refuse) return Fault(ABase + p, "empty block");
        const std::size_t follow = left - kBlockDigits;
        if (length > follow)
            return Fault(ABase + p, "block announces " + Plural(length, "byte") + ", " +
                                        std::to_string(follow) + " follow");
        ABlocks.push_back({ABase + p, AData.substr(p + kBlockDigits, length)});
        p += kBlockDigits + length;
    }
    return std::nullopt;
}

std::optional<TVexoAbecsCodecFault> SplitTLVs(std::string_view AData, std::vector<TVexoAbecsTLVSpan>& AItems,
                                              std::size_t ABase) {
    std::size_t p = 0;
    while (p < AData.size()) {
        const std::size_t left = AData.size() - p;
        if (left < kTLVHeader)
            return Fault(ABase + p,
                         "TLV header cut short: " + Plural(left, "byte") + " left, a header takes 4");
        const uint16_t tag = WordAt(AData, p);
        const std::size_t length = WordAt(AData, p + 2);
        const std::size_t follow = left - kTLVHeader;
        if (length > follow)
            return Fault(ABase + p, "TLV " + HexTag(tag) + " announces " + Plural(length, "byte") + ", " +
                                        std::to_string(follow) + " follow");
        AItems.push_back({ABase + p, tag, AData.substr(p + kTLVHeader, length)});
        p += kTLVHeader + length;
    }
    return std::nullopt;
}

ByteString TLVWireForm(uint16_t ATag, std::string_view AValue) {
    // The length field has 16 bits: a longer value would corrupt everything after it.
    if (AValue.size() > 0xFFFF)
        throw EVexoAbecsPinPadError("TLV is Larger then " + std::to_string(kMaxTLVValue) + " bytes");
    ByteString out;
    out.reserve(kTLVHeader + AValue.size());
    out += static_cast<char>(ATag >> 8);
    out += static_cast<char>(ATag & 0xFF);
    out += static_cast<char>((AValue.size() >> 8) & 0xFF);
    out += static_cast<char>(AValue.size() & 0xFF);
    out += AValue;
    return out;
}

ByteString BlockWireForm(std::string_view AData) {
    // Three digits cannot say more: a longer block would go out with a length that lies.
    if (AData.size() > kMaxBlockData)
        throw EVexoAbecsPinPadError("Block is Larger then " + std::to_string(kMaxBlockData) + " bytes");
    char digits[8];
    std::snprintf(digits, sizeof digits, "%.3d", static_cast<int>(AData.size()));
    return digits + ByteString(AData);
}

} // namespace vexo
