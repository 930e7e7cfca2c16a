#include "device/VexoDeviceChannel.h"
#include <algorithm>
#include <chrono>

namespace vexo {

ByteString TVexoDeviceChannel::LeString(int ATimeOutMilissegundos, int NumBytes,
                                        const ByteString& Terminador) {
    if (NumBytes >= 1) return Canal().RecvBufferStr(NumBytes, ATimeOutMilissegundos);
    if (!Terminador.empty()) return Canal().RecvTerminated(ATimeOutMilissegundos, Terminador);
    return Canal().RecvPacket(ATimeOutMilissegundos);
}

namespace {

// The channel's RaiseExcept off for one read, back on every way out.
class TSemExcecao {
public:
    explicit TSemExcecao(TBlockChannel& ACanal) : fCanal(ACanal), fAntes(ACanal.RaiseExcept) {
        fCanal.RaiseExcept = false;
    }
    ~TSemExcecao() { fCanal.RaiseExcept = fAntes; }
    TSemExcecao(const TSemExcecao&) = delete;
    TSemExcecao& operator=(const TSemExcecao&) = delete;

private:
    TBlockChannel& fCanal;
    bool fAntes;
};

int Restante(std::chrono::steady_clock::time_point APrazo) {
    const auto resta =
        std::chrono::duration_cast<std::chrono::milliseconds>(APrazo - std::chrono::steady_clock::now())
            .count();
    return resta > 0 ? static_cast<int>(resta) : 0;
}

} // namespace

// Built on the packet read alone: the channel's counted read drops a packet that came with a
// damaged byte. Whatever was read goes back to LineBuffer before an error is raised, so the next
// read still has it; the channel's own error class is raised for everything but a timeout.
ByteString TVexoDeviceChannel::Ler(int ATimeOutMilissegundos, int NumBytes) {
    TBlockChannel& canal = Canal();
    const TSemExcecao semExcecao(canal);
    const auto prazo =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ATimeOutMilissegundos, 0));
    const size_t quantos = NumBytes >= 1 ? static_cast<size_t>(NumBytes) : 1;
    ByteString result;
    while (result.size() < quantos) {
        result += canal.RecvPacket(NumBytes >= 1 ? Restante(prazo) : ATimeOutMilissegundos);
        const int error = canal.LastError();
        if (error == canal.TimeoutCode() || (error == 0 && NumBytes < 1)) break;
        if (error != 0) {
            canal.LineBuffer = result + canal.LineBuffer;
            canal.RaiseLastError();
        }
    }
    if (NumBytes >= 1 && result.size() > quantos) {
        canal.LineBuffer = result.substr(quantos) + canal.LineBuffer;
        result.resize(quantos);
    }
    return result;
}

} // namespace vexo
