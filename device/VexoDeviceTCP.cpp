#include "device/VexoDeviceTCP.h"
#include "device/VexoDevice.h"
#include "util/HostPort.h"

namespace vexo {

TVexoDeviceTCP::TVexoDeviceTCP(TComponent* AOwner)
    : TVexoDeviceChannel(AOwner), fsSocket(std::make_unique<TTCPBlockSocket>()) {
    fsSocket->RaiseExcept = true;
}

TVexoDeviceTCP::~TVexoDeviceTCP() = default;

namespace {

// What follows "TCP:".
std::string_view Endereco(const std::string& APorta) {
    return APorta.size() > 4 ? std::string_view(APorta).substr(4) : std::string_view();
}

} // namespace

// "TCP:" + host [+ ":" + port]. A bracketed host ("TCP:[::1]:4000") may hold colons of its own.
void TVexoDeviceTCP::SepararHostPorta(const std::string& APorta, std::string& AHost, std::string& APortaTCP) {
    SplitHostPort(Endereco(APorta), true, AHost, APortaTCP);
    if (APortaTCP.empty()) APortaTCP = std::to_string(kPortaPadrao);
}

void TVexoDeviceTCP::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    SepararHostPorta(APorta, fsIP, fsPorta);
    // Checked here rather than left to the resolver, which takes "99999" for another port and a
    // word for a service name.
    try {
        ParseHostPort(Endereco(APorta), {"", false, kPortaPadrao});
    } catch (const EHostPortError& e) {
        throw Exception("TCP port name " + std::string(e.what()));
    }
    Desconectar(true);
    GravaLog("  IP:" + fsIP + ", Porta:" + fsPorta + ")");
    fsSocket->ConnectionTimeout = ATimeOutMilissegundos;
    fsSocket->Connect(fsIP, fsPorta);
    Limpar();
}

void TVexoDeviceTCP::Desconectar(bool IgnorarErros) {
    TVexoDeviceClass::Desconectar(IgnorarErros);
    fsSocket->RaiseExcept = !IgnorarErros;
    try {
        fsSocket->CloseSocket();
    } catch (...) {
        fsSocket->RaiseExcept = true;
        throw;
    }
    fsSocket->RaiseExcept = true;
}

void TVexoDeviceTCP::EnviaString(const ByteString& AString) {
    GravaLog("  TVexoDeviceTCP.EnviaString");
    EnviaEmBlocos(AString, [this](std::string_view APedaco) {
        fsSocket->SendBuffer(APedaco.data(), static_cast<int>(APedaco.size()));
    });
}

} // namespace vexo
