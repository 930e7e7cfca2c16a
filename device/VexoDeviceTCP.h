#pragma once
#include "device/TCPBlockSocket.h"
#include "device/VexoDeviceChannel.h"
#include <cstdint>
#include <memory>
#include <string>

namespace vexo {

// TCP kind: "TCP:" + host + ":" + port, port 9100 when none is given.
class TVexoDeviceTCP : public TVexoDeviceChannel {
public:
    explicit TVexoDeviceTCP(TComponent* AOwner);
    ~TVexoDeviceTCP() override;
    const char* ClassName() const override { return "TVexoDeviceTCP"; }

    TTCPBlockSocket& Socket() { return *fsSocket; }
    const std::string& IP() const { return fsIP; }
    const std::string& PortaTCP() const { return fsPorta; }

    static constexpr uint16_t kPortaPadrao = 9100;
    // Splits a port name into host and port text, without judging either (Conectar does).
    static void SepararHostPorta(const std::string& APorta, std::string& AHost, std::string& APortaTCP);

    int GetTimeOutMilissegundos() override { return fsSocket->ConnectionTimeout; }
    void SetTimeOutMilissegundos(int AValue) override { fsSocket->ConnectionTimeout = AValue; }
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void Desconectar(bool IgnorarErros = true) override;
    void EnviaString(const ByteString& AString) override;

protected:
    TBlockChannel& Canal() override { return *fsSocket; }

private:
    std::unique_ptr<TTCPBlockSocket> fsSocket;
    std::string fsIP;
    std::string fsPorta;
};

} // namespace vexo
