#pragma once
#include "device/BlueZManager.h"
#include "device/VexoDeviceClass.h"
#include "util/DeadlineReader.h"
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexo {

// Opens a stream to the service AServiceUUID of a paired device within ATimeOutMs: a connected
// descriptor, or -1 with errno set.
using TBlueToothConnector =
    std::function<int(const TBlueToothDeviceInfo& ADevice, const std::string& AServiceUUID, int ATimeOutMs)>;

// Bluetooth kind: "BTH:" + the beginning of a paired device's name. Talks to the device's
// serial-port service.
class TVexoDeviceBlueTooth : public TVexoDeviceClass {
public:
    explicit TVexoDeviceBlueTooth(TComponent* AOwner);
    ~TVexoDeviceBlueTooth() override;
    const char* ClassName() const override { return "TVexoDeviceBlueTooth"; }

    // How the kind reaches a device's service: by default an RFCOMM socket with the channel from the
    // device's service records. Tests put one end of a socket pair here.
    static TBlueToothConnector ConectarServico;

    TBlueZManager& Manager() { return *fsManager; }
    bool TemPermissao() const { return fsTemPermissao; }
    bool Conectado() const { return fsSocket >= 0; }
    const TBlueToothDeviceInfo& Dispositivo() const { return fsDispositivo; }
    const ByteString& InternalBuffer() const { return fsLeitor.Buffered(); }

    int GetTimeOutMilissegundos() override { return fsManager->SocketTimeOut; }
    void SetTimeOutMilissegundos(int AValue) override { fsManager->SocketTimeOut = AValue; }
    bool PedirPermissoes() override;
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void Desconectar(bool IgnorarErros = true) override;
    void EnviaString(const ByteString& AString) override;
    ByteString LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) override;

    // Appends "BTH:" + name for every paired device; unless TodasPortas, printers only.
    void AcharPortasBlueTooth(std::vector<std::string>& AStringList, bool TodasPortas);

private:
    void Abrir();
    void Fechar();
    void EnviarTudo(const ByteString& AString, size_t& AFeito);
    void ExigirVivo(const TReadResult& AResult);
    void ExigirConexao();

    std::unique_ptr<TBlueZManager> fsManager;
    TBlueToothDeviceInfo fsDispositivo;
    int fsSocket = -1;
    TDeadlineReader fsLeitor;
    bool fsTemPermissao = false;
};

} // namespace vexo
