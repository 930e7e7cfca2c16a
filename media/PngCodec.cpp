#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include <png.h>
#include <string>

// libpng's simplified API keeps its setjmp/longjmp inside the library and reports failures as a return
// value, so no C++ frame is ever jumped over.

namespace kestrel::media {

namespace {

class PngImage {
public:
    PngImage() { fImage.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&fImage); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    png_image* operator->() { return &fImage; }
    png_image* get() { return &fImage; }
    std::string Message() const { return fImage.message[0] ? fImage.message : "unknown error"; }

private:
    png_image fImage{};
};

[[noreturn]] void Fail(const char* AWhat, const PngImage& AImage) {
    throw EMediaError(std::string(AWhat) + ": " + AImage.Message());
}

std::vector<std::uint8_t> WithoutAlpha(const Picture& APicture) {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(APicture.Pixels.size() / 4 * 3);
    for (std::size_t i = 0; i < APicture.Pixels.size(); i += 4)
        rgb.insert(rgb.end(), APicture.Pixels.begin() + static_cast<std::ptrdiff_t>(i),
                   APicture.Pixels.begin() + static_cast<std::ptrdiff_t>(i + 3));
    return rgb;
}

} // namespace

Picture DecodePng(std::string_view ABytes, std::size_t AMaxPixels) {
    PngImage image;
    if (!png_image_begin_read_from_memory(image.get(), ABytes.data(), ABytes.size()))
        Fail("Cannot read the PNG picture", image);
    CheckPictureSize(image->width, image->height, AMaxPixels, "The PNG picture");
    image->format = PNG_FORMAT_RGBA;
    Picture picture;
    picture.Width = static_cast<int>(image->width);
    picture.Height = static_cast<int>(image->height);
    picture.Pixels.resize(static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) *
                          4);
    if (!png_image_finish_read(image.get(), nullptr, picture.Pixels.data(), 0, nullptr))
        Fail("Cannot read the PNG picture", image);
    return picture;
}

vexo::ByteString EncodePng(const Picture& APicture) {
    CheckPixels(APicture, "Cannot write the PNG picture");
    const bool opaque = APicture.Opaque();
    const std::vector<std::uint8_t> rgb = opaque ? WithoutAlpha(APicture) : std::vector<std::uint8_t>();
    const void* pixels = opaque ? rgb.data() : APicture.Pixels.data();

    PngImage image;
    image->width = static_cast<png_uint_32>(APicture.Width);
    image->height = static_cast<png_uint_32>(APicture.Height);
    image->format = opaque ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(image.get(), nullptr, &size, 0, pixels, 0, nullptr))
        Fail("Cannot write the PNG picture", image);
    vexo::ByteString out(size, '\0');
    if (!png_image_write_to_memory(image.get(), out.data(), &size, 0, pixels, 0, nullptr))
        Fail("Cannot write the PNG picture", image);
    out.resize(size);
    return out;
}

} // namespace kestrel::media
