// Received frames: parsing must never crash; an accepted frame rebuilds into one that parses back to
// the same data, and the escaping agrees with its three-pass definition.
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "tests/pinpad/ThreePassEscaping.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);

    if (TVexoAbecsPacket::StuffData(input) != kestrel::testing::StuffThreePass(input)) std::abort();
    if (TVexoAbecsPacket::UnstuffData(input) != kestrel::testing::UnstuffThreePass(input)) std::abort();
    if (TVexoAbecsPacket::UnstuffData(TVexoAbecsPacket::StuffData(input)) != input) std::abort();

    TVexoAbecsPacket packet;
    try {
        packet.SetAsString(input);
    } catch (const EVexoAbecsPinPadError&) {
        return 0;
    }
    // The limit counts data bytes before escaping.
    if (packet.Data().size() > MaxPacketData) std::abort();
    TVexoAbecsPacket again;
    again.SetAsString(packet.AsString());
    if (again.Data() != packet.Data()) std::abort();
    return 0;
}
