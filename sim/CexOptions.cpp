#include "sim/CexOptions.h"
#include "util/Strings.h"

namespace kestrel::sim {

namespace {

constexpr size_t kOptionDigits = 6;
constexpr size_t kMaskDigits = 4;

int DigitAt(std::string_view AText, size_t AIndex) {
    return AText[AIndex] - '0';
}

} // namespace

std::optional<CexOptions> CexOptions::Parse(std::string_view AText) {
    if (AText.size() != kOptionDigits || !vexo::EhNumerico(AText)) return std::nullopt;
    const int keys = DigitAt(AText, 0), stripe = DigitAt(AText, 1), chip = DigitAt(AText, 2),
              contactless = DigitAt(AText, 3);
    if (keys > 1 || stripe > 1 || chip > 2 || contactless > 1) return std::nullopt;
    if (keys + stripe + chip + contactless == 0) return std::nullopt;
    CexOptions options;
    options.Keys = keys == 1;
    options.Stripe = stripe == 1;
    options.Chip = chip == 1 ? Slot::Insertion : chip == 2 ? Slot::Removal : Slot::Ignore;
    options.Contactless = contactless == 1;
    return options;
}

std::optional<PanMask> PanMask::Parse(std::string_view AText) {
    if (AText.size() != kMaskDigits || !vexo::EhNumerico(AText)) return std::nullopt;
    return PanMask{DigitAt(AText, 0) * 10 + DigitAt(AText, 1), DigitAt(AText, 2) * 10 + DigitAt(AText, 3)};
}

std::string PanMask::Apply(const std::string& ATrack) const {
    if (ATrack.empty()) return ATrack;
    const size_t start = ATrack[0] == 'B' || ATrack[0] == 'b' ? 1 : 0;
    size_t end = ATrack.find_first_of("^=", start);
    if (end == std::string::npos) end = ATrack.size();
    const size_t length = end - start, left = static_cast<size_t>(Left), right = static_cast<size_t>(Right);
    std::string masked = ATrack;
    for (size_t i = left; i + right < length; ++i)
        masked[start + i] = '*';
    return masked;
}

} // namespace kestrel::sim
