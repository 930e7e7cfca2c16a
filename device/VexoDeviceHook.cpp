#include "device/VexoDeviceHook.h"
#include "device/VexoDevice.h"
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace vexo {

void TVexoDeviceHook::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    if (fsHookAtivar) fsHookAtivar(APorta, Owner().DeviceToString(false));
}

void TVexoDeviceHook::Desconectar(bool IgnorarErros) {
    TVexoDeviceClass::Desconectar(IgnorarErros);
    fsLeitor.Clear();
    if (fsHookDesativar) fsHookDesativar(fpPorta);
}

void TVexoDeviceHook::EnviaString(const ByteString& AString) {
    if (!fsHookEnviaString) return;
    GravaLog("  TVexoDeviceHook.EnviaString");
    fsHookEnviaString(AString);
}

// A hook that answers at once with nothing is asked again after a short pause, not in a spin.
TReadStatus TVexoDeviceHook::Pedir(ByteString& AInto, size_t AWanted, int ATimeOut) {
    using Clock = std::chrono::steady_clock;
    const auto inicio = Clock::now();
    ByteString chunk;
    fsHookLeString(static_cast<int>(std::min<size_t>(AWanted, INT_MAX)), ATimeOut, chunk);
    if (chunk.empty()) {
        const auto passou =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - inicio).count();
        const long long resta = ATimeOut - passou;
        if (resta > 0) std::this_thread::sleep_for(std::chrono::milliseconds(std::min(resta, 10LL)));
    }
    AInto += chunk;
    return {};
}

ByteString TVexoDeviceHook::LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) {
    if (!fsHookLeString) return {};
    const auto prazo = TDeadline::After(ATimeOutMilissegundos);
    if (NumBytes >= 1) {
        const size_t n = static_cast<size_t>(NumBytes);
        TReadResult got = fsLeitor.ReadExactly(n, prazo);
        return got.Complete() ? std::move(got.Data) : fsLeitor.Take(n);
    }
    if (!Terminador.empty()) return fsLeitor.ReadUntil(Terminador, prazo).Data;
    return fsLeitor.ReadSome(ByteString::npos, prazo).Data;
}

} // namespace vexo
