#pragma once
#include "device/VexoDeviceClass.h"
#include "util/DeadlineReader.h"
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
    // Asks HookLeString for chunks, each for what the read still misses, with what is left of the
    // time. NumBytes first (what came of them when the time is up), then Terminador (dropped from the
    // result; nothing when the time is up), else whatever comes. Bytes a chunk holds beyond the read
    // stay for the next one.
    ByteString LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) override;

    TVexoDeviceHookAtivar fsHookAtivar;
    TVexoDeviceHookDesativar fsHookDesativar;
    TVexoDeviceHookEnviaString fsHookEnviaString;
    TVexoDeviceHookLeString fsHookLeString;

private:
    TReadStatus Pedir(ByteString& AInto, size_t AWanted, int ATimeOut);

    TDeadlineReader fsLeitor{
        [this](ByteString& AInto, size_t AWanted, int ATimeOut) { return Pedir(AInto, AWanted, ATimeOut); }};
};

} // namespace vexo
