#include "pinpad/VexoAbecsPacket.h"

#include "pinpad/VexoAbecsErrors.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

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

// The first AValue in [AFrom, AEnd), or AEnd.
const char* Find(const char* AFrom, const char* AEnd, uint8_t AValue) {
    const void* hit = std::memchr(AFrom, AValue, static_cast<size_t>(AEnd - AFrom));
    return hit ? static_cast<const char*>(hit) : AEnd;
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

uint16_t TVexoAbecsPacket::FrameCRC(std::string_view AData) {
    const char etb = static_cast<char>(ETB);
    return UpdateCRC(UpdateCRC(0, AData), std::string_view(&etb, 1));
}

ByteString TVexoAbecsPacket::CalcCRC(std::string_view AData) {
    const uint16_t crc = UpdateCRC(0, AData);
    return ByteString{static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
}

// Escaping 13h first and then 16h and 17h, pass by pass, gives the same bytes as mapping every byte
// on its own, because no pass inserts a byte that a later pass replaces. One cursor per escaped
// value, each advanced with memchr, lets the plain runs between them be copied whole.
ByteString TVexoAbecsPacket::StuffData(std::string_view AData) {
    const char* p = AData.data();
    const char* const end = p + AData.size();
    const char* next[3] = {Find(p, end, DC3), Find(p, end, SYN), Find(p, end, ETB)};
    ByteString out;
    out.reserve(AData.size() + AData.size() / 16 + 8);
    for (;;) {
        const size_t k = next[0] <= next[1] ? (next[0] <= next[2] ? 0 : 2) : (next[1] <= next[2] ? 1 : 2);
        const char* const q = next[k];
        out.append(p, q);
        if (q == end) break;
        out += static_cast<char>(DC3);
        out += static_cast<char>(static_cast<uint8_t>(*q) + kEscapeOffset);
        p = q + 1;
        next[k] = Find(p, end, static_cast<uint8_t>(*q));
    }
    return out;
}

// Pairs 13h 37h, 13h 36h and 13h 33h can never overlap (none of their second bytes is 13h), and
// replacing one never creates another that a later pass could still see, so one left-to-right
// scan decodes them all as the three passes would. A 13h before any other byte stays as it is;
// the CRC then decides.
ByteString TVexoAbecsPacket::UnstuffData(std::string_view AData) {
    ByteString out(AData.size(), '\0');
    char* o = out.data();
    const char* p = AData.data();
    const char* const end = p + AData.size();
    while (p < end) {
        const auto* dc3 = static_cast<const char*>(std::memchr(p, DC3, static_cast<size_t>(end - p)));
        const char* const runEnd = dc3 ? dc3 : end;
        o = std::copy(p, runEnd, o);
        if (!dc3) break;
        if (dc3 + 1 < end && IsEscapedSecond(static_cast<uint8_t>(dc3[1]))) {
            *o++ = static_cast<char>(static_cast<uint8_t>(dc3[1]) - kEscapeOffset);
            p = dc3 + 2;
        } else {
            *o++ = static_cast<char>(DC3);
            p = dc3 + 1;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

ByteString TVexoAbecsPacket::GetAsString() const {
    const ByteString stuffed = StuffData(fData);
    const uint16_t crc = FrameCRC(fData);
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
    // The limit counts data bytes, not the escaped bytes on the wire.
    if (data.size() > MaxPacketData)
        RaiseFrame(("Data Packet is Larger than " + std::to_string(MaxPacketData)).c_str());
    const uint16_t crc = FrameCRC(data);
    if (static_cast<uint8_t>(AFrame[n - 2]) != (crc >> 8) ||
        static_cast<uint8_t>(AFrame[n - 1]) != (crc & 0xFF))
        RaiseFrame("Packet has invalid CRC");
    fData = std::move(data);
}

} // namespace vexo
