#pragma once
#include "device/TCPBlockSocket.h"
#include "device/VexoDeviceClass.h"
#include <memory>
#include <string>

namespace vexo {

// TCP kind: "TCP:" + host + ":" + port, port 9100 when none is given.
class TVexoDeviceTCP : public TVexoDeviceClass {
public:
    explicit TVexoDeviceTCP(TComponent* AOwner);
    ~TVexoDeviceTCP() override;
    const char* ClassName() const override { return "TVexoDeviceTCP"; }

    TTCPBlockSocket& Socket() { return *fsSocket; }
    const std::string& IP() const { return fsIP; }
    const std::string& PortaTCP() const { return fsPorta; }

    // Splits a port name into host and port text.
    static void SepararHostPorta(const std::string& APorta, std::string& AHost, std::string& APortaTCP);

    int GetMaxSendBandwidth() override { return fsSocket->MaxSendBandwidth; }
    int GetTimeOutMilissegundos() override { return fsSocket->ConnectionTimeout; }
    void SetMaxSendBandwidth(int AValue) override { fsSocket->MaxSendBandwidth = AValue; }
    void SetTimeOutMilissegundos(int AValue) override { fsSocket->ConnectionTimeout = AValue; }
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void Desconectar(bool IgnorarErros = true) override;
    int BytesParaLer() override;
    void EnviaString(const ByteString& AString) override;
    void EnviaByte(uint8_t AByte) override;
    ByteString LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) override;
    uint8_t LeByte(int ATimeOutMilissegundos) override;
    void Limpar() override;

private:
    std::unique_ptr<TTCPBlockSocket> fsSocket;
    std::string fsIP;
    std::string fsPorta;
};

} // namespace vexo
