#pragma once
#include "device/USBEnumeration.h"
#include "util/DeadlineReader.h"
#include "util/Types.h"
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

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
    const ByteString& InternalBuffer() const { return FReader.Buffered(); }

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
    void OpenPath(const std::string& APath);
    // A read that ended at the end of the file or in an error: the device has gone.
    void RaiseIfGone(const TReadResult& AResult) const;
    void LogStep(const TReadStatus& AStatus, std::string_view AReceived);
    std::string NomeErro(int AErrno) const;

    TVexoUSBWinDeviceList FDevices;
    int FDeviceIndex = -1;
    int FHandle = -1;
    bool FIsTTY = false;
    std::string FInterfaceName;
    int FTimeOut = 1000;
    TDeadlineReader FReader{-1, PacketSize};
    std::string FLogFile;
    TVexoUSBHardwareType FHardwareType = htUnknown;
};

} // namespace vexo
