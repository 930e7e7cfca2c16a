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

// Masks the value of the ATag item that starts at APos; returns the position after it.
size_t MaskValueAt(ByteString& AOut, const TLogicalBytes& ABytes, uint16_t ATag, size_t APos,
                   size_t ALength) {
    std::vector<size_t> positions;
    ByteString value;
    while (value.size() < ALength && !ABytes.AtEnd(APos)) {
        positions.push_back(APos);
        value += static_cast<char>(ABytes.At(APos));
        APos += ABytes.Width(APos);
    }
    const ByteString masked = MaskCardItem(ATag, value);
    for (size_t k = 0; k < value.size(); ++k) {
        if (masked[k] == value[k]) continue;
        AOut[positions[k]] = masked[k];
        if (ABytes.Width(positions[k]) == 2) AOut[positions[k] + 1] = masked[k];
    }
    return APos;
}

} // namespace

bool IsCardDataTag(uint16_t ATag) noexcept {
    return (ATag >= PP_TRK1INC && ATag <= PP_TRACK3) || ATag == PP_PAN || ATag == PP_CHNAME;
}

ByteString MaskCardItem(uint16_t ATag, std::string_view AValue) {
    if (ATag == PP_PAN) return MaskPAN(AValue);
    if (ATag == PP_CHNAME) {
        ByteString name(AValue);
        for (char& c : name)
            if (c != ' ' && c != '/') c = '*';
        return name;
    }
    if (IsCardDataTag(ATag)) return MaskTrackData(AValue);
    return MaskCardNumbers(AValue);
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
        const auto tag = static_cast<uint16_t>(head[0] << 8 | head[1]);
        if (got == 4 && IsCardDataTag(tag)) {
            pos = MaskValueAt(out, bytes, tag, at, static_cast<size_t>(head[2] << 8 | head[3]));
            continue;
        }
        pos += bytes.Width(pos);
    }
    return MaskCardDataInText(out);
}

} // namespace vexo
