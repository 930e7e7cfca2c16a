#include "media/MediaType.h"
#include "util/MediaName.h"

namespace kestrel::media {

namespace {

std::string_view FileNamePart(std::string_view APath) {
    // Accept both separators: names typed or pasted from the reference platform use backslashes.
    const auto slash = APath.find_last_of("/\\");
    return slash == std::string_view::npos ? APath : APath.substr(slash + 1);
}

std::string_view::size_type ExtensionStart(std::string_view AName) {
    const auto dot = AName.rfind('.');
    return dot == std::string_view::npos ? AName.size() : dot;
}

} // namespace

const char* MediaTypeName(MediaType AType) noexcept {
    switch (AType) {
    case MediaType::mtPNG:
        return "PNG";
    case MediaType::mtJPG:
        return "JPEG";
    case MediaType::mtGIF:
        return "GIF";
    }
    return "?";
}

std::optional<MediaType> DetectMediaType(std::string_view ABytes) noexcept {
    if (ABytes.starts_with(std::string_view("\x89PNG\r\n\x1a\n", 8))) return MediaType::mtPNG;
    if (ABytes.starts_with("\xFF\xD8\xFF")) return MediaType::mtJPG;
    if (ABytes.starts_with("GIF87a") || ABytes.starts_with("GIF89a")) return MediaType::mtGIF;
    return std::nullopt;
}

std::string MediaFileExtension(std::string_view APath) {
    const auto name = FileNamePart(APath);
    std::string ext(name.substr(ExtensionStart(name)));
    for (auto& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

std::string MediaFileBaseName(std::string_view APath) {
    const auto name = FileNamePart(APath);
    return std::string(name.substr(0, ExtensionStart(name)));
}

std::string MediaNameFromFileName(std::string_view APath) {
    return vexo::FormatMediaName(MediaFileBaseName(APath));
}

MediaType MediaTypeFromFileName(std::string_view APath) {
    const auto ext = MediaFileExtension(APath);
    if (ext == ".gif") return MediaType::mtGIF;
    if (ext == ".png") return MediaType::mtPNG;
    return MediaType::mtJPG;
}

} // namespace kestrel::media
