#include "device/VexoDeviceSerial.h"
#include "device/VexoDevice.h"
#include "util/Strings.h"
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <thread>

namespace vexo {

namespace {

template <size_t N> std::string NameOf(const std::array<const char*, N>& ANames, size_t AIndex) {
    return AIndex < N ? ANames[AIndex] : std::to_string(AIndex);
}

bool ParseInt(const std::string& AText, int& AValue) {
    const char* end = AText.data() + AText.size();
    const auto [ptr, ec] = std::from_chars(AText.data(), end, AValue);
    return !AText.empty() && ec == std::errc() && ptr == end;
}

int IntOr(const std::string& AText, int ADefault) {
    int value = 0;
    return ParseInt(AText, value) ? value : ADefault;
}

// Value of AKey in the upper-case parameter string: "KEY=v", "KEY = v" and "KEY v" all give v.
std::string ValorChave(const std::string& AParams, const std::string& AKey) {
    const size_t pos = AParams.find(AKey);
    if (pos == std::string::npos) return {};
    std::string rest = Trim(AParams.substr(pos + AKey.size(), 200));
    if (!rest.empty() && rest.front() == '=') rest = Trim(rest.substr(1));
    return Trim(rest.substr(0, rest.find(' ')));
}

void SleepMs(int AMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(AMs));
}

} // namespace

std::string ParityName(TVexoSerialParity AParity) {
    return NameOf(std::array{"pNone", "pOdd", "pEven", "pMark", "pSpace"}, AParity);
}
std::string StopName(TVexoSerialStop AStop) {
    return NameOf(std::array{"s1", "s1eMeio", "s2"}, AStop);
}
std::string HandShakeName(TVexoHandShake AHandShake) {
    return NameOf(std::array{"hsNenhum", "hsXON_XOFF", "hsRTS_CTS", "hsDTR_DSR"}, AHandShake);
}

std::function<std::vector<std::string>()> TVexoDeviceSerial::CandidatasPortasSeriais;

TVexoDeviceSerial::TVexoDeviceSerial(TComponent* AOwner)
    : TVexoDeviceChannel(AOwner), fsSerial(std::make_unique<TBlockSerial>()) {
    fsSerial->RaiseExcept = true;
    ValoresPadroes();
}

TVexoDeviceSerial::~TVexoDeviceSerial() = default;

void TVexoDeviceSerial::ValoresPadroes() {
    fsHardFlow = false;
    fsSoftFlow = false;
    fsHandShake = hsNenhum;
    fsParity = 'N';
    fsData = 8;
    fsBaud = 9600;
    fsStop = s1;
}

// ---- parameters

void TVexoDeviceSerial::SetBaud(int AValue) {
    if (AValue == fsBaud) return;
    GravaLog("SetBaud(" + std::to_string(AValue) + ")");
    if (AValue < 50 || AValue > 4000000)
        DoException(Exception("Valor deve estar na faixa de 50 a 4000000.\n"
                              "Normalmente os equipamentos Seriais utilizam: 9600"));
    fsBaud = AValue;
    ConfigurarSerial();
}

void TVexoDeviceSerial::SetData(int AValue) {
    if (AValue == fsData) return;
    GravaLog("SetData(" + std::to_string(AValue) + ")");
    if (AValue < 5 || AValue > 8)
        DoException(Exception("Valor deve estar na faixa de 5 a 8.\n"
                              "Normalmente os equipamentos Seriais utilizam: 7 ou 8"));
    fsData = AValue;
    ConfigurarSerial();
}

TVexoSerialParity TVexoDeviceSerial::Parity() const {
    switch (fsParity) {
    case 'O':
        return pOdd;
    case 'E':
        return pEven;
    case 'M':
        return pMark;
    case 'S':
        return pSpace;
    default:
        return pNone;
    }
}

void TVexoDeviceSerial::SetParity(TVexoSerialParity AValue) {
    if (AValue == Parity()) return;
    GravaLog("SetParity(" + ParityName(AValue) + ")");
    static constexpr char letters[] = {'N', 'O', 'E', 'M', 'S'};
    fsParity = AValue < sizeof letters ? letters[AValue] : 'N';
    ConfigurarSerial();
}

void TVexoDeviceSerial::SetStop(TVexoSerialStop AValue) {
    if (AValue == fsStop) return;
    GravaLog("SetStop(" + StopName(AValue) + ")");
    fsStop = AValue;
    ConfigurarSerial();
}

void TVexoDeviceSerial::SetHandShake(TVexoHandShake AValue) {
    GravaLog("SetHandShake(" + HandShakeName(AValue) + ")");
    fsHardFlow = AValue == hsRTS_CTS;
    fsSoftFlow = AValue == hsXON_XOFF;
    fsHandShake = AValue;
    ConfigurarSerial();
}

void TVexoDeviceSerial::SetHardFlow(bool AValue) {
    GravaLog(std::string("SetHardFlow(") + (AValue ? "True" : "False") + ")");
    AplicarFluxo(hsRTS_CTS, AValue);
}

void TVexoDeviceSerial::SetSoftFlow(bool AValue) {
    GravaLog(std::string("SetSoftFlow(") + (AValue ? "True" : "False") + ")");
    AplicarFluxo(hsXON_XOFF, AValue);
}

// Switches AHandShake on, or off when it is the current one; the flags follow the handshake.
void TVexoDeviceSerial::AplicarFluxo(TVexoHandShake AHandShake, bool AValue) {
    const TVexoHandShake anterior = fsHandShake;
    if (AValue)
        fsHandShake = AHandShake;
    else if (fsHandShake == AHandShake)
        fsHandShake = hsNenhum;
    fsHardFlow = fsHandShake == hsRTS_CTS;
    fsSoftFlow = fsHandShake == hsXON_XOFF;
    // An open port must not go on with the flow control it had before.
    if (fsHandShake != anterior) ConfigurarSerial();
}

void TVexoDeviceSerial::ConfigurarSerial() {
    if (!fsSerial->IsOpen()) return;
    GravaLog("  ConfigurarSerial");
    fsSerial->Config(fsBaud, fsData, fsParity, static_cast<int>(fsStop), fsSoftFlow, fsHardFlow);
    if (fsHandShake == hsRTS_CTS) {
        GravaLog("  Serial.RTS");
        fsSerial->SetRTS(true);
    } else if (fsHandShake == hsDTR_DSR) {
        GravaLog("  Serial.DTR");
        fsSerial->SetDTR(true);
    }
}

std::string TVexoDeviceSerial::ParametrosSerial(bool ApenasExcecoes) {
    static constexpr const char* stops[] = {"1", "1,5", "2"};
    static constexpr const char* handshakes[] = {"", "XON/XOFF", "RTS/CTS", "DTR/DSR"};
    const bool todos = !ApenasExcecoes;
    std::string s;
    if (todos || fsBaud != 9600) s += " BAUD=" + std::to_string(fsBaud);
    if (todos || fsData != 8) s += " DATA=" + std::to_string(fsData);
    if (todos || fsParity != 'N') s += std::string(" PARITY=") + fsParity;
    if (todos || fsStop != s1) s += std::string(" STOP=") + stops[fsStop];
    if (todos || fsHandShake != hsNenhum) s += std::string(" HANDSHAKE=") + handshakes[fsHandShake];
    if (fsHardFlow) s += " HARDFLOW";
    if (fsSoftFlow) s += " SOFTFLOW";
    const int banda = Owner().MaxBandwidth();
    if (todos || banda > 0) s += " MAXBANDWIDTH=" + std::to_string(banda);
    if (todos || Owner().SendBytesCount() > 0)
        s += " SENDBYTESCOUNT=" + std::to_string(Owner().SendBytesCount());
    if (todos || Owner().SendBytesInterval() > 0)
        s += " SENDBYTESINTERVAL=" + std::to_string(Owner().SendBytesInterval());
    s = Trim(s);
    GravaLog("  DeviceToString: " + s);
    return s;
}

void TVexoDeviceSerial::SetParamsString(const std::string& AValue) {
    GravaLog("SetParamsString(" + AValue + ")");
    ValoresPadroes();
    const std::string s = UpperCase(Trim(AValue));
    SetBaud(IntOr(ValorChave(s, "BAUD"), fsBaud));
    const std::string paridade = ValorChave(s, "PARITY");
    if (!paridade.empty() && std::string("EMNOS").find(paridade.front()) != std::string::npos)
        fsParity = paridade.front();
    SetData(IntOr(ValorChave(s, "DATA"), fsData));
    const std::string stop = ValorChave(s, "STOP");
    SetStop(stop == "1,5" ? s1eMeio : stop == "2" ? s2 : s1);
    SetHardFlow(s.find("HARDFLOW") != std::string::npos);
    SetSoftFlow(s.find("SOFTFLOW") != std::string::npos);
    const std::string handshake = ValorChave(s, "HANDSHAKE");
    if (handshake == "XON/XOFF")
        SetHandShake(hsXON_XOFF);
    else if (handshake == "DTR/DSR")
        SetHandShake(hsDTR_DSR);
    else if (handshake == "RTS/CTS")
        SetHandShake(hsRTS_CTS);
    TVexoDevice& dono = Owner();
    dono.SetMaxBandwidth(IntOr(ValorChave(s, "MAXBANDWIDTH"), dono.MaxBandwidth()));
    dono.SetSendBytesCount(IntOr(ValorChave(s, "SENDBYTESCOUNT"), dono.SendBytesCount()));
    dono.SetSendBytesInterval(IntOr(ValorChave(s, "SENDBYTESINTERVAL"), dono.SendBytesInterval()));
}

// ---- the channel

void TVexoDeviceSerial::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    Desconectar(true);
    fsSerial->DeadlockTimeout = ATimeOutMilissegundos;
    try {
        fsSerial->Connect(APorta);
        ConfigurarSerial();
        Limpar();
    } catch (const ESerialPortError& e) {
        const bool raise = fsSerial->RaiseExcept;
        fsSerial->RaiseExcept = false;
        fsSerial->CloseSocket();
        fsSerial->RaiseExcept = raise;
        if (e.ErrorCode() == ENOENT) DoException(Exception("Porta " + APorta + " não encontrada"));
        DoException(Exception(e.Message()));
    } catch (const Exception& e) {
        DoException(Exception(std::string(e.ClassName()) + ": " + e.Message()));
    }
}

void TVexoDeviceSerial::Desconectar(bool IgnorarErros) {
    TVexoDeviceClass::Desconectar(IgnorarErros);
    fsSerial->RaiseExcept = !IgnorarErros;
    try {
        if (fsSerial->IsOpen()) fsSerial->CloseSocket();
    } catch (...) {
        fsSerial->RaiseExcept = true;
        throw;
    }
    fsSerial->RaiseExcept = true;
}

bool TVexoDeviceSerial::EmLinha(int ATimeOutMilissegundos) {
    if (!fsSerial->IsOpen()) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeOutMilissegundos);
    for (;;) {
        bool linha = true;
        if (fsHandShake == hsRTS_CTS)
            linha = fsSerial->CTS();
        else if (fsHandShake == hsDTR_DSR)
            linha = fsSerial->DSR();
        if (linha) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // Modem line changes have no descriptor event to wait on.
        SleepMs(10);
    }
}

void TVexoDeviceSerial::EnviaString(const ByteString& AString) {
    GravaLog("  TVexoDeviceSerial.EnviaString");
    size_t p = 0;
    int falhas = 0;
    while (p < AString.size() && falhas < 10) {
        const int count = Owner().SendBytesCount();
        const size_t chunk = count > 0 ? static_cast<size_t>(count) : AString.size();
        GravaLog("  BytesToSend:" + std::to_string(chunk));
        const size_t len = std::min(chunk, AString.size() - p);
        const int enviados = fsSerial->SendBuffer(AString.data() + p, static_cast<int>(len));
        if (enviados > 0) {
            falhas = 0;
            p += static_cast<size_t>(enviados);
        } else {
            ++falhas;
            GravaLog("  FailCount:" + std::to_string(falhas));
        }
        const int intervalo = Owner().SendBytesInterval();
        if (intervalo > 0) {
            GravaLog("  Sleep(" + std::to_string(intervalo) + ")");
            SleepMs(intervalo);
        }
    }
    if (falhas >= 10) DoException(Exception("Erro ao enviar dados para a porta: " + fpPorta));
}

// ---- the probe

std::vector<std::string> TVexoDeviceSerial::DispositivosSeriaisDoSistema() {
    static constexpr const char* familias[] = {"ttyACM", "ttyUSB", "ttyS", "rfcomm"};
    std::vector<std::pair<int, std::string>> achados[std::size(familias)];
    if (DIR* dir = ::opendir("/dev")) {
        while (const dirent* e = ::readdir(dir)) {
            const std::string nome = e->d_name;
            for (size_t f = 0; f < std::size(familias); ++f) {
                const std::string prefixo = familias[f];
                int n = 0;
                if (nome.starts_with(prefixo) && ParseInt(nome.substr(prefixo.size()), n) &&
                    nome.find_first_not_of("0123456789", prefixo.size()) == std::string::npos)
                    achados[f].emplace_back(n, "/dev/" + nome);
            }
        }
        ::closedir(dir);
    }
    std::vector<std::string> result;
    for (auto& familia : achados) {
        std::sort(familia.begin(), familia.end());
        for (auto& [n, caminho] : familia)
            result.push_back(caminho);
    }
    return result;
}

// Only ports that actually open are listed: a missing, busy or refused node, and a ttyS node
// without a UART behind it, is of no use to the operator.
void TVexoDeviceSerial::AcharPortasSeriais(std::vector<std::string>& AStringList, int UltimaPorta) {
    GravaLog("AcharPortasSeriais(" + std::to_string(UltimaPorta) + ")");
    const std::vector<std::string> candidatas =
        CandidatasPortasSeriais ? CandidatasPortasSeriais() : DispositivosSeriaisDoSistema();
    TBlockSerial porta;
    porta.RaiseExcept = false;
    int listadas = 0;
    for (const std::string& candidata : candidatas) {
        if (listadas >= UltimaPorta) break;
        try {
            porta.Connect(candidata);
            if (porta.IsOpen()) {
                AStringList.push_back(candidata);
                ++listadas;
            }
            porta.CloseSocket();
        } catch (...) {
            // The probe never fails; a candidate that misbehaves is simply left out.
        }
    }
}

} // namespace vexo
