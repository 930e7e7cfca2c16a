#include "util/NumberText.h"

#include "util/Exception.h"
#include "util/Strings.h"

#include <limits>
#include <optional>

namespace vexo {
namespace {

constexpr uint64_t kUnit = 1024;

struct Suffix {
    const char* Text;
    uint64_t Factor;
};
constexpr Suffix kSuffixes[] = {{"K", kUnit},
                                {"KB", kUnit},
                                {"M", kUnit* kUnit},
                                {"MB", kUnit* kUnit},
                                {"G", kUnit* kUnit* kUnit},
                                {"GB", kUnit* kUnit* kUnit}};

std::optional<uint64_t> SuffixFactor(std::string_view AText) {
    if (AText.empty()) return 1;
    const std::string upper = UpperCase(AText);
    for (const Suffix& suffix : kSuffixes)
        if (upper == suffix.Text) return suffix.Factor;
    return std::nullopt;
}

std::string SizeText(int64_t AValue) {
    const char* const names[] = {"G", "M", "K"};
    uint64_t factor = kUnit * kUnit * kUnit;
    const uint64_t magnitude = AValue < 0 ? 0 - static_cast<uint64_t>(AValue) : static_cast<uint64_t>(AValue);
    for (const char* name : names) {
        if (magnitude != 0 && magnitude % factor == 0)
            return (AValue < 0 ? "-" : "") + std::to_string(magnitude / factor) + name;
        factor /= kUnit;
    }
    return std::to_string(AValue);
}

std::string Quote(std::string_view AWhat, std::string_view AText) {
    return std::string(AWhat) + " = " + EscaparNaoImprimiveis(std::string(AText));
}

} // namespace

std::string DescribeRange(int64_t AMin, int64_t AMax, TNumberSuffix ASuffix) {
    if (ASuffix == TNumberSuffix::Size) return SizeText(AMin) + " to " + SizeText(AMax);
    return std::to_string(AMin) + " to " + std::to_string(AMax);
}

int64_t ParseInteger(std::string_view AText, std::string_view AWhat, int64_t AMin, int64_t AMax,
                     TNumberSuffix ASuffix) {
    const std::string range = DescribeRange(AMin, AMax, ASuffix);
    const bool negative = !AText.empty() && AText[0] == '-';
    const size_t start = negative ? 1 : 0;
    size_t end = start;
    while (end < AText.size() && AText[end] >= '0' && AText[end] <= '9')
        ++end;
    const auto factor = ASuffix == TNumberSuffix::Size ? SuffixFactor(AText.substr(end))
                                                       : std::optional<uint64_t>(end == AText.size() ? 1 : 0);
    if (end == start || !factor || *factor == 0)
        throw EConvertError(Quote(AWhat, AText) + " is not a number (" + range + ")");
    // Counted without a sign in 64 bits; past that it is out of any range an int64_t can hold.
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    uint64_t magnitude = 0;
    bool overflow = false;
    for (size_t i = start; i < end && !overflow; ++i) {
        const auto digit = static_cast<uint64_t>(AText[i] - '0');
        overflow = magnitude > (kMax - digit) / 10;
        magnitude = magnitude * 10 + digit;
    }
    overflow = overflow || (magnitude != 0 && *factor > kMax / magnitude);
    if (!overflow) magnitude *= *factor;
    const uint64_t limit = negative ? static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1
                                    : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (overflow || magnitude > limit)
        throw ERangeError(Quote(AWhat, AText) + " is out of range (" + range + ")");
    const int64_t value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    if (value < AMin || value > AMax)
        throw ERangeError(Quote(AWhat, AText) + " is out of range (" + range + ")");
    return value;
}

} // namespace vexo
