#include "util/CardMask.h"

#include <cstdint>
#include <vector>

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

namespace {

bool IsGroupSeparator(char c) {
    return c == ' ' || c == '-';
}

// Card numbers as people write them: groups of 3 to 6 digits parted by one or two blanks or
// dashes ("4111 1111 1111 1111", "3782-822463-10005"). Shorter groups are dates, times and
// hexadecimal pairs, longer ones are whole numbers of their own.
constexpr size_t kMinGroup = 3, kMaxGroup = 6;

struct Group {
    size_t Begin, End; // the digits
};

// The groups that follow one another from AFrom on, each separated from the last by one or two
// separator characters.
std::vector<Group> GroupsFrom(std::string_view AText, size_t AFrom) {
    std::vector<Group> groups{{AFrom, RunEnd(AText, AFrom)}};
    for (;;) {
        size_t at = groups.back().End, gap = 0;
        while (at < AText.size() && gap < 2 && IsGroupSeparator(AText[at])) {
            ++at;
            ++gap;
        }
        if (gap == 0 || at >= AText.size() || !IsDigit(AText[at])) break;
        groups.push_back({at, RunEnd(AText, at)});
    }
    return groups;
}

// Masks the digits between the first 6 and the last 4 of the groups [AFirst, ALast).
void MaskGrouped(std::string& AOut, const std::vector<Group>& AGroups, size_t AFirst, size_t ALast) {
    size_t total = 0;
    for (size_t g = AFirst; g < ALast; ++g)
        total += AGroups[g].End - AGroups[g].Begin;
    size_t index = 0;
    for (size_t g = AFirst; g < ALast; ++g)
        for (size_t k = AGroups[g].Begin; k < AGroups[g].End; ++k, ++index)
            if (index >= 6 && index + 4 < total) AOut[k] = '*';
}

} // namespace

std::string MaskCardNumbers(std::string_view AText) {
    std::string out(AText);
    size_t i = 0;
    while (i < AText.size()) {
        if (!IsDigit(AText[i])) {
            ++i;
            continue;
        }
        const std::vector<Group> groups = GroupsFrom(AText, i);
        // Each group on its own, and every stretch of groups that look like parts of one number.
        for (size_t g = 0; g < groups.size();) {
            const size_t size = groups[g].End - groups[g].Begin;
            if (size < kMinGroup || size > kMaxGroup) {
                if (size >= kPANLikeDigits)
                    out.replace(groups[g].Begin, size, MaskPAN(AText.substr(groups[g].Begin, size)));
                ++g;
                continue;
            }
            size_t last = g, digits = 0;
            for (; last < groups.size(); ++last) {
                const size_t width = groups[last].End - groups[last].Begin;
                if (width < kMinGroup || width > kMaxGroup) break;
                digits += width;
            }
            if (digits >= kPANLikeDigits) MaskGrouped(out, groups, g, last);
            g = last;
        }
        i = groups.back().End;
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

std::string MaskCardDataInText(std::string_view AText) {
    std::string out = MaskCardNumbers(AText);
    // A track 1 name is at most 26 characters; a '^' pair further apart than that is not one.
    constexpr size_t kMaxName = 26;
    for (size_t start = out.find('^'); start != std::string::npos;) {
        const size_t end = out.find('^', start + 1);
        if (end == std::string::npos) break;
        // Names are printable: a '^' pair in binary bytes holds none.
        bool printable = end - start - 1 <= kMaxName;
        for (size_t k = start + 1; printable && k < end; ++k)
            printable =
                static_cast<unsigned char>(out[k]) >= 0x20 && static_cast<unsigned char>(out[k]) < 0x7F;
        if (!printable) {
            start = end;
            continue;
        }
        for (size_t k = start + 1; k < end; ++k)
            if (out[k] != ' ' && out[k] != '/') out[k] = '*';
        start = out.find('^', end + 1);
    }
    return out;
}

} // namespace vexo
