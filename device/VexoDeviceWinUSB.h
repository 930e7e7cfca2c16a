#pragma once
#include "device/VexoDeviceClass.h"
#include "device/VexoWinUSBDevice.h"
#include <memory>
#include <string>
#include <vector>

namespace vexo {

// USB kind: "USB" (the first device), "USB:" + the beginning of a device name, or "USB:" + a path.
class TVexoDeviceWinUSB : public TVexoDeviceClass {
public:
    explicit TVexoDeviceWinUSB(TComponent* AOwner);
    ~TVexoDeviceWinUSB() override;
    const char* ClassName() const override { return "TVexoDeviceWinUSB"; }

    TVexoUSBWinDeviceAPI& API() { return *fsAPI; }

    int GetTimeOutMilissegundos() override { return fsAPI->TimeOut(); }
    void SetTimeOutMilissegundos(int AValue) override { fsAPI->SetTimeOut(AValue); }
    void Conectar(const std::string& APorta, int ATimeOutMilissegundos) override;
    void Desconectar(bool IgnorarErros = true) override;
    void EnviaString(const ByteString& AString) override;
    ByteString LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) override;
    void Limpar() override { fsAPI->Purge(); }

    // Appends "USB:" + name for every device found now.
    void AcharPortasUSB(std::vector<std::string>& AStringList);
    // The transfer object's log file follows the facade's ArqLOG.
    void SetLogFile(const std::string& AValue) { fsAPI->SetLogFile(AValue); }

private:
    std::unique_ptr<TVexoUSBWinDeviceAPI> fsAPI;
};

} // namespace vexo
