#pragma once
#include "media/MediaError.h"
#include "media/Picture.h"
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::media::test {

// A private folder under the system's temporary folder, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& AName) const { return (fPath / AName).string(); }

private:
    std::filesystem::path fPath;
};

// Runs AAction and returns the EMediaError message it raised ("" when it raised none).
template <typename F> std::string ErrorOf(F AAction) {
    try {
        AAction();
    } catch (const EMediaError& e) {
        return e.Message();
    }
    return "";
}

// A picture whose every pixel differs from its neighbours (colour ramps, alpha varying when AAlpha).
Picture Gradient(int AWidth, int AHeight, bool AAlpha);

// GIF bytes written with giflib: an AWidth x AHeight screen holding one frame with the given palette
// indices (row-major), a 4-colour palette, ATransparent as transparent index (-1 for none), stored
// interlaced when AInterlace.
std::string MakeGif(int AWidth, int AHeight, const std::vector<unsigned char>& AIndices, int ATransparent,
                    bool AInterlace);

// The bytes zbarimg decodes from a picture file, or nothing when zbarimg finds no symbol or is missing.
std::optional<std::string> ZbarDecode(const std::string& APath);
bool ZbarAvailable();

} // namespace kestrel::media::test
