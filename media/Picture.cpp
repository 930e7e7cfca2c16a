#include "media/Picture.h"
#include "media/MediaError.h"
#include <string>

namespace kestrel::media {

bool Picture::Opaque() const noexcept {
    for (std::size_t i = 3; i < Pixels.size(); i += 4)
        if (Pixels[i] != 255) return false;
    return true;
}

void CheckPictureSize(long long AWidth, long long AHeight, std::size_t AMaxPixels, const char* AWhat) {
    if (AWidth < 1 || AHeight < 1)
        throw EMediaError(std::string(AWhat) + " has an invalid size (" + std::to_string(AWidth) + " x " +
                          std::to_string(AHeight) + ")");
    // Compare by division so that absurd dimensions cannot overflow the product.
    if (static_cast<unsigned long long>(AWidth) > AMaxPixels / static_cast<unsigned long long>(AHeight))
        throw EMediaError(std::string(AWhat) + " is too large (" + std::to_string(AWidth) + " x " +
                          std::to_string(AHeight) + " pixels; at most " + std::to_string(AMaxPixels) +
                          " pixels are accepted)");
}

void CheckPixels(const Picture& APicture, const char* AWhat) {
    if (APicture.Empty()) throw EMediaError(std::string(AWhat) + ": the picture is empty");
    if (APicture.Pixels.size() !=
        static_cast<std::size_t>(APicture.Width) * static_cast<std::size_t>(APicture.Height) * 4)
        throw EMediaError(std::string(AWhat) + ": the pixels do not match the picture's size");
}

Picture MakePicture(long long AWidth, long long AHeight, std::uint32_t ARGBA, std::size_t AMaxPixels) {
    CheckPictureSize(AWidth, AHeight, AMaxPixels, "The picture");
    Picture picture;
    picture.Width = static_cast<int>(AWidth);
    picture.Height = static_cast<int>(AHeight);
    const std::uint8_t rgba[4] = {static_cast<std::uint8_t>(ARGBA >> 24),
                                  static_cast<std::uint8_t>(ARGBA >> 16),
                                  static_cast<std::uint8_t>(ARGBA >> 8), static_cast<std::uint8_t>(ARGBA)};
    const std::size_t count = static_cast<std::size_t>(AWidth) * static_cast<std::size_t>(AHeight);
    picture.Pixels.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i)
        for (int c = 0; c < 4; ++c)
            picture.Pixels[i * 4 + c] = rgba[c];
    return picture;
}

} // namespace kestrel::media
