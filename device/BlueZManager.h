#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

// A Bluetooth device as BlueZ knows it.
struct TBlueToothDeviceInfo {
    std::string Path;    // D-Bus object path
    std::string Address; // "00:11:22:33:44:55"
    std::string Name;    // the name it gave, else BlueZ's alias
    uint32_t Class = 0;  // class of device
    bool Paired = false;
    std::vector<std::string> UUIDs;
};

// The platform's Bluetooth manager: BlueZ on the system bus (sd-bus; DBUS_SYSTEM_BUS_ADDRESS points it
// elsewhere). Every call opens the bus, asks and closes it, each answer within CallTimeOut ms; a
// missing bus or a missing BlueZ reads as "no adapter".
class TBlueZManager {
public:
    // ms one D-Bus call may take.
    int CallTimeOut = 3000;
    // ms of the client socket's connect and transfers (the kind's timeout).
    int SocketTimeOut = 5000;

    // Reads the adapters and devices afresh; false when BlueZ cannot be reached.
    bool Refresh();
    bool HasAdapter() const { return !fAdapters.empty(); }
    // Some adapter is powered.
    bool Powered() const;
    // Powers the first adapter when none is; true when one is powered afterwards.
    bool Enable();
    // Paired devices, in BlueZ's object order.
    std::vector<TBlueToothDeviceInfo> PairedDevices() const;
    const std::string& LastError() const { return fLastError; }

private:
    struct TAdapter {
        std::string Path;
        bool Powered = false;
    };
    std::vector<TAdapter> fAdapters;
    std::vector<TBlueToothDeviceInfo> fDevices;
    std::string fLastError;
};

} // namespace vexo
