// Parameter strings, port names and [HOST:]PORT addresses: any input either parses or raises one of our own
// errors, and what a parameter string renders parses back to the same rendering.
#include "device/VexoDevice.h"
#include "device/VexoDeviceTCP.h"
#include "util/HostPort.h"
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string input(reinterpret_cast<const char*>(AData), ASize);
    TVexoDevice device;
    try {
        device.SetParamsString(input);
        const std::string rendered = device.DeviceToString(false);
        TVexoDevice again;
        again.SetParamsString(rendered);
        if (again.DeviceToString(false) != rendered) std::abort();
    } catch (const Exception&) {
    }
    // Names that would touch the file system or the network are left to the tests.
    if (input.find('/') == std::string::npos) {
        device.DeduzirTipoPorta(input);
        std::string host, port;
        TVexoDeviceTCP::SepararHostPorta(input, host, port);
        if (port.empty()) std::abort();
    }
    // An address the one [HOST:]PORT reader takes is written back so that it reads the same again.
    for (const bool portName : {false, true}) {
        const THostPortRules rules{portName ? "" : "127.0.0.1", !portName,
                                   portName ? uint16_t(9100) : uint16_t(0)};
        try {
            const THostPort parsed = ParseHostPort(input, rules);
            const THostPort again = ParseHostPort(parsed.Text(), rules);
            if (again.Host != parsed.Host || again.Port != parsed.Port) std::abort();
        } catch (const EHostPortError&) {
        }
    }
    return 0;
}
