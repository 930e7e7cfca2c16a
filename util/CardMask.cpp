#include "util/CardMask.h"

#include <cstdint>

namespace vexo {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

size_t RunEnd(std::string_view AText, size_t AFrom) {
    while (AFrom < AText.size() && IsDigit(AText[AFrom]))
        ++AFrom;
    return AFrom;
}

} // namespace

std::string MaskPAN(std::string_view ADigits) {
    std::string out(ADigits);
    const size_t keepHead = out.size() > 10 ? 6 : 0;
    const size_t keepTail = out.size() > 10 ? 4 : 0;
    for (size_t i = keepHead; i + keepTail < out.size(); ++i)
        if (IsDigit(out[i])) out[i] = '*';
    return out;
}

std::string MaskCardNumbers(std::string_view AText) {
    std::string out;
    out.reserve(AText.size());
    size_t i = 0;
    while (i < AText.size()) {
        if (!IsDigit(AText[i])) {
            out += AText[i++];
            continue;
        }
        const size_t end = RunEnd(AText, i);
        const std::string_view run = AText.substr(i, end - i);
        out += run.size() >= kPANLikeDigits ? MaskPAN(run) : std::string(run);
        i = end;
    }
    return out;
}

std::string MaskTrackData(std::string_view ATrack) {
    std::string out(ATrack);
    size_t i = 0;
    while (i < out.size() && !IsDigit(out[i]))
        ++i;
    const size_t panEnd = RunEnd(ATrack, i);
    out.replace(i, panEnd - i, MaskPAN(ATrack.substr(i, panEnd - i)));
    for (size_t k = panEnd; k < out.size(); ++k)
        if (IsDigit(out[k])) out[k] = '*';
    // Track 1: format code, PAN, '^', name, '^', the rest.
    const size_t nameStart = ATrack.find('^');
    if (nameStart != std::string_view::npos) {
        const size_t nameEnd = ATrack.find('^', nameStart + 1);
        const size_t stop = nameEnd == std::string_view::npos ? out.size() : nameEnd;
        for (size_t k = nameStart + 1; k < stop; ++k)
            if (out[k] != ' ' && out[k] != '/') out[k] = '*';
    }
    return out;
}

std::string MaskPackedCardNumbers(std::string_view ABytes) {
    std::string out(ABytes);
    const size_t nibbles = out.size() * 2;
    const auto nibble = [&](size_t i) {
        const auto b = static_cast<uint8_t>(out[i / 2]);
        return i % 2 == 0 ? b >> 4 : b & 0x0F;
    };
    size_t i = 0;
    while (i < nibbles) {
        if (nibble(i) > 9) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < nibbles && nibble(end) <= 9)
            ++end;
        if (end - i >= kPANLikeDigits)
            for (size_t k = i + 6; k + 4 < end; ++k) {
                auto& b = reinterpret_cast<uint8_t&>(out[k / 2]);
                b = static_cast<uint8_t>(k % 2 == 0 ? (b & 0x0F) | 0xF0 : b | 0x0F);
            }
        i = end;
    }
    return out;
}

} // namespace vexo
