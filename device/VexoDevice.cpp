#include "device/VexoDevice.h"
#include "device/VexoDeviceBlueTooth.h"
#include "device/VexoDeviceLPT.h"
#include "device/VexoDeviceRaw.h"
#include "device/VexoDeviceTCP.h"
#include "device/VexoDeviceWinUSB.h"
#include "util/CodePage.h"
#include "util/FilesIO.h"
#include "util/Strings.h"
#include <algorithm>
#include <sys/stat.h>

namespace vexo {

namespace {

// Linux device paths: printer ports, serial ports by their usual folders, or any character device.
TVexoDeviceType DeduzirCaminhoLinux(const std::string& APorta) {
    if (APorta.starts_with("/dev/lp") || APorta.starts_with("/dev/usb/lp")) return dtParallel;
    if (APorta.starts_with("/dev/tty") || APorta.starts_with("/dev/serial/") ||
        APorta.starts_with("/dev/rfcomm"))
        return dtSerial;
    struct stat st {};
    if (::stat(APorta.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) return dtSerial;
    return dtNenhum;
}

} // namespace

TVexoDevice::TVexoDevice(TComponent* AOwner)
    : TComponent(AOwner), fsDeviceNenhum(std::make_unique<TVexoDeviceClass>(this)),
      fsDeviceSerial(std::make_unique<TVexoDeviceSerial>(this)),
      fsDeviceTCP(std::make_unique<TVexoDeviceTCP>(this)),
      fsDeviceLPT(std::make_unique<TVexoDeviceLPT>(this)),
      fsDeviceHook(std::make_unique<TVexoDeviceHook>(this)),
      fsDeviceRaw(std::make_unique<TVexoDeviceRaw>(this)),
      fsDeviceWinUSB(std::make_unique<TVexoDeviceWinUSB>(this)),
      fsDeviceBlueTooth(std::make_unique<TVexoDeviceBlueTooth>(this)) {
    fsDeviceAtivo = fsDeviceNenhum.get();
    SetDefaultValues();
}

TVexoDevice::~TVexoDevice() {
    // An open port is closed by the destruction of its kind.
    GravaLog("Destroy");
}

TTCPBlockSocket& TVexoDevice::Socket() {
    return fsDeviceTCP->Socket();
}

void TVexoDevice::GravaLog(const std::string& AString, bool Traduz) {
    if (fsArqLOG.empty()) return;
    const std::string text = Traduz ? TraduzirControles(AString) : TextToAnsi(AString);
    GravarLinhaLog(fsArqLOG, "-- " + TextToAnsi(LogTimeStamp()) + " " + text, false);
}

// ---- port naming

void TVexoDevice::SetPorta(const std::string& AValue) {
    if (AValue == fsPorta) return;
    GravaLog("SetPorta(" + AValue + ")");
    if (fsAtivo) DoException(Exception("Não é possível mudar a Porta com o Dispositivo Ativo"));
    std::string porta = Trim(AValue);
    const std::string upper = UpperCase(porta);
    if (upper.starts_with("LPT") || upper.starts_with("COM")) porta = upper;
    const std::string anterior = fsPorta;
    fsPorta = porta;
    try {
        SetDeviceType(DeduzirTipoPorta(fsPorta));
    } catch (...) {
        fsPorta = anterior;
        throw;
    }
}

TVexoDeviceType TVexoDevice::DeduzirTipoPorta(const std::string& APorta) {
    GravaLog("DeduzirTipoPorta(" + APorta + ")");
    const TVexoDeviceType tipo = TipoPeloNome(APorta);
    GravaLog("  " + DeviceTypeName(tipo));
    return tipo;
}

// The first rule that matches decides.
TVexoDeviceType TVexoDevice::TipoPeloNome(const std::string& APorta) {
    const std::string u = UpperCase(APorta);
    if (APorta == "*") return dtRawPrinter;
    if (u.starts_with("NULL")) return dtNenhum;
    if (u.starts_with("TCP:")) return dtTCP;
    if (u.starts_with("RAW:")) return dtRawPrinter;
    if (u.starts_with("BTH:")) return dtBlueTooth;
    if (u.ends_with(".TXT") || u.starts_with("FILE:")) return dtFile;
    if (u.starts_with("LPT")) return dtParallel;
    if (u.starts_with("COM") || APorta.starts_with("\\\\.\\")) return dtSerial;
    if (u.starts_with("DLL")) return dtHook;
    if (u.starts_with("USB") || LowerCase(APorta).starts_with("\\\\?\\usb")) return dtUSB;
    const bool caminho = APorta.find('/') != std::string::npos;
    if (caminho) {
        const TVexoDeviceType tipo = DeduzirCaminhoLinux(APorta);
        if (tipo != dtNenhum) return tipo;
    }
    if (!APorta.empty() && fsDeviceRaw->GetLabelPrinterIndex(APorta) >= 0) return dtRawPrinter;
    if (caminho || APorta.find('\\') != std::string::npos) return dtFile;
    return dtNenhum;
}

TVexoDeviceClass& TVexoDevice::KindOf(TVexoDeviceType AType) {
    switch (AType) {
    case dtFile:
    case dtParallel:
        return *fsDeviceLPT;
    case dtSerial:
        return *fsDeviceSerial;
    case dtTCP:
        return *fsDeviceTCP;
    case dtRawPrinter:
        return *fsDeviceRaw;
    case dtHook:
        return *fsDeviceHook;
    case dtUSB:
        return *fsDeviceWinUSB;
    case dtBlueTooth:
        return *fsDeviceBlueTooth;
    default:
        return *fsDeviceNenhum;
    }
}

void TVexoDevice::SetDeviceType(TVexoDeviceType AValue) {
    if (AValue == fsDeviceType) return;
    GravaLog("SetDeviceType(" + DeviceTypeName(AValue) + ")");
    if (AValue != dtNenhum && AValue != dtParallel) {
        const TVexoDeviceType deduzido = DeduzirTipoPorta(fsPorta);
        const bool arquivoOuSerial = AValue == dtFile || AValue == dtSerial;
        const bool ok = arquivoOuSerial ? (deduzido == dtFile || deduzido == dtSerial) : deduzido == AValue;
        if (!ok) DoException(Exception("Tipo de dispositivo informado não condiz com o valor da Porta"));
    }
    fsDeviceType = AValue;
    fsDeviceAtivo = &KindOf(AValue);
}

// ---- activation

void TVexoDevice::Ativar() {
    if (fsAtivo) return;
    std::string nome = DeviceTypeName(fsDeviceType).substr(2);
    GravaLog("Ativar - Porta " + nome + ": " + fsPorta);
    if (fsPorta.empty() || (fsDeviceType == dtNenhum && UpperCase(fsPorta.substr(0, 4)) != "NULL"))
        DoException(Exception("Porta não definida"));
    // Naming a Bluetooth port is the user's request to use it: the permission is asked on their behalf.
    if (fsDeviceType == dtBlueTooth) PedirPermissoesBlueTooth();
    fsDeviceAtivo->Conectar(fsPorta, fsTimeOutMilissegundos);
    fsAtivo = true;
}

void TVexoDevice::Desativar() {
    if (!fsAtivo) return;
    GravaLog("Desativar");
    fsAtivo = false;
    fsDeviceAtivo->Desconectar(true);
}

// ---- channel

void TVexoDevice::EnviaString(const ByteString& AString) {
    GravaLog("EnviaString(" + AString + ")", true);
    fsDeviceAtivo->EnviaString(AString);
}

void TVexoDevice::EnviaByte(uint8_t AByte) {
    GravaLog("EnviaByte(" + std::to_string(AByte) + ")");
    fsDeviceAtivo->EnviaByte(AByte);
}

ByteString TVexoDevice::LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) {
    const int timeout = ATimeOutMilissegundos < 1 ? fsTimeOutMilissegundos : ATimeOutMilissegundos;
    GravaLog("LeString(" + std::to_string(timeout) + ", " + std::to_string(NumBytes) + ", " + Terminador +
                 ")",
             true);
    ByteString result = fsDeviceAtivo->LeString(timeout, NumBytes, Terminador);
    GravaLog("  " + result, true);
    return result;
}

uint8_t TVexoDevice::LeByte(int ATimeOutMilissegundos) {
    const int timeout = ATimeOutMilissegundos < 1 ? fsTimeOutMilissegundos : ATimeOutMilissegundos;
    GravaLog("LeByte(" + std::to_string(timeout) + ")");
    const uint8_t result = fsDeviceAtivo->LeByte(timeout);
    GravaLog("  " + std::to_string(result));
    return result;
}

ByteString TVexoDevice::Ler(int ATimeOutMilissegundos, int NumBytes) {
    const int timeout = ATimeOutMilissegundos < 1 ? fsTimeOutMilissegundos : ATimeOutMilissegundos;
    GravaLog("LeString(" + std::to_string(timeout) + ", " + std::to_string(NumBytes) + ", )");
    ByteString result = fsDeviceAtivo->Ler(timeout, NumBytes);
    GravaLog(result.empty() ? std::string("  TimeOut") : "  " + result, !result.empty());
    return result;
}

std::optional<uint8_t> TVexoDevice::LerByte(int ATimeOutMilissegundos) {
    const int timeout = ATimeOutMilissegundos < 1 ? fsTimeOutMilissegundos : ATimeOutMilissegundos;
    GravaLog("LeByte(" + std::to_string(timeout) + ")");
    const ByteString result = fsDeviceAtivo->Ler(timeout, 1);
    if (result.empty()) {
        GravaLog("  TimeOut");
        return std::nullopt;
    }
    const auto b = static_cast<uint8_t>(result[0]);
    GravaLog("  " + std::to_string(b));
    return b;
}

void TVexoDevice::Limpar() {
    GravaLog("Limpar");
    fsDeviceAtivo->Limpar();
}

int TVexoDevice::BytesParaLer() {
    const int result = fsDeviceAtivo->BytesParaLer();
    GravaLog("BytesParaLer: " + std::to_string(result));
    return result;
}

bool TVexoDevice::EmLinha(int ATimeOutSegundos) {
    GravaLog("EmLinha(" + std::to_string(ATimeOutSegundos) + ")");
    const bool result = fsDeviceAtivo->EmLinha(std::max(ATimeOutSegundos, 1) * 1000);
    GravaLog(result ? "  True" : "  False");
    return result;
}

bool TVexoDevice::PedirPermissoes() {
    GravaLog("PedirPermissoes");
    const bool result = fsDeviceAtivo->PedirPermissoes();
    GravaLog(result ? "  True" : "  False");
    return result;
}

bool TVexoDevice::PedirPermissoesBlueTooth() {
    GravaLog("PedirPermissoesBlueTooth");
    const bool result = fsDeviceBlueTooth->PedirPermissoes();
    GravaLog(result ? "  True" : "  False");
    return result;
}

// ---- timeouts

void TVexoDevice::SetTimeOutMilissegundos(int AValue) {
    if (AValue == fsTimeOutMilissegundos) return;
    GravaLog("SetTimeOutMilissegundos(" + std::to_string(AValue) + ")");
    fsTimeOutMilissegundos = AValue;
    fsDeviceAtivo->SetTimeOutMilissegundos(AValue);
}

int TVexoDevice::TimeOut() const {
    return std::max(1, fsTimeOutMilissegundos / 1000);
}

void TVexoDevice::SetTimeOut(int AValue) {
    const int ms = std::max(AValue, 1) * 1000;
    if (ms == fsTimeOutMilissegundos) return;
    GravaLog("SetTimeOut(" + std::to_string(AValue) + ")");
    fsTimeOutMilissegundos = ms;
    fsDeviceAtivo->SetTimeOutMilissegundos(ms);
}

// ---- other settings

int TVexoDevice::MaxBandwidth() {
    return fsDeviceAtivo->GetMaxSendBandwidth();
}

void TVexoDevice::SetMaxBandwidth(int AValue) {
    GravaLog("SetMaxBandwidth(" + std::to_string(AValue) + ")");
    fsDeviceAtivo->SetMaxSendBandwidth(AValue);
}

const std::string& TVexoDevice::NomeDocumento() {
    if (fsNomeDocumento.empty()) fsNomeDocumento = ClassName();
    return fsNomeDocumento;
}

void TVexoDevice::SetNomeDocumento(const std::string& AValue) {
    GravaLog("SetNomeDocumento(" + AValue + ")");
    fsNomeDocumento = Trim(AValue);
}

void TVexoDevice::SetArqLOG(const std::string& AValue) {
    if (AValue == fsArqLOG) return;
    fsArqLOG = AValue;
    fsDeviceWinUSB->SetLogFile(AValue);
}

const THookSerialStatus& TVexoDevice::OnStatus() const {
    return fsDeviceSerial->Serial().OnStatus;
}
void TVexoDevice::SetOnStatus(THookSerialStatus AValue) {
    fsDeviceSerial->Serial().OnStatus = std::move(AValue);
}

const TVexoDeviceHookAtivar& TVexoDevice::HookAtivar() const {
    return fsDeviceHook->fsHookAtivar;
}
void TVexoDevice::SetHookAtivar(TVexoDeviceHookAtivar AValue) {
    fsDeviceHook->fsHookAtivar = std::move(AValue);
}
const TVexoDeviceHookDesativar& TVexoDevice::HookDesativar() const {
    return fsDeviceHook->fsHookDesativar;
}
void TVexoDevice::SetHookDesativar(TVexoDeviceHookDesativar AValue) {
    fsDeviceHook->fsHookDesativar = std::move(AValue);
}
const TVexoDeviceHookEnviaString& TVexoDevice::HookEnviaString() const {
    return fsDeviceHook->fsHookEnviaString;
}
void TVexoDevice::SetHookEnviaString(TVexoDeviceHookEnviaString AValue) {
    fsDeviceHook->fsHookEnviaString = std::move(AValue);
}
const TVexoDeviceHookLeString& TVexoDevice::HookLeString() const {
    return fsDeviceHook->fsHookLeString;
}
void TVexoDevice::SetHookLeString(TVexoDeviceHookLeString AValue) {
    fsDeviceHook->fsHookLeString = std::move(AValue);
}

// The kind logs the "  DeviceToString: " line itself.
std::string TVexoDevice::DeviceToString(bool OnlyException) {
    return fsDeviceSerial->ParametrosSerial(OnlyException);
}

void TVexoDevice::SetDefaultValues() {
    GravaLog("SetDefaultValues");
    fsDeviceSerial->ValoresPadroes();
    fsPosImp = {};
}

void TVexoDevice::Assign(const TVexoDevice& Source) {
    if (&Source == this) return;
    auto& src = const_cast<TVexoDevice&>(Source);
    SetBaud(src.Baud());
    SetData(src.Data());
    SetParity(src.Parity());
    SetStop(src.Stop());
    SetMaxBandwidth(src.MaxBandwidth());
    SetSendBytesCount(src.SendBytesCount());
    SetSendBytesInterval(src.SendBytesInterval());
    SetHandShake(src.HandShake());
    SetSoftFlow(src.SoftFlow());
    SetHardFlow(src.HardFlow());
    SetProcessMessages(src.ProcessMessages());
    SetOnStatus(src.OnStatus());
    SetHookEnviaString(src.HookEnviaString());
    SetHookLeString(src.HookLeString());
    SetHookAtivar(src.HookAtivar());
    SetHookDesativar(src.HookDesativar());
}

// ---- printer operations

void TVexoDevice::ImprimePos(int Linha, int Coluna, const ByteString& AString) {
    if (AString.empty() || Linha < 0 || Coluna < 0) return;
    ByteString prefixo;
    if (Linha < fsPosImp.X) Eject();
    if (Linha > fsPosImp.X) {
        prefixo.append(static_cast<size_t>(Linha - fsPosImp.X), '\n');
        fsPosImp.X = Linha;
    }
    if (Coluna < fsPosImp.Y) {
        prefixo += '\r';
        fsPosImp.Y = 0;
    }
    if (Coluna > fsPosImp.Y) {
        prefixo.append(static_cast<size_t>(Coluna - fsPosImp.Y), ' ');
        fsPosImp.Y = Coluna;
    }
    EnviaString(prefixo + AString);
    fsPosImp.Y += static_cast<int32_t>(AString.size());
}

void TVexoDevice::Eject() {
    EnviaString("\f");
    fsPosImp.X = 0;
}

// ---- port lists

void TVexoDevice::AcharPortas(std::vector<std::string>& AStringList) {
    AcharPortasUSB(AStringList);
    AcharPortasSeriais(AStringList, kUltimaPortaSerial);
    AcharPortasRAW(AStringList);
    AcharPortasBlueTooth(AStringList, true);
}

void TVexoDevice::AcharPortasSeriais(std::vector<std::string>& AStringList, int UltimaPorta) {
    fsDeviceSerial->AcharPortasSeriais(AStringList, UltimaPorta);
}

void TVexoDevice::AcharPortasUSB(std::vector<std::string>& AStringList) {
    fsDeviceWinUSB->AcharPortasUSB(AStringList);
}

void TVexoDevice::AcharPortasRAW(std::vector<std::string>& AStringList) {
    fsDeviceRaw->AcharPortasRAW(AStringList);
}

void TVexoDevice::AcharPortasBlueTooth(std::vector<std::string>& AStringList, bool TodasPortas) {
    fsDeviceBlueTooth->AcharPortasBlueTooth(AStringList, TodasPortas);
}

// The serial port's node as a device name shows it: "COM3", or "ttyACM0" for /dev/ttyACM0 and for
// any link to it (/dev/serial/by-id/..., by-path/...).
static std::string NoDaPortaSerial(const std::string& APorta) {
    if (UpperCase(APorta).starts_with("COM")) return UpperCase(APorta);
    if (APorta.starts_with("\\\\.\\")) return APorta.substr(4);
    const std::string no = NoDoDispositivo(APorta);
    if (no.starts_with("/dev/")) return no.substr(5);
    return no;
}

bool TVexoDevice::DetectarTipoEProtocoloDispositivoUSB(TVexoUSBHardwareType& TipoHardware,
                                                       int& ProtocoloVexo) {
    TipoHardware = htUnknown;
    ProtocoloVexo = 0;
    if (fsDeviceType != dtSerial && fsDeviceType != dtUSB) return false;
    TVexoUSBWinDeviceAPI& api = fsDeviceWinUSB->API();
    TVexoUSBWinDeviceList& devices = api.Devices();
    if (devices.Count() == 0) devices.FindUSBPrinters(api.HardwareType());
    int index = -1;
    if (fsDeviceType == dtSerial) {
        index = devices.IndexOfPort(NoDaPortaSerial(fsPorta));
    } else if (fsPorta.starts_with("\\\\?")) {
        index = devices.IndexOfInterface(fsPorta);
    } else {
        const std::string nome = fsPorta.size() > 4 ? fsPorta.substr(4) : std::string();
        index = nome.starts_with("/") ? devices.IndexOfInterface(NoDoDispositivo(nome))
                                      : devices.IndexOfName(nome);
    }
    if (index < 0) return false;
    TVexoUSBWinDevice& device = devices[index];
    TipoHardware = static_cast<TVexoUSBHardwareType>(device.DeviceKind());
    ProtocoloVexo = device.VexoProtocol();
    if (fsDeviceType == dtUSB) {
        const std::string porta = USBPortaDoNome(device.DeviceName());
        if (!porta.empty()) SetPorta(porta.starts_with("COM") ? porta : "/dev/" + porta);
    }
    return true;
}

} // namespace vexo
