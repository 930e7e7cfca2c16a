#pragma once
#include "device/VexoDeviceClass.h"
#include <string>
#include <vector>

namespace vexo {

// Raw printer queue kind. Until it is written it behaves as the null kind and knows no printers.
class TVexoDeviceRaw : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceRaw"; }

    // Position of the exact name among the installed printers, -1 when absent.
    virtual int GetLabelPrinterIndex(const std::string&) { return -1; }
    virtual void AcharPortasRAW(std::vector<std::string>&) {}
};

} // namespace vexo
