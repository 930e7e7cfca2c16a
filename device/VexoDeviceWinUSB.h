#pragma once
#include "device/VexoDeviceClass.h"
#include <string>
#include <vector>

namespace vexo {

// USB kind. Until it is written it behaves as the null kind and finds no devices.
class TVexoDeviceWinUSB : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceWinUSB"; }

    virtual void AcharPortasUSB(std::vector<std::string>&) {}
    // The transfer object's log file follows the facade's ArqLOG.
    virtual void SetLogFile(const std::string&) {}
};

} // namespace vexo
