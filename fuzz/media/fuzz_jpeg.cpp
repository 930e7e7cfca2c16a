#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include <cstdint>
#include <string_view>

using namespace kestrel::media;

// A lower pixel limit than the library's keeps each run fast; the limit check itself is the same code.
constexpr std::size_t kFuzzMaxPixels = std::size_t{1} << 18;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const std::string_view bytes(reinterpret_cast<const char*>(AData), ASize);
    try {
        const Picture picture = DecodeJpeg(bytes, kFuzzMaxPixels);
        const std::size_t expected =
            static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 4;
        if (picture.Empty() || picture.Pixels.size() != expected) __builtin_trap();
        // Whatever decodes must survive our own PNG writer and come back unchanged.
        if (expected <= (std::size_t{1} << 16) * 4 && DecodePng(EncodePng(picture)).Pixels != picture.Pixels)
            __builtin_trap();
    } catch (const EMediaError&) {
    }
    return 0;
}
