#include "device/PinPadMakers.h"
#include "device/PinPadMakersText.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceWinUSB.h"
#include "device/VexoWinUSBDevice.h"
#include "util/Strings.h"
#include <algorithm>
#include <sstream>

namespace vexo {

namespace {

std::vector<TPinPadMaker> ReadMakers() {
    std::vector<TPinPadMaker> makers;
    std::istringstream text(kPinPadMakersText);
    std::string line;
    while (std::getline(text, line)) {
        line = Trim(line);
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        makers.push_back({LowerCase(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1))});
    }
    return makers;
}

bool IsPrinterKind(int AKind) {
    return AKind == htPOSPrinter || AKind == htLabelPrinter;
}

} // namespace

const std::vector<TPinPadMaker>& PinPadMakers() {
    static const std::vector<TPinPadMaker> makers = ReadMakers();
    return makers;
}

bool IsPinPadMaker(const std::string& AVendorID) {
    const std::string id = LowerCase(AVendorID);
    const auto& makers = PinPadMakers();
    return std::any_of(makers.begin(), makers.end(), [&](const TPinPadMaker& m) { return m.VendorID == id; });
}

std::vector<std::string> PinPadMakerSerialNodes(TVexoDevice& ADevice) {
    TVexoUSBWinDeviceList& devices = ADevice.WinUSB().API().Devices();
    devices.FindUSBPrinters(htUnknown);
    std::vector<std::string> nodes;
    for (int i = 0; i < devices.Count(); ++i) {
        TVexoUSBWinDevice& device = devices[i];
        if (device.FClassGUID != "tty" || device.FDeviceInterface.empty()) continue;
        if (!IsPinPadMaker(device.FVendorID) || IsPrinterKind(device.DeviceKind())) continue;
        nodes.push_back(device.FDeviceInterface);
    }
    return nodes;
}

std::vector<std::string> PinPadCandidatePorts(TVexoDevice& ADevice, int AUltimaPorta) {
    std::vector<std::string> ports;
    ADevice.AcharPortasSeriais(ports, AUltimaPorta);
    for (const std::string& node : PinPadMakerSerialNodes(ADevice))
        if (std::find(ports.begin(), ports.end(), node) == ports.end()) ports.push_back(node);
    return ports;
}

} // namespace vexo
