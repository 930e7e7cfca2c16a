#pragma once
#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include <cstdint>
#include <string_view>

namespace kestrel::media::fuzz {

// A lower pixel limit than the library's keeps each run fast; the limit check itself is the same code.
constexpr std::size_t kFuzzMaxPixels = std::size_t{1} << 18;

// One libFuzzer input through one decoder: refusal by EMediaError is fine, anything else that is wrong
// with the result traps.
inline int FuzzDecoder(Picture (*ADecode)(std::string_view, std::size_t), const std::uint8_t* AData,
                       std::size_t ASize) {
    const std::string_view bytes(reinterpret_cast<const char*>(AData), ASize);
    try {
        const Picture picture = ADecode(bytes, kFuzzMaxPixels);
        const std::size_t expected =
            static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 4;
        if (picture.Empty() || picture.Pixels.size() != expected) __builtin_trap();
        // Whatever decodes must survive our own PNG writer, in either form, and come back unchanged.
        if (expected <= (std::size_t{1} << 16) * 4)
            for (PngForm form : {PngForm::Smallest, PngForm::Rgb8})
                if (DecodePng(EncodePng(picture, form)).Pixels != picture.Pixels) __builtin_trap();
    } catch (const EMediaError&) {
    }
    return 0;
}

} // namespace kestrel::media::fuzz
