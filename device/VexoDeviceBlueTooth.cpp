#include "device/VexoDeviceBlueTooth.h"
#include "device/LinkFault.h"
#include "device/RFCOMMSocket.h"
#include "device/VexoDevice.h"
#include "util/Strings.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vexo {

namespace {

// The printers among Bluetooth devices: the imaging major class, bits 9 and 10 of the class of device.
constexpr uint32_t kImagingBits = 0x600;
constexpr int kMaxReconexoes = 5;

// A broken stream is an I/O failure whatever its cause; the send reconnects on exactly these.
ELinkError IOException(int AErrno) {
    return ELinkError(TLinkFault::lkLinkGone, std::string("IOException: ") + std::strerror(AErrno));
}

} // namespace

TBlueToothConnector TVexoDeviceBlueTooth::ConectarServico = ConnectRFCOMM;

TVexoDeviceBlueTooth::TVexoDeviceBlueTooth(TComponent* AOwner)
    : TVexoDeviceClass(AOwner), fsManager(std::make_unique<TBlueZManager>()) {}

TVexoDeviceBlueTooth::~TVexoDeviceBlueTooth() {
    if (fsSocket >= 0) ::close(fsSocket);
}

bool TVexoDeviceBlueTooth::PedirPermissoes() {
    fsTemPermissao = true;
    return true;
}

void TVexoDeviceBlueTooth::AcharPortasBlueTooth(std::vector<std::string>& AStringList, bool TodasPortas) {
    GravaLog("AcharPortasBlueTooth");
    PedirPermissoes();
    const bool ligado = fsManager->Refresh() && fsManager->Enable();
    GravaLog(ligado ? "BlueTooth Conectado!" : "BlueTooth Desconetado!");
    if (!ligado) return;
    for (const TBlueToothDeviceInfo& d : fsManager->PairedDevices())
        if (TodasPortas || (d.Class & kImagingBits) == kImagingBits) AStringList.push_back("BTH:" + d.Name);
}

void TVexoDeviceBlueTooth::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    if (!fsTemPermissao) DoException(Exception("Sem Permissão para acesso a Dispositivos BlueTooth"));
    Fechar();
    if (fsManager->Refresh()) fsManager->Enable();
    const std::string nome = UpperCase(Trim(APorta.size() > 4 ? APorta.substr(4) : std::string()));
    const std::vector<TBlueToothDeviceInfo> pareados = fsManager->PairedDevices();
    const auto it = std::find_if(pareados.begin(), pareados.end(), [&](const TBlueToothDeviceInfo& d) {
        return UpperCase(d.Name).starts_with(nome);
    });
    if (it == pareados.end())
        DoException(Exception("Dispositivo [" + APorta + "] não encontrado ou não pareado"));
    fsDispositivo = *it;
    if (ATimeOutMilissegundos > 0) fsManager->SocketTimeOut = ATimeOutMilissegundos;
    Abrir();
}

void TVexoDeviceBlueTooth::Desconectar(bool) {
    Fechar();
    fsTemPermissao = false;
}

void TVexoDeviceBlueTooth::Abrir() {
    const int fd = ConectarServico
                       ? ConectarServico(fsDispositivo, kSerialPortServiceUUID, fsManager->SocketTimeOut)
                       : -1;
    if (fd < 0) {
        if (!fsDispositivo.Address.empty()) GravaLog(std::string("  ") + std::strerror(errno));
        DoException(Exception("Erro ao conectar com Dispositivo [" + fsDispositivo.Name + "]"));
    }
    fsSocket = fd;
    fsLeitor.SetFd(fd);
}

void TVexoDeviceBlueTooth::Fechar() {
    if (fsSocket >= 0) ::close(fsSocket);
    fsSocket = -1;
    fsLeitor.SetFd(-1);
    fsLeitor.Clear();
}

void TVexoDeviceBlueTooth::ExigirConexao() {
    // Sending into nothing would look like success to the caller.
    if (fsSocket < 0)
        DoException(ELinkError(TLinkFault::lkLinkGone, "Dispositivo BlueTooth não está conectado"));
}

// AFeito counts what the platform took, across reconnections: a stream that broke is resumed
// after the last byte it accepted, never sent again from the start.
void TVexoDeviceBlueTooth::EnviarTudo(const ByteString& AString, size_t& AFeito) {
    const auto deadline = TDeadline::After(std::max(fsManager->SocketTimeOut, 1));
    while (AFeito < AString.size()) {
        const ssize_t n =
            ::send(fsSocket, AString.data() + AFeito, AString.size() - AFeito, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            AFeito += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) throw IOException(errno);
        pollfd p{fsSocket, POLLOUT, 0};
        const int r = ::poll(&p, 1, deadline.RemainingMs());
        // A device that takes nothing more within the time is still there: what it has may be half a
        // frame, and sending it all again would deliver that half twice.
        if (r == 0)
            throw ELinkError(TLinkFault::lkTimeout,
                             "Tempo esgotado ao enviar para o Dispositivo BlueTooth [" + fsDispositivo.Name +
                                 "]: " + std::to_string(AFeito) + " de " + std::to_string(AString.size()) +
                                 " bytes enviados");
        if (r < 0 && errno != EINTR) throw IOException(errno);
    }
}

void TVexoDeviceBlueTooth::EnviaString(const ByteString& AString) {
    GravaLog("  TVexoDeviceBlueTooth.EnviaString");
    ExigirConexao();
    size_t feito = 0;
    for (int reconexoes = 0;; ++reconexoes) {
        try {
            EnviarTudo(AString, feito);
            break;
        } catch (const ELinkError& e) {
            if (e.Fault() != TLinkFault::lkLinkGone ||
                LowerCase(e.Message()).find("ioexception") == std::string::npos ||
                reconexoes >= kMaxReconexoes)
                DoException(e);
            GravaLog("  " + e.Message());
            Fechar();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Abrir();
        }
    }
    // The far end drains at about 9600 bits per second; the next send waits its turn.
    const long long ms = std::max<long long>(100, static_cast<long long>(AString.size()) * 1000 / 9600);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The far end closed or the link broke: silence from here on would be a lie.
void TVexoDeviceBlueTooth::ExigirVivo(const TReadResult& AResult) {
    if (AResult.End == TReadEnd::reError || AResult.End == TReadEnd::reEndOfFile)
        DoException(IOException(AResult.End == TReadEnd::reEndOfFile ? ECONNRESET : AResult.Error));
}

ByteString TVexoDeviceBlueTooth::LeString(int ATimeOutMilissegundos, int NumBytes,
                                          const ByteString& Terminador) {
    ExigirConexao();
    const auto deadline = TDeadline::After(ATimeOutMilissegundos == 0 ? 5000 : ATimeOutMilissegundos);
    if (NumBytes > 0) {
        const size_t wanted = static_cast<size_t>(NumBytes);
        TReadResult got = fsLeitor.ReadExactly(wanted, deadline);
        ExigirVivo(got);
        return got.Complete() ? std::move(got.Data) : fsLeitor.Take(wanted);
    }
    TReadResult got = Terminador.empty() ? fsLeitor.ReadSome(ByteString::npos, deadline)
                                         : fsLeitor.ReadUntil(Terminador, deadline);
    ExigirVivo(got);
    return std::move(got.Data);
}

} // namespace vexo
