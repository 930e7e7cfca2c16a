#include "media/PngForm.h"
#include <algorithm>
#include <cctype>
#include <string>

namespace kestrel::media {

const char* PngFormName(PngForm AForm) noexcept {
    return AForm == PngForm::Rgb8 ? "rgb8" : "smallest";
}

std::optional<PngForm> ParsePngForm(std::string_view AText) {
    std::string text(AText);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (text == "smallest") return PngForm::Smallest;
    if (text == "rgb8" || text == "8-bit rgb") return PngForm::Rgb8;
    return std::nullopt;
}

} // namespace kestrel::media
