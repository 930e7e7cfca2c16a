#pragma once
// The frame CRC computed bit by bit, as it is defined, to check the table-driven one against.
// Deliberately naive.
#include <cstdint>
#include <string_view>

namespace kestrel::testing {

inline uint16_t BitwiseCRC(std::string_view AData) {
    uint16_t reg = 0;
    for (unsigned char byte : AData)
        for (int bit = 7; bit >= 0; --bit) {
            const bool f = ((reg >> 15) & 1) != ((byte >> bit) & 1);
            reg = static_cast<uint16_t>(reg << 1);
            if (f) reg ^= 0x1021;
        }
    return reg;
}

} // namespace kestrel::testing
