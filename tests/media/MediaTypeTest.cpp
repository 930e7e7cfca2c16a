#include "media/MediaType.h"
#include <gtest/gtest.h>

namespace kestrel::media {
namespace {

struct NameCase {
    const char* Path;
    const char* Extension;
    const char* BaseName;
    const char* MediaName;
    MediaType Type;
};

TEST(MediaFileName, NameAndTypeRulesForAPickedFile) {
    const NameCase cases[] = {
        {"Logo.PNG", ".png", "Logo", "LOGO    ", MediaType::mtPNG},
        {"/home/op/pictures/Logo.PNG", ".png", "Logo", "LOGO    ", MediaType::mtPNG},
        {"photo.jpeg", ".jpeg", "photo", "PHOTO   ", MediaType::mtJPG},
        {"scan.bmp", ".bmp", "scan", "SCAN    ", MediaType::mtJPG},
        {"ANIM.GIF", ".gif", "ANIM", "ANIM    ", MediaType::mtGIF},
        // Only ASCII letters and digits survive; a long name is cut to 8.
        {"my-new logo_2024.png", ".png", "my-new logo_2024", "MYNEWLOG", MediaType::mtPNG},
        {"Promoção.jpg", ".jpg", "Promoção", "PROMOO  ", MediaType::mtJPG},
        // Only the last dot starts the extension; dots in folders do not count.
        {"archive.tar.gif", ".gif", "archive.tar", "ARCHIVET", MediaType::mtGIF},
        {"/tmp/v1.2/README", "", "README", "README  ", MediaType::mtJPG},
        {"C:\\Pictures\\Qr01.png", ".png", "Qr01", "QR01    ", MediaType::mtPNG},
        {"---.png", ".png", "---", "        ", MediaType::mtPNG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(MediaFileExtension(c.Path), c.Extension);
        EXPECT_EQ(MediaFileBaseName(c.Path), c.BaseName);
        EXPECT_EQ(MediaNameFromFileName(c.Path), c.MediaName);
        EXPECT_EQ(MediaTypeFromFileName(c.Path), c.Type);
    }
}

TEST(MediaFileName, TypeValuesMatchThePinPadEnumeration) {
    EXPECT_EQ(static_cast<int>(MediaType::mtPNG), 0);
    EXPECT_EQ(static_cast<int>(MediaType::mtJPG), 1);
    EXPECT_EQ(static_cast<int>(MediaType::mtGIF), 2);
}

TEST(MediaContent, FormatComesFromTheSignatureAlone) {
    using namespace std::string_literals;
    EXPECT_EQ(DetectMediaType("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s), MediaType::mtPNG);
    EXPECT_EQ(DetectMediaType("\xFF\xD8\xFF\xE0"s), MediaType::mtJPG);
    EXPECT_EQ(DetectMediaType("GIF87a.."), MediaType::mtGIF);
    EXPECT_EQ(DetectMediaType("GIF89a.."), MediaType::mtGIF);
    for (const std::string& bytes :
         {""s, "\x89PNG"s, "\x89PNG\r\n\x1a\r"s, "\xFF\xD8"s, "GIF88a"s, "BM6\0\0\0"s, "hello"s})
        EXPECT_FALSE(DetectMediaType(bytes).has_value()) << vexo::ByteString(bytes);
}

} // namespace
} // namespace kestrel::media
