#pragma once
#include "device/VexoDeviceClass.h"
#include <functional>
#include <string>

namespace vexo {

using TVexoDeviceHookAtivar = std::function<void(const std::string& APort, const std::string& Params)>;
using TVexoDeviceHookDesativar = std::function<void(const std::string& APort)>;
using TVexoDeviceHookEnviaString = std::function<void(const ByteString& cmd)>;
using TVexoDeviceHookLeString = std::function<void(int NumBytes, int ATimeOut, ByteString& Retorno)>;

// Hands every operation to callbacks supplied by the host program. A callback left empty makes its
// operation do nothing: no send, an empty read.
class TVexoDeviceHook : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;
    const char* ClassName() const override { return "TVexoDeviceHook"; }

    // HookAtivar gets the port and the full serial parameter string.
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    // HookDesativar gets the port of the last Conectar.
    void Desconectar(bool IgnorarErros = true) override;
    void EnviaString(const ByteString& AString) override;
    // Asks HookLeString for chunks until NumBytes (at least 1) have come, or, with a terminator and
    // no NumBytes, until what came ends with the terminator (dropped from the result); or until the
    // timeout has passed.
    ByteString LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) override;

    TVexoDeviceHookAtivar fsHookAtivar;
    TVexoDeviceHookDesativar fsHookDesativar;
    TVexoDeviceHookEnviaString fsHookEnviaString;
    TVexoDeviceHookLeString fsHookLeString;
};

} // namespace vexo
