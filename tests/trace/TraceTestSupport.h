#pragma once
#include "pinpad/VexoAbecsPacket.h"
#include "util/Types.h"
#include <cstdint>
#include <string>

namespace kestrel::trace::test {

using vexo::ByteString;

inline ByteString Frame(const ByteString& AData) {
    return vexo::TVexoAbecsPacket(AData).AsString();
}

inline ByteString TLV(uint16_t ATag, const ByteString& AValue) {
    ByteString out;
    out += static_cast<char>(ATag >> 8);
    out += static_cast<char>(ATag & 0xFF);
    out += static_cast<char>(AValue.size() >> 8);
    out += static_cast<char>(AValue.size() & 0xFF);
    return out + AValue;
}

inline ByteString Block(const ByteString& AData) {
    char length[8];
    std::snprintf(length, sizeof length, "%03zu", AData.size());
    return length + AData;
}

} // namespace kestrel::trace::test
