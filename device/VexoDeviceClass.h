#pragma once
#include "util/Component.h"
#include "util/Exception.h"
#include "util/Types.h"
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vexo {

class TVexoDevice;

// The order is part of the contract: the names are written verbatim into log lines.
enum TVexoDeviceType : uint8_t {
    dtNenhum,
    dtFile,
    dtSerial,
    dtParallel,
    dtTCP,
    dtRawPrinter,
    dtHook,
    dtUSB,
    dtBlueTooth,
};

// "dtSerial" and so on.
std::string DeviceTypeName(TVexoDeviceType AType);

// Base of every device kind. An instance of the base itself is the null kind: it accepts
// everything, sends nowhere and reads nothing.
class TVexoDeviceClass {
public:
    // AOwner must be a TVexoDevice, else "Dono de TVexoDeviceClass deve ser TVexoDevice".
    explicit TVexoDeviceClass(TComponent* AOwner);
    virtual ~TVexoDeviceClass() = default;
    TVexoDeviceClass(const TVexoDeviceClass&) = delete;
    TVexoDeviceClass& operator=(const TVexoDeviceClass&) = delete;

    virtual const char* ClassName() const { return "TVexoDeviceClass"; }

    virtual int GetMaxSendBandwidth() { return 0; }
    virtual int GetTimeOutMilissegundos() { return 100; }
    virtual void SetMaxSendBandwidth(int) {}
    virtual void SetTimeOutMilissegundos(int) {}
    virtual bool PedirPermissoes() { return true; }
    virtual void Conectar(const std::string& APorta, int ATimeOutMilissegundos);
    virtual void Desconectar(bool IgnorarErros = true);
    virtual bool EmLinha(int) { return true; }
    virtual int BytesParaLer() { return 0; }
    virtual void EnviaString(const ByteString&) {}
    virtual void EnviaByte(uint8_t AByte);
    virtual ByteString LeString(int, int, const ByteString&) { return {}; }
    virtual uint8_t LeByte(int ATimeOutMilissegundos);
    virtual void Limpar();
    // The one read contract of every kind: up to NumBytes bytes (whatever arrives when NumBytes is
    // below 1) within the timeout, fewer or none when the time ran out. A timeout is never an error
    // nor a byte here; a damaged byte and a port that can carry nothing more raise errors that
    // LinkFaultOf tells apart. The base serves every kind whose LeString returns short on timeout.
    virtual ByteString Ler(int ATimeOutMilissegundos, int NumBytes) {
        return LeString(ATimeOutMilissegundos, NumBytes, {});
    }

    int TimeOutMilissegundos() { return GetTimeOutMilissegundos(); }
    void SetTimeOut(int AValue) { SetTimeOutMilissegundos(AValue); }
    int MaxSendBandwidth() { return GetMaxSendBandwidth(); }

    TVexoDevice& Owner() const { return *fpOwner; }
    const std::string& Porta() const { return fpPorta; }

    void GravaLog(const std::string& AString, bool Traduz = false);
    // Writes the error to the device log, then raises it.
    template <class E> [[noreturn]] void DoException(const E& AException);

protected:
    // Hands AString to AEnvia in pieces of the facade's SendBytesCount (all at once when 0), logging
    // each piece and pausing SendBytesInterval ms after every one, the last included.
    void EnviaEmBlocos(const ByteString& AString, const std::function<void(std::string_view)>& AEnvia);

    TVexoDevice* fpOwner;
    std::string fpPorta;
};

} // namespace vexo
