#include "media/PictureIO.h"
#include "media/MediaError.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::media {

namespace {

[[noreturn]] void FailOnFile(const char* AAction, const std::string& APath, int AErrno) {
    throw EMediaError(std::string(AAction) + " \"" + APath + "\": " + std::strerror(AErrno));
}

[[noreturn]] void FailTooLarge(const std::string& APath, std::size_t AMaxBytes) {
    throw EMediaError("The file \"" + APath + "\" is too large for a picture (more than " +
                      std::to_string(AMaxBytes) + " bytes)");
}

} // namespace

Picture DecodePicture(std::string_view ABytes, std::size_t AMaxPixels) {
    const auto format = DetectMediaType(ABytes);
    if (!format) {
        if (ABytes.empty()) throw EMediaError("The picture data is empty");
        if (IsBmp(ABytes)) return DecodeBmp(ABytes, AMaxPixels);
        throw EMediaError("The data is not a PNG, JPEG, GIF or BMP picture");
    }
    switch (*format) {
    case MediaType::mtPNG:
        return DecodePng(ABytes, AMaxPixels);
    case MediaType::mtJPG:
        return DecodeJpeg(ABytes, AMaxPixels);
    case MediaType::mtGIF:
        break;
    }
    return DecodeGif(ABytes, AMaxPixels);
}

PictureFile ReadPictureBytes(vexo::ByteString ABytes, std::size_t AMaxPixels) {
    PictureFile file;
    file.Image = DecodePicture(ABytes, AMaxPixels);
    if (const auto format = DetectMediaType(ABytes)) {
        file.Format = *format;
        file.Bytes = std::move(ABytes);
    } else {
        file.MustEncode = true;
    }
    return file;
}

PictureFile ReadPictureFile(const std::string& APath, std::size_t AMaxPixels) {
    vexo::ByteString bytes = ReadMediaFile(APath);
    try {
        return ReadPictureBytes(std::move(bytes), AMaxPixels);
    } catch (const EMediaError& e) {
        throw EMediaError("Cannot load the picture file \"" + APath + "\": " + e.Message());
    }
}

vexo::ByteString OwnFormatBytes(const PictureFile& AFile) {
    return AFile.Format == MediaType::mtPNG ? EncodePng(AFile.Image) : AFile.Bytes;
}

vexo::ByteString ReadMediaFile(const std::string& APath, std::size_t AMaxBytes) {
    const int fd = ::open(APath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) FailOnFile("Cannot open the file", APath, errno);
    struct FdCloser {
        int Fd;
        ~FdCloser() { ::close(Fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) FailOnFile("Cannot read the file", APath, errno);
    if (S_ISDIR(info.st_mode)) FailOnFile("Cannot read the file", APath, EISDIR);
    if (S_ISREG(info.st_mode) && static_cast<unsigned long long>(info.st_size) > AMaxBytes)
        FailTooLarge(APath, AMaxBytes);
    vexo::ByteString bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return bytes;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) FailOnFile("Cannot read the file", APath, errno);
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > AMaxBytes) FailTooLarge(APath, AMaxBytes);
    }
}

void WriteMediaFile(const std::string& APath, std::string_view ABytes) {
    errno = 0;
    std::ofstream out(APath, std::ios::binary | std::ios::trunc);
    if (!out) FailOnFile("Cannot create the file", APath, errno ? errno : EACCES);
    out.write(ABytes.data(), static_cast<std::streamsize>(ABytes.size()));
    out.close();
    if (!out) FailOnFile("Cannot write the file", APath, errno ? errno : EIO);
}

void SavePng(const Picture& APicture, const std::string& APath) {
    WriteMediaFile(APath, EncodePng(APicture));
}

void SaveJpeg(const Picture& APicture, const std::string& APath, int AQuality) {
    WriteMediaFile(APath, EncodeJpeg(APicture, AQuality));
}

} // namespace kestrel::media
