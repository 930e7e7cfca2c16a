#pragma once
// The USB vendors whose devices can be PIN pads, and the ports of theirs that are worth a try.
#include "device/VexoDevice.h"
#include <string>
#include <vector>

namespace vexo {

class TVexoDevice;

struct TPinPadMaker {
    std::string VendorID; // 4 hexadecimal digits, lower case
    std::string Name;     // as Debian's usb.ids names the vendor
};

// The makers, in the order of device/PinPadMakers.txt.
const std::vector<TPinPadMaker>& PinPadMakers();
bool IsPinPadMaker(const std::string& AVendorID);

// The serial nodes (/dev/ttyACM0...) of the PIN-pad makers' USB devices that are present. A printer
// node is never among them, whoever made it.
std::vector<std::string> PinPadMakerSerialNodes(TVexoDevice& ADevice);

// Where a PIN pad may answer: the serial ports the device finds (up to AUltimaPorta), then the makers'
// serial nodes that are not among them. Never a printer.
std::vector<std::string> PinPadCandidatePorts(TVexoDevice& ADevice,
                                              int AUltimaPorta = TVexoDevice::kUltimaPortaSerial);

} // namespace vexo
