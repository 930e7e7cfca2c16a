#include "device/VexoDeviceTCP.h"
#include "device/VexoDevice.h"

namespace vexo {

TVexoDeviceTCP::TVexoDeviceTCP(TComponent* AOwner)
    : TVexoDeviceChannel(AOwner), fsSocket(std::make_unique<TTCPBlockSocket>()) {
    fsSocket->RaiseExcept = true;
}

TVexoDeviceTCP::~TVexoDeviceTCP() = default;

// "TCP:" + host [+ ":" + port]. A bracketed host ("TCP:[::1]:4000") may hold colons of its own.
void TVexoDeviceTCP::SepararHostPorta(const std::string& APorta, std::string& AHost, std::string& APortaTCP) {
    const std::string resto = APorta.size() > 4 ? APorta.substr(4, 255) : std::string();
    size_t colon = resto.find(':');
    if (!resto.empty() && resto.front() == '[' && resto.find(']') != std::string::npos) {
        const size_t fecha = resto.find(']');
        AHost = resto.substr(1, fecha - 1);
        colon = resto.find(':', fecha);
    } else {
        AHost = resto.substr(0, colon);
    }
    APortaTCP = colon == std::string::npos ? std::string() : resto.substr(colon + 1, 5);
    if (APortaTCP.empty()) APortaTCP = "9100";
}

void TVexoDeviceTCP::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    SepararHostPorta(APorta, fsIP, fsPorta);
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
