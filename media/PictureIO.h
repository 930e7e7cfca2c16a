#pragma once
#include "media/MediaType.h"
#include "media/Picture.h"
#include "media/PictureCodecs.h"
#include "util/Types.h"
#include <string>
#include <string_view>

namespace kestrel::media {

// A picture as read from a file or buffer: the decoded pixels, the format its bytes are in (read from
// their content) and the bytes themselves. A file in a format no PIN pad takes (BMP) has no Bytes and
// MustEncode set: it goes to the PIN pad written afresh, and Format is PNG, the form it takes by default.
struct PictureFile {
    Picture Image;
    MediaType Format = MediaType::mtPNG;
    vexo::ByteString Bytes;
    bool MustEncode = false;
};

// Decodes PNG, JPEG, GIF or BMP, whichever the bytes' signature names. EMediaError for anything else.
Picture DecodePicture(std::string_view ABytes, std::size_t AMaxPixels = kMaxPicturePixels);
PictureFile ReadPictureBytes(vexo::ByteString ABytes, std::size_t AMaxPixels = kMaxPicturePixels);
// Reads and decodes a picture file; the message of any failure names the file.
PictureFile ReadPictureFile(const std::string& APath, std::size_t AMaxPixels = kMaxPicturePixels);

// The picture in its own format: a PNG is written afresh in the smallest form (whatever depth or
// interlacing the original had); a JPEG or GIF keeps its original bytes, since recompressing a JPEG only
// loses quality and the library writes no GIF. Uploads go through PrepareUpload (UploadForm.h).
vexo::ByteString OwnFormatBytes(const PictureFile& AFile);

// Largest file read as a picture: far above any real photo, low enough that picking a huge file, or a
// device that never ends such as /dev/zero, fails at once instead of filling memory.
inline constexpr std::size_t kMaxPictureFileBytes = std::size_t{256} * 1024 * 1024;

// Whole-file reading and writing, failures as EMediaError naming the file and the system's reason.
vexo::ByteString ReadMediaFile(const std::string& APath, std::size_t AMaxBytes = kMaxPictureFileBytes);
void WriteMediaFile(const std::string& APath, std::string_view ABytes);
void SavePng(const Picture& APicture, const std::string& APath);
void SaveJpeg(const Picture& APicture, const std::string& APath, int AQuality = 90);

} // namespace kestrel::media
