#pragma once
#include "device/VexoDeviceClass.h"

namespace vexo {

// Printer port and text file kind. Until it is written it behaves as the null kind.
class TVexoDeviceLPT : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceLPT"; }
};

} // namespace vexo
