#include "MediaTestSupport.h"
#include <cstdio>
#include <cstdlib>
#include <gif_lib.h>
#include <stdexcept>

namespace kestrel::media::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-media-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    fPath = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
}

Picture Gradient(int AWidth, int AHeight, bool AAlpha) {
    Picture picture = MakePicture(AWidth, AHeight);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x) {
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = static_cast<std::uint8_t>(x * 7);
            p[1] = static_cast<std::uint8_t>(y * 11);
            p[2] = static_cast<std::uint8_t>((x + y) * 5);
            p[3] = AAlpha ? static_cast<std::uint8_t>(x * 13 + y) : 255;
        }
    return picture;
}

namespace {

int WriteToString(GifFileType* AGif, const GifByteType* ABytes, int ALength) {
    static_cast<std::string*>(AGif->UserData)
        ->append(reinterpret_cast<const char*>(ABytes), static_cast<size_t>(ALength));
    return ALength;
}

void Check(bool AOk, const char* AStep) {
    if (!AOk) throw std::runtime_error(std::string("giflib failed at ") + AStep);
}

} // namespace

std::string MakeGif(int AWidth, int AHeight, const std::vector<unsigned char>& AIndices, int ATransparent,
                    bool AInterlace) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToString, &error);
    Check(gif != nullptr, "open");
    const GifColorType colours[4] = {{0, 0, 0}, {255, 255, 255}, {200, 30, 40}, {10, 120, 250}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    Check(EGifPutScreenDesc(gif, AWidth, AHeight, 2, 0, map) == GIF_OK, "screen");
    if (ATransparent >= 0) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, ATransparent};
        GifByteType block[4];
        EGifGCBToExtension(&control, block);
        Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK, "extension");
    }
    Check(EGifPutImageDesc(gif, 0, 0, AWidth, AHeight, AInterlace, nullptr) == GIF_OK, "image");
    // Interlaced lines go out in pass order.
    std::vector<int> order;
    if (AInterlace) {
        for (int pass = 0, start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2}; pass < 4; ++pass)
            for (int y = start[pass]; y < AHeight; y += step[pass])
                order.push_back(y);
    } else {
        for (int y = 0; y < AHeight; ++y)
            order.push_back(y);
    }
    std::vector<GifPixelType> line(static_cast<size_t>(AWidth));
    for (int y : order) {
        for (int x = 0; x < AWidth; ++x)
            line[static_cast<size_t>(x)] = AIndices[static_cast<size_t>(y * AWidth + x)];
        Check(EGifPutLine(gif, line.data(), AWidth) == GIF_OK, "line");
    }
    GifFreeMapObject(map);
    Check(EGifCloseFile(gif, &error) == GIF_OK, "close");
    return out;
}

bool ZbarAvailable() {
    return std::system("command -v zbarimg >/dev/null 2>&1") == 0;
}

std::optional<std::string> ZbarDecode(const std::string& APath) {
    // timeout bounds the wait should zbarimg ever stall.
    const std::string command = "timeout 30 zbarimg -q --raw -Sbinary '" + APath + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return out;
}

} // namespace kestrel::media::test
