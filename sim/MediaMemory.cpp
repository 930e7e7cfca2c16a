#include "sim/MediaMemory.h"
#include "util/Strings.h"
#include <algorithm>
#include <cctype>

namespace kestrel::sim {

namespace {

constexpr size_t kNameSize = 8;
constexpr int kPng = 1, kJpeg = 2, kGif = 3;

// The header chunk of a PNG: its name at 12, bit depth at 24, colour type at 25.
constexpr size_t kIhdrName = 12, kIhdrDepth = 24, kIhdrColour = 25;

} // namespace

bool MediaMemory::ValidName(const ByteString& AName) {
    if (AName.size() != kNameSize) return false;
    const size_t end = AName.find_last_not_of(' ');
    if (end == std::string::npos) return false;
    return std::all_of(AName.begin(), AName.begin() + static_cast<std::ptrdiff_t>(end) + 1, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 127 && std::isalnum(byte);
    });
}

std::string MediaMemory::Key(std::string_view AName) {
    return vexo::UpperCase(vexo::Trim(AName));
}

bool MediaMemory::LooksLike(const ByteString& AData, int AType) {
    switch (AType) {
    case kPng:
        return AData.starts_with("\x89PNG\r\n\x1A\n");
    case kJpeg:
        return AData.starts_with("\xFF\xD8\xFF");
    case kGif:
        return AData.starts_with("GIF87a") || AData.starts_with("GIF89a");
    default:
        return false;
    }
}

bool MediaMemory::TruecolourPng(const ByteString& AData) {
    if (AData.size() <= kIhdrColour || AData.compare(kIhdrName, 4, "IHDR") != 0) return false;
    const int depth = static_cast<unsigned char>(AData[kIhdrDepth]);
    const int type = static_cast<unsigned char>(AData[kIhdrColour]);
    return depth == 8 && (type == 2 || type == 6);
}

const MediaFile* MediaMemory::Find(std::string_view AName) const {
    const std::string key = Key(AName);
    const auto it =
        std::find_if(fFiles.begin(), fFiles.end(), [&](const MediaFile& f) { return Key(f.Name) == key; });
    return it == fFiles.end() ? nullptr : &*it;
}

uint64_t MediaMemory::Used() const {
    uint64_t used = 0;
    for (const auto& file : fFiles)
        used += file.Data.size();
    return used;
}

void MediaMemory::Store(MediaFile AFile) {
    const std::string key = Key(AFile.Name);
    for (auto& file : fFiles)
        if (Key(file.Name) == key) {
            file = std::move(AFile);
            return;
        }
    fFiles.push_back(std::move(AFile));
}

void MediaMemory::Erase(std::string_view AName) {
    const std::string key = Key(AName);
    std::erase_if(fFiles, [&](const MediaFile& f) { return Key(f.Name) == key; });
}

void MediaMemory::Clear() {
    fFiles.clear();
    fLoad.reset();
}

} // namespace kestrel::sim
