#pragma once
#include "device/BlockSerial.h"
#include "device/VexoDeviceClass.h"
#include "device/VexoDeviceHook.h"
#include "device/VexoDeviceSerial.h"
#include "device/VexoUSBIDDataBase.h"
#include "util/Component.h"
#include "util/Types.h"
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexo {

class TTCPBlockSocket;
class TVexoDeviceTCP;
class TVexoDeviceLPT;
class TVexoDeviceRaw;
class TVexoDeviceWinUSB;
class TVexoDeviceBlueTooth;

// Print position: X = line, Y = column.
struct TVexoPoint {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TVexoPoint&) const = default;
};

// The one byte channel to a peripheral. The port name selects the kind of device; the facade owns
// one object of every kind and forwards all I/O to the active one.
class TVexoDevice : public TComponent {
public:
    explicit TVexoDevice(TComponent* AOwner = nullptr);
    ~TVexoDevice() override;

    static constexpr const char* ClassName() { return "TVexoDevice"; }

    // Port naming.
    const std::string& Porta() const { return fsPorta; }
    void SetPorta(const std::string& AValue);
    TVexoDeviceType DeduzirTipoPorta(const std::string& APorta);
    TVexoDeviceType DeviceType() const { return fsDeviceType; }
    void SetDeviceType(TVexoDeviceType AValue);
    bool IsSerialPort() const { return fsDeviceType == dtSerial; }
    bool IsParallelPort() const { return fsDeviceType == dtParallel; }
    bool IsTCPPort() const { return fsDeviceType == dtTCP; }
    bool IsRawPort() const { return fsDeviceType == dtRawPrinter; }
    bool IsTXTFilePort() const { return fsDeviceType == dtFile; }
    bool IsDLLPort() const { return fsDeviceType == dtHook; }
    bool IsUSBPort() const { return fsDeviceType == dtUSB; }

    // Activation.
    void Ativar();
    void Desativar();
    bool Ativo() const { return fsAtivo; }
    void SetAtivo(bool AValue) { AValue ? Ativar() : Desativar(); }

    // The byte channel. A timeout below 1 means TimeOutMilissegundos.
    void EnviaString(const ByteString& AString);
    void EnviaByte(uint8_t AByte);
    // NumBytes >= 1 reads exactly that many; else a non-empty Terminador reads up to it (consumed, not
    // returned); else whatever arrives within the timeout.
    ByteString LeString(int ATimeOutMilissegundos = 0, int NumBytes = 0, const ByteString& Terminador = {});
    uint8_t LeByte(int ATimeOutMilissegundos = 0);
    // The same reads under the one contract of every kind: a timeout gives fewer bytes, or none,
    // and never raises; a damaged byte or a port that is gone raises (LinkFaultOf tells which).
    ByteString Ler(int ATimeOutMilissegundos, int NumBytes = 0);
    std::optional<uint8_t> LerByte(int ATimeOutMilissegundos);
    void Limpar();
    int BytesParaLer();
    bool EmLinha(int ATimeOutSegundos = 1);
    bool PedirPermissoes();
    bool PedirPermissoesBlueTooth();

    // Timeouts.
    int TimeOutMilissegundos() const { return fsTimeOutMilissegundos; }
    void SetTimeOutMilissegundos(int AValue);
    int TimeOut() const;
    void SetTimeOut(int AValue);

    // Serial parameters, kept in the serial kind whatever kind is active.
    int Baud() const { return fsDeviceSerial->Baud(); }
    void SetBaud(int AValue) { fsDeviceSerial->SetBaud(AValue); }
    int Data() const { return fsDeviceSerial->Data(); }
    void SetData(int AValue) { fsDeviceSerial->SetData(AValue); }
    TVexoSerialParity Parity() const { return fsDeviceSerial->Parity(); }
    void SetParity(TVexoSerialParity AValue) { fsDeviceSerial->SetParity(AValue); }
    TVexoSerialStop Stop() const { return fsDeviceSerial->Stop(); }
    void SetStop(TVexoSerialStop AValue) { fsDeviceSerial->SetStop(AValue); }
    TVexoHandShake HandShake() const { return fsDeviceSerial->HandShake(); }
    void SetHandShake(TVexoHandShake AValue) { fsDeviceSerial->SetHandShake(AValue); }
    bool SoftFlow() const { return fsDeviceSerial->SoftFlow(); }
    void SetSoftFlow(bool AValue) { fsDeviceSerial->SetSoftFlow(AValue); }
    bool HardFlow() const { return fsDeviceSerial->HardFlow(); }
    void SetHardFlow(bool AValue) { fsDeviceSerial->SetHardFlow(AValue); }
    std::string ParamsString() { return fsDeviceSerial->ParamsString(); }
    void SetParamsString(const std::string& AValue) { fsDeviceSerial->SetParamsString(AValue); }
    std::string DeviceToString(bool OnlyException);

    // Other settings.
    int MaxBandwidth();
    void SetMaxBandwidth(int AValue);
    int SendBytesCount() const { return fsSendBytesCount; }
    void SetSendBytesCount(int AValue) { fsSendBytesCount = AValue; }
    int SendBytesInterval() const { return fsSendBytesInterval; }
    void SetSendBytesInterval(int AValue) { fsSendBytesInterval = AValue; }
    const std::string& NomeDocumento();
    void SetNomeDocumento(const std::string& AValue);
    bool ProcessMessages() const { return fProcessMessages; }
    void SetProcessMessages(bool AValue) { fProcessMessages = AValue; }
    const std::string& ArqLOG() const { return fsArqLOG; }
    void SetArqLOG(const std::string& AValue);
    const THookSerialStatus& OnStatus() const;
    void SetOnStatus(THookSerialStatus AValue);

    // Callbacks of the hook kind.
    const TVexoDeviceHookAtivar& HookAtivar() const;
    void SetHookAtivar(TVexoDeviceHookAtivar AValue);
    const TVexoDeviceHookDesativar& HookDesativar() const;
    void SetHookDesativar(TVexoDeviceHookDesativar AValue);
    const TVexoDeviceHookEnviaString& HookEnviaString() const;
    void SetHookEnviaString(TVexoDeviceHookEnviaString AValue);
    const TVexoDeviceHookLeString& HookLeString() const;
    void SetHookLeString(TVexoDeviceHookLeString AValue);

    void SetDefaultValues();
    // Copies the serial parameters, chunking, ProcessMessages and the callbacks; not Porta, the
    // timeouts or ArqLOG.
    void Assign(const TVexoDevice& Source);

    // Printer operations.
    TVexoPoint PosImp() const { return fsPosImp; }
    void SetPosImp(TVexoPoint AValue) { fsPosImp = AValue; }
    void ImprimePos(int Linha, int Coluna, const ByteString& AString);
    void Eject();

    // Port lists; each appends to AStringList and never clears it. The serial list counts each family
    // (ttyACM*, ttyUSB*, ttyS*, rfcomm*) up to UltimaPorta.
    static constexpr int kUltimaPortaSerial = 64;
    void AcharPortas(std::vector<std::string>& AStringList);
    void AcharPortasSeriais(std::vector<std::string>& AStringList, int UltimaPorta = kUltimaPortaSerial);
    void AcharPortasUSB(std::vector<std::string>& AStringList);
    void AcharPortasRAW(std::vector<std::string>& AStringList);
    void AcharPortasBlueTooth(std::vector<std::string>& AStringList, bool TodasPortas);

    // The kind and protocol of the USB device behind Porta, for serial and USB ports (otherwise
    // htUnknown and 0); false when no listed device matches. A USB port whose device is a serial
    // node ("... (ttyACM0)") makes Porta that node.
    bool DetectarTipoEProtocoloDispositivoUSB(TVexoUSBHardwareType& TipoHardware, int& ProtocoloVexo);

    // Sub-objects.
    TBlockSerial& Serial() { return fsDeviceSerial->Serial(); }
    TTCPBlockSocket& Socket();
    TVexoDeviceSerial& DeviceSerial() { return *fsDeviceSerial; }
    TVexoDeviceTCP& DeviceTCP() { return *fsDeviceTCP; }
    TVexoDeviceLPT& DeviceLPT() { return *fsDeviceLPT; }
    TVexoDeviceRaw& DeviceRaw() { return *fsDeviceRaw; }
    TVexoDeviceHook& DeviceHook() { return *fsDeviceHook; }
    TVexoDeviceWinUSB& WinUSB() { return *fsDeviceWinUSB; }
    TVexoDeviceBlueTooth& BlueTooth() { return *fsDeviceBlueTooth; }
    TVexoDeviceClass& DeviceAtivo() { return *fsDeviceAtivo; }

    // Device log: nothing while ArqLOG is empty; failures to write are ignored.
    void GravaLog(const std::string& AString, bool Traduz = false);
    // Writes "<class name>: <message>" to the device log, then raises AException.
    template <class E> [[noreturn]] void DoException(const E& AException) {
        GravaLog(std::string(AException.ClassName()) + ": " + AException.Message());
        throw AException;
    }

private:
    TVexoDeviceType TipoPeloNome(const std::string& APorta);
    TVexoDeviceClass& KindOf(TVexoDeviceType AType);
    ByteString LeStringAtivo(int ATimeOut, int NumBytes, const ByteString& Terminador);

    TVexoDeviceClass* fsDeviceAtivo;
    std::unique_ptr<TVexoDeviceClass> fsDeviceNenhum;
    std::unique_ptr<TVexoDeviceSerial> fsDeviceSerial;
    std::unique_ptr<TVexoDeviceTCP> fsDeviceTCP;
    std::unique_ptr<TVexoDeviceLPT> fsDeviceLPT;
    std::unique_ptr<TVexoDeviceHook> fsDeviceHook;
    std::unique_ptr<TVexoDeviceRaw> fsDeviceRaw;
    std::unique_ptr<TVexoDeviceWinUSB> fsDeviceWinUSB;
    std::unique_ptr<TVexoDeviceBlueTooth> fsDeviceBlueTooth;
    TVexoPoint fsPosImp;
    std::string fsPorta;
    std::string fsNomeDocumento;
    TVexoDeviceType fsDeviceType = dtNenhum;
    int32_t fsTimeOutMilissegundos = 3000;
    bool fsAtivo = false;
    int32_t fsSendBytesCount = 0;
    int32_t fsSendBytesInterval = 0;
    bool fProcessMessages = true;
    std::string fsArqLOG;
};

template <class E> void TVexoDeviceClass::DoException(const E& AException) {
    fpOwner->DoException(AException);
}

} // namespace vexo
