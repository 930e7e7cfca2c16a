#pragma once
#include "device/BlueZManager.h"
#include <string>

namespace vexo {

// The serial-port service of Bluetooth devices.
inline constexpr const char* kSerialPortServiceUUID = "00001101-0000-1000-8000-00805F9B34FB";

// A connected RFCOMM stream to the service AServiceUUID of ADevice, its channel taken from the
// device's service records (SDP); -1 with errno set when it cannot be had within ATimeOutMs.
int ConnectRFCOMM(const TBlueToothDeviceInfo& ADevice, const std::string& AServiceUUID, int ATimeOutMs);

} // namespace vexo
