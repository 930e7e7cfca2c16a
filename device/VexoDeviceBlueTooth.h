#pragma once
#include "device/VexoDeviceClass.h"
#include <string>
#include <vector>

namespace vexo {

// Bluetooth kind. Until it is written it behaves as the null kind and knows no paired devices.
class TVexoDeviceBlueTooth : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceBlueTooth"; }

    virtual void AcharPortasBlueTooth(std::vector<std::string>&, bool) {}
};

} // namespace vexo
