// Raw bytes from a host, straight into the device side of the link: frames, control bytes,
// noise and everything in between. Whatever arrives, the simulator answers only with whole
// frames and single control bytes.
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"
#include "sim/MemoryChannel.h"
#include "sim/Simulator.h"

#include <cstdint>
#include <cstdlib>

using namespace kestrel::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    MemoryChannel channel;
    auto host = channel.Host();
    PinPadModel model(Profile::Graphic());
    Cardholder cardholder;
    FaultPlan faults;
    Simulator simulator(channel, model, cardholder, faults);
    simulator.Receive(ByteString(reinterpret_cast<const char*>(AData), ASize));
    ByteString out = host.TakeAll();
    // Split what came back into control bytes and frames; each frame must check.
    size_t p = 0;
    while (p < out.size()) {
        const char c = out[p];
        if (c == '\x06' || c == '\x15' || c == '\x04') {
            ++p;
            continue;
        }
        if (c != '\x16') std::abort();
        const size_t etb = out.find('\x17', p);
        if (etb == std::string::npos || etb + 3 > out.size()) std::abort();
        vexo::TVexoAbecsPacket packet;
        try {
            packet.SetAsString(out.substr(p, etb + 3 - p));
        } catch (const vexo::EVexoAbecsPinPadError&) {
            std::abort();
        }
        p = etb + 3;
    }
    return 0;
}
