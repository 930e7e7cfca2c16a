#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include "media/PngWriter.h"
#include <png.h>
#include <string>

// Reading goes through libpng's simplified API, which keeps its setjmp/longjmp inside the library and
// reports failures as a return value, so no C++ frame is ever jumped over.

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

vexo::ByteString EncodePng(const Picture& APicture, PngForm AForm) {
    CheckPixels(APicture, "Cannot write the PNG picture");
    return WritePngLayout(APicture, AForm);
}

} // namespace kestrel::media
