#include "pinpad/VexoAbecsPacket.h"

#include "pinpad/VexoAbecsErrors.h"

#include <array>

namespace vexo {
namespace {

constexpr uint16_t kPolynomial = 0x1021;
constexpr uint8_t kEscapeOffset = 0x20; // 13h, 16h, 17h travel as DC3 + "3", "6", "7"

// Slicing-by-8: Tables[k][b] is the CRC contribution of byte b followed by k zero bytes, so eight
// bytes are folded in per step instead of one.
using TCRCTables = std::array<std::array<uint16_t, 256>, 8>;

constexpr TCRCTables MakeCRCTables() {
    TCRCTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        auto crc = static_cast<uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ kPolynomial : crc << 1);
        t[0][b] = crc;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (unsigned b = 0; b < 256; ++b) {
            const uint16_t prev = t[k - 1][b];
            t[k][b] = static_cast<uint16_t>((prev << 8) ^ t[0][prev >> 8]);
        }
    return t;
}

constexpr TCRCTables kCRC = MakeCRCTables();

bool NeedsEscape(uint8_t b) {
    return b == DC3 || b == SYN || b == ETB;
}

bool IsEscapedSecond(uint8_t b) {
    return b == DC3 + kEscapeOffset || b == SYN + kEscapeOffset || b == ETB + kEscapeOffset;
}

[[noreturn]] void RaiseFrame(const char* AMessage) {
    throw EVexoAbecsPinPadError(AMessage);
}

} // namespace

uint16_t TVexoAbecsPacket::UpdateCRC(uint16_t ACRC, std::string_view AData) {
    const auto* p = reinterpret_cast<const uint8_t*>(AData.data());
    size_t n = AData.size();
    uint32_t crc = ACRC;
    for (; n >= 8; n -= 8, p += 8) {
        crc = kCRC[7][p[0] ^ (crc >> 8)] ^ kCRC[6][p[1] ^ (crc & 0xFF)] ^ kCRC[5][p[2]] ^ kCRC[4][p[3]] ^
              kCRC[3][p[4]] ^ kCRC[2][p[5]] ^ kCRC[1][p[6]] ^ kCRC[0][p[7]];
    }
    for (; n > 0; --n, ++p)
        crc = ((crc << 8) & 0xFFFF) ^ kCRC[0][(crc >> 8) ^ *p];
    return static_cast<uint16_t>(crc);
}

ByteString TVexoAbecsPacket::CalcCRC(std::string_view AData) {
    const uint16_t crc = UpdateCRC(0, AData);
    return ByteString{static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
}

// Escaping 13h first and then 16h and 17h, pass by pass, gives the same bytes as mapping every byte
// on its own, because no pass inserts a byte that a later pass replaces.
ByteString TVexoAbecsPacket::StuffData(std::string_view AData) {
    ByteString out;
    out.reserve(AData.size() + AData.size() / 8 + 4);
    for (const char c : AData) {
        const auto b = static_cast<uint8_t>(c);
        if (NeedsEscape(b)) {
            out += static_cast<char>(DC3);
            out += static_cast<char>(b + kEscapeOffset);
        } else {
            out += c;
        }
    }
    return out;
}

// Pairs 13h 37h, 13h 36h and 13h 33h can never overlap (none of their second bytes is 13h), and
// replacing one never creates another that a later pass could still see, so one left-to-right
// scan decodes them all as the three passes would. A 13h before any other byte stays as it is;
// the CRC then decides.
ByteString TVexoAbecsPacket::UnstuffData(std::string_view AData) {
    ByteString out;
    out.reserve(AData.size());
    const size_t n = AData.size();
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<uint8_t>(AData[i]);
        if (b == DC3 && i + 1 < n && IsEscapedSecond(static_cast<uint8_t>(AData[i + 1]))) {
            out += static_cast<char>(static_cast<uint8_t>(AData[++i]) - kEscapeOffset);
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

ByteString TVexoAbecsPacket::GetAsString() const {
    const ByteString stuffed = StuffData(fData);
    const uint16_t crc = UpdateCRC(UpdateCRC(0, fData), std::string_view("\x17", 1));
    ByteString frame;
    frame.reserve(stuffed.size() + 4);
    frame += static_cast<char>(SYN);
    frame += stuffed;
    frame += static_cast<char>(ETB);
    frame += static_cast<char>(crc >> 8);
    frame += static_cast<char>(crc & 0xFF);
    return frame;
}

void TVexoAbecsPacket::SetAsString(std::string_view AFrame) {
    const size_t n = AFrame.size();
    if (n < static_cast<size_t>(MinFrameSize)) RaiseFrame("Invalid Packet data");
    if (static_cast<uint8_t>(AFrame[0]) != SYN) RaiseFrame("Packet do not START with SYN");
    // Located by position: the CRC bytes after it may themselves be 17h.
    if (static_cast<uint8_t>(AFrame[n - 3]) != ETB) RaiseFrame("Packet do not have ETB");
    ByteString data = UnstuffData(AFrame.substr(1, n - 4));
    const uint16_t crc = UpdateCRC(UpdateCRC(0, data), std::string_view("\x17", 1));
    if (static_cast<uint8_t>(AFrame[n - 2]) != (crc >> 8) ||
        static_cast<uint8_t>(AFrame[n - 1]) != (crc & 0xFF))
        RaiseFrame("Packet has invalid CRC");
    fData = std::move(data);
}

} // namespace vexo
