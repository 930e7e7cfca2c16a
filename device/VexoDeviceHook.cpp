#include "device/VexoDeviceHook.h"
#include "device/VexoDevice.h"
#include <algorithm>
#include <chrono>
#include <thread>

namespace vexo {

namespace {

bool TerminaCom(const ByteString& AText, const ByteString& ASuffix) {
    return AText.size() >= ASuffix.size() &&
           AText.compare(AText.size() - ASuffix.size(), ASuffix.size(), ASuffix) == 0;
}

} // namespace

void TVexoDeviceHook::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    if (fsHookAtivar) fsHookAtivar(APorta, Owner().DeviceToString(false));
}

void TVexoDeviceHook::Desconectar(bool IgnorarErros) {
    TVexoDeviceClass::Desconectar(IgnorarErros);
    if (fsHookDesativar) fsHookDesativar(fpPorta);
}

void TVexoDeviceHook::EnviaString(const ByteString& AString) {
    if (!fsHookEnviaString) return;
    GravaLog("  TVexoDeviceHook.EnviaString");
    fsHookEnviaString(AString);
}

ByteString TVexoDeviceHook::LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) {
    if (!fsHookLeString) return {};
    using Clock = std::chrono::steady_clock;
    const auto prazo = Clock::now() + std::chrono::milliseconds(ATimeOutMilissegundos);
    const auto resta = [&] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(prazo - Clock::now()).count();
        return static_cast<int>(std::max<long long>(ms, 0));
    };
    // A chunk that merely holds some bytes must not end a read that waits for its terminator: the
    // rest of the answer would be left behind as if it were the next one.
    const bool soTerminador = NumBytes < 1 && !Terminador.empty();
    const size_t n = static_cast<size_t>(std::max(NumBytes, 1));
    ByteString result;
    int tempo = ATimeOutMilissegundos;
    for (;;) {
        ByteString chunk;
        fsHookLeString(soTerminador ? 1 : static_cast<int>(n - result.size()), tempo, chunk);
        result += chunk;
        // The terminator may come split over two chunks.
        if (!Terminador.empty() && !chunk.empty() && TerminaCom(result, Terminador)) {
            result.resize(result.size() - Terminador.size());
            break;
        }
        if (!soTerminador && result.size() >= n) break;
        tempo = resta();
        if (tempo <= 0) break;
        // A hook that answers at once with nothing is asked again after a short pause, not in a spin.
        if (chunk.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(tempo, 10)));
            tempo = resta();
            if (tempo <= 0) break;
        }
    }
    return result;
}

} // namespace vexo
