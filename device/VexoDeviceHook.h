#pragma once
#include "device/VexoDeviceClass.h"
#include <functional>
#include <string>

namespace vexo {

using TVexoDeviceHookAtivar = std::function<void(const std::string& APort, const std::string& Params)>;
using TVexoDeviceHookDesativar = std::function<void(const std::string& APort)>;
using TVexoDeviceHookEnviaString = std::function<void(const ByteString& cmd)>;
using TVexoDeviceHookLeString = std::function<void(int NumBytes, int ATimeOut, ByteString& Retorno)>;

// Hands every operation to callbacks supplied by the host program.
class TVexoDeviceHook : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceHook"; }

    TVexoDeviceHookAtivar fsHookAtivar;
    TVexoDeviceHookDesativar fsHookDesativar;
    TVexoDeviceHookEnviaString fsHookEnviaString;
    TVexoDeviceHookLeString fsHookLeString;
};

} // namespace vexo
