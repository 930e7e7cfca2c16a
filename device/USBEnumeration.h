#pragma once
// Owns the listing of USB devices that can carry bytes: which nodes udev knows (printer and serial
// nodes, known devices without a node), the attributes each one is named by, and how a name, path or
// port picks one of them. Opening and talking to a device is VexoWinUSBDevice's.
#include "device/VexoUSBIDDataBase.h"
#include <memory>
#include <string>
#include <vector>

namespace vexo {

// One USB device that can carry bytes: a USB printer node (/dev/usb/lp*), a USB serial node
// (/dev/ttyACM*, /dev/ttyUSB*) or a known device without a node of its own. Vendor name, model,
// kind and protocol come from the id database on first use.
class TVexoUSBWinDevice {
public:
    explicit TVexoUSBWinDevice(TVexoUSBIDDataBase& ADataBase) : FDataBase(&ADataBase) {}

    std::string FVendorID;        // 4 hexadecimal digits, lower case
    std::string FProductID;       // 4 hexadecimal digits, lower case
    std::string FDeviceInterface; // the path that opens the device
    std::string FUSBPort;         // where it hangs on the bus, "1-2.3"
    std::string FGUID;            // identity of the USB device (its sysfs path), lower case
    std::string FClassGUID;       // the node's subsystem: "usbmisc", "tty" or "usb"
    std::string FFrendlyName;     // the kernel's product string; serial nodes add " (ttyACM0)"
    std::string FHardwareID;      // "USB\VID_1753&PID_C902"
    std::string FProduct;         // the kernel's product string alone

    const std::string& VendorName();
    const std::string& ProductModel();
    int DeviceKind();
    int VexoProtocol();
    // Vendor + ", " + model, or the friendly name where that says more; see the .cpp.
    std::string DeviceName();

private:
    void LoadDescriptions();

    TVexoUSBIDDataBase* FDataBase;
    std::string FVendorName;
    std::string FProductModel;
    int FDeviceKind = 0;
    int FVexoProtocol = 0;
    bool FDescriptionsLoaded = false;
};

// Upper case, with a port part "(COM3)" or "(ttyACM0)" read as "(VCOM)": the same device keeps its
// name whichever port number the system gave it.
std::string USBNomeComparavel(const std::string& AName);
// The port part of a device name: "COM3" from "... (COM3)", "ttyACM0" from "... (ttyACM0)"; empty
// when there is none.
std::string USBPortaDoNome(const std::string& AName);

// The node a device path stands for: /dev/serial/by-id/... and by-path/... names, and any other
// link, followed to their end (/dev/ttyACM0), so they compare equal to the node's own name. A path
// that is no link, or that leads nowhere, is returned as it is.
std::string NoDoDispositivo(const std::string& APath);

// The USB devices present, with the id database.
class TVexoUSBWinDeviceList {
public:
    TVexoUSBIDDataBase& DataBase() { return FDataBase; }
    int Count() const { return static_cast<int>(FItems.size()); }
    TVexoUSBWinDevice& operator[](int AIndex) { return *FItems.at(static_cast<size_t>(AIndex)); }
    void Clear() { FItems.clear(); }

    // Clears the list and adds the printer nodes, then the serial nodes, then the devices of the
    // database without a node of their own whose kind is AHardwareType (htUnknown keeps all).
    void FindUSBPrinters(TVexoUSBHardwareType AHardwareType = htUnknown);

    // The first device whose name begins with AName (compared by USBNomeComparavel); -1 when none.
    int IndexOfName(const std::string& AName);
    // The first device whose interface path begins with APath, ignoring case; -1 when none.
    int IndexOfInterface(const std::string& APath) const;
    // The first device whose friendly name holds "(" + APort + ")", ignoring case; -1 when none.
    int IndexOfPort(const std::string& APort) const;

    TVexoUSBWinDevice& Add();

private:
    TVexoUSBIDDataBase FDataBase;
    std::vector<std::unique_ptr<TVexoUSBWinDevice>> FItems;
};

} // namespace vexo
