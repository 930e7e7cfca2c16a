#pragma once
#include "device/VexoUSBIDDataBase.h"
#include "util/Types.h"
#include <chrono>
#include <functional>
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

// Each log text with a "handled" flag; a handler that sets it keeps the line out of the log file.
using TVexoUSBLogEvent = std::function<void(const std::string& AText, bool& AHandled)>;

// Opens one USB device from the list and carries its bytes, with timeouts and a log of its own.
// Its errors are raised directly, as plain Exception.
class TVexoUSBWinDeviceAPI {
public:
    TVexoUSBWinDeviceAPI();
    ~TVexoUSBWinDeviceAPI();
    TVexoUSBWinDeviceAPI(const TVexoUSBWinDeviceAPI&) = delete;
    TVexoUSBWinDeviceAPI& operator=(const TVexoUSBWinDeviceAPI&) = delete;

    static constexpr int PacketSize = 1024;

    TVexoUSBWinDeviceList& Devices() { return FDevices; }
    int DeviceIndex() const { return FDeviceIndex; }
    const std::string& InterfaceName() const { return FInterfaceName; }
    bool IsOpen() const { return FHandle >= 0; }

    int TimeOut() const { return FTimeOut; }
    void SetTimeOut(int AValue) { FTimeOut = AValue; }
    const std::string& LogFile() const { return FLogFile; }
    void SetLogFile(const std::string& AValue) { FLogFile = AValue; }
    TVexoUSBHardwareType HardwareType() const { return FHardwareType; }
    void SetHardwareType(TVexoUSBHardwareType AValue) { FHardwareType = AValue; }
    TVexoUSBLogEvent OnLog;
    const ByteString& InternalBuffer() const { return FInternalBuffer; }

    // "USB", "USB:" + name prefix, "USB:" + path, or a path. Closes first when open.
    void Connect(const std::string& AInterfaceName);
    // The device at AIndex of the list; "Dispositivo USB num: %d não existe" when there is none.
    void Connect(int AIndex);
    void Close();

    // All of AData within ATimeOut ms (0 means TimeOut).
    void SendData(const ByteString& AData, int ATimeOut = 0);
    // Bytes received before and not yet returned, else whatever arrives within ATimeOut ms.
    ByteString ReceivePacket(int ATimeOut);
    // ABytesToRead bytes, or what arrived of them when the time is up.
    ByteString ReceiveNumBytes(int ABytesToRead, int ATimeOut);
    // The bytes before ATerminator, which is consumed; empty when the time is up (what came stays
    // buffered).
    ByteString ReceiveTerminated(const ByteString& ATerminator, int ATimeOut);
    void Purge();

    // To OnLog, then, unless handled, to LogFile as "-- <time> - <text>".
    void Log(const std::string& AText, bool ATraduz = false);

private:
    using Clock = std::chrono::steady_clock;
    void OpenPath(const std::string& APath);
    // One read into FInternalBuffer before ADeadline; false when nothing came.
    bool ReadPacket(Clock::time_point ADeadline);
    std::string NomeErro(int AErrno) const;

    TVexoUSBWinDeviceList FDevices;
    int FDeviceIndex = -1;
    int FHandle = -1;
    bool FIsTTY = false;
    std::string FInterfaceName;
    int FTimeOut = 1000;
    ByteString FInternalBuffer;
    std::string FLogFile;
    TVexoUSBHardwareType FHardwareType = htUnknown;
};

} // namespace vexo
