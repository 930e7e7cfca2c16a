// The USB id database a user may put beside the program, and the device names built from it and
// from what the kernel reports: any text loads, every lookup answers or raises our own error, and
// a name with a port part always compares as "(VCOM)".
#include "device/VexoWinUSBDevice.h"
#include "util/Exception.h"
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string input(reinterpret_cast<const char*>(AData), ASize);
    // The first eight bytes are the ids looked up; all of it is the database text and the friendly name.
    const std::string vendor = input.substr(0, 4), product = input.size() > 4 ? input.substr(4, 4) : "";
    struct TFile {
        std::string name = "/tmp/fuzz_usbid." + std::to_string(::getpid()) + ".ini";
        ~TFile() { ::unlink(name.c_str()); }
    };
    static const TFile scratch;
    const std::string& file = scratch.name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << input;

    TVexoUSBWinDeviceList list;
    try {
        list.DataBase().SetFileName(file);
        std::string v, m;
        int k = 0, p = 0;
        list.DataBase().FindDeviceByID(vendor, product, v, m, k, p);
    } catch (const Exception&) {
    }
    TVexoUSBWinDevice& device = list.Add();
    device.FVendorID = vendor;
    device.FProductID = product;
    device.FFrendlyName = input;
    const std::string name = device.DeviceName();
    if (name.empty()) std::abort();
    if (!USBPortaDoNome(input).empty() && USBNomeComparavel(input).find("(VCOM)") == std::string::npos)
        std::abort();
    if (list.IndexOfName(name) != 0) std::abort();
    return 0;
}
