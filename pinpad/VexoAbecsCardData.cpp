#include "pinpad/VexoAbecsCardData.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CardMask.h"
#include <vector>

namespace vexo {
namespace {

constexpr char kDC3 = 0x13;

// Byte positions read as logical bytes: a log line may hold a data field still escaped, where DC3
// followed by '3', '6' or '7' stands for one byte. Reading an unescaped field this way only ever
// shifts a value by one byte, which masks a little more, never less.
class TLogicalBytes {
public:
    explicit TLogicalBytes(std::string_view ABytes) : fBytes(ABytes) {}
    bool AtEnd(size_t APos) const { return APos >= fBytes.size(); }
    size_t Width(size_t APos) const {
        if (fBytes[APos] != kDC3 || APos + 1 >= fBytes.size()) return 1;
        const char next = fBytes[APos + 1];
        return next == '3' || next == '6' || next == '7' ? 2 : 1;
    }
    uint8_t At(size_t APos) const {
        const auto b = static_cast<uint8_t>(fBytes[APos]);
        return Width(APos) == 2 ? static_cast<uint8_t>(fBytes[APos + 1] - 0x20) : b;
    }

private:
    std::string_view fBytes;
};

// Masks the value that starts at APos as a track; returns the position after it.
size_t MaskValueAt(ByteString& AOut, const TLogicalBytes& ABytes, size_t APos, size_t ALength) {
    std::vector<size_t> positions;
    ByteString value;
    while (value.size() < ALength && !ABytes.AtEnd(APos)) {
        positions.push_back(APos);
        value += static_cast<char>(ABytes.At(APos));
        APos += ABytes.Width(APos);
    }
    const ByteString masked = MaskTrackData(value);
    for (size_t k = 0; k < value.size(); ++k) {
        if (masked[k] == value[k]) continue;
        AOut[positions[k]] = masked[k];
        if (ABytes.Width(positions[k]) == 2) AOut[positions[k] + 1] = masked[k];
    }
    return APos;
}

} // namespace

bool IsCardDataTag(uint16_t ATag) noexcept {
    return ATag == PP_TRK1INC || ATag == PP_TRK2INC || ATag == PP_TRK3INC || ATag == PP_PAN;
}

ByteString MaskItemValue(uint16_t ATag, std::string_view AValue) {
    return IsCardDataTag(ATag) ? MaskTrackData(AValue) : ByteString(AValue);
}

ByteString MaskCardData(std::string_view ABytes) {
    ByteString out(ABytes);
    const TLogicalBytes bytes(ABytes);
    size_t pos = 0;
    while (!bytes.AtEnd(pos)) {
        // Tag (two bytes), length (two bytes, high first), value.
        size_t at = pos;
        uint8_t head[4];
        int got = 0;
        for (; got < 4 && !bytes.AtEnd(at); ++got) {
            head[got] = bytes.At(at);
            at += bytes.Width(at);
        }
        if (got == 4 && IsCardDataTag(static_cast<uint16_t>(head[0] << 8 | head[1]))) {
            pos = MaskValueAt(out, bytes, at, static_cast<size_t>(head[2] << 8 | head[3]));
            continue;
        }
        pos += bytes.Width(pos);
    }
    return MaskCardNumbers(out);
}

} // namespace vexo
