#pragma once
#include "util/Types.h"
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::sim {

using vexo::ByteString;

struct MediaFile {
    std::string Name; // 8 bytes as the host sent it
    ByteString Data;
    int Type = 0; // 1 PNG, 2 JPEG, 3 GIF
};

// The PIN pad's media memory: the files it keeps and the one a host is loading. Names are
// compared as the PIN pad compares them: without the trailing blanks, in any letter case.
class MediaMemory {
public:
    // A file announced by MLI, growing with every MLR until MLE ends it.
    struct Load {
        std::string Name;
        uint32_t Size = 0;
        uint16_t CRC = 0;
        int Type = 0;
        ByteString Data;
    };

    // A media name as hosts send it: 8 bytes, letters and digits, then blanks, at least one
    // letter or digit.
    static bool ValidName(const ByteString& AName);
    static std::string Key(std::string_view AName);
    // The file starts as a file of AType does (its signature).
    static bool LooksLike(const ByteString& AData, int AType);
    // A PNG whose header declares 8-bit truecolour (colour type 2 or 6), the only form the
    // decoders of some PIN pads take.
    static bool TruecolourPng(const ByteString& AData);

    const std::vector<MediaFile>& Files() const { return fFiles; }
    const MediaFile* Find(std::string_view AName) const;
    uint64_t Used() const;
    // Keeps AFile, in place of a file of the same name.
    void Store(MediaFile AFile);
    void Erase(std::string_view AName);
    void Clear();

    std::optional<Load>& Loading() { return fLoad; }

private:
    std::vector<MediaFile> fFiles;
    std::optional<Load> fLoad;
};

} // namespace kestrel::sim
