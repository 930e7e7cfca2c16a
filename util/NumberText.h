#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vexo {

// Whether a number read from text may carry a size suffix: K, M or G (KB, MB, GB too, any letter
// case) multiply by 1024, 1024² and 1024³.
enum class TNumberSuffix { None, Size };

// The whole of AText as a decimal integer from AMin to AMax (an optional minus sign, then digits,
// then the suffix when ASuffix allows one). Nothing wraps: a number too large for any integer is
// out of range like any other. Raises EConvertError when AText is not such a number and
// ERangeError when it lies outside the range; both messages name AWhat and the range.
int64_t ParseInteger(std::string_view AText, std::string_view AWhat, int64_t AMin, int64_t AMax,
                     TNumberSuffix ASuffix = TNumberSuffix::None);

// "0 to 4G", "1 to 99": the range as the error messages give it (sizes in the largest suffix that
// divides them).
std::string DescribeRange(int64_t AMin, int64_t AMax, TNumberSuffix ASuffix = TNumberSuffix::None);

} // namespace vexo
