#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrel::media {

// Largest picture the library decodes or makes. PIN-pad displays are a few hundred pixels wide; this
// still admits any camera photo an operator might pick while keeping a hostile header from making us
// allocate gigabytes.
inline constexpr std::size_t kMaxPicturePixels = std::size_t{64} * 1024 * 1024;

// A decoded picture: Width x Height pixels, 4 bytes each in the order red, green, blue, alpha (alpha not
// premultiplied, 255 = opaque), rows top to bottom without padding. An empty picture has no pixels.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;

    bool Empty() const noexcept { return Width <= 0 || Height <= 0; }
    std::uint8_t* PixelAt(int x, int y) noexcept { return Pixels.data() + Offset(x, y); }
    const std::uint8_t* PixelAt(int x, int y) const noexcept { return Pixels.data() + Offset(x, y); }
    // True when no pixel is transparent, so the picture can be written without an alpha channel.
    bool Opaque() const noexcept;

private:
    std::size_t Offset(int x, int y) const noexcept {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)) *
               4;
    }
};

// A Width x Height picture filled with one colour (opaque white unless told otherwise). Raises
// EMediaError when either side is below 1 or the pixel count exceeds AMaxPixels.
Picture MakePicture(long long AWidth, long long AHeight, std::uint32_t ARGBA = 0xFFFFFFFFu,
                    std::size_t AMaxPixels = kMaxPicturePixels);

// Raises EMediaError naming AWhat when APicture is empty or its pixel buffer does not match its size,
// so that writers and the scaler never read past the pixels.
void CheckPixels(const Picture& APicture, const char* AWhat);

// Checks declared dimensions before anything is allocated for them; raises EMediaError naming AWhat.
void CheckPictureSize(long long AWidth, long long AHeight, std::size_t AMaxPixels, const char* AWhat);

} // namespace kestrel::media
