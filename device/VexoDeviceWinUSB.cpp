#include "device/VexoDeviceWinUSB.h"
#include "device/VexoDevice.h"
#include <string_view>

namespace vexo {

TVexoDeviceWinUSB::TVexoDeviceWinUSB(TComponent* AOwner)
    : TVexoDeviceClass(AOwner), fsAPI(std::make_unique<TVexoUSBWinDeviceAPI>()) {}

TVexoDeviceWinUSB::~TVexoDeviceWinUSB() = default;

void TVexoDeviceWinUSB::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    TVexoDeviceClass::Conectar(APorta, ATimeOutMilissegundos);
    fsAPI->Connect(APorta);
    fsAPI->SetTimeOut(ATimeOutMilissegundos);
}

void TVexoDeviceWinUSB::Desconectar(bool IgnorarErros) {
    TVexoDeviceClass::Desconectar(IgnorarErros);
    try {
        fsAPI->Close();
    } catch (const Exception&) {
        if (!IgnorarErros) throw;
    }
}

void TVexoDeviceWinUSB::EnviaString(const ByteString& AString) {
    GravaLog("  TVexoDeviceWinUSB.EnviaString");
    EnviaEmBlocos(AString, [this](std::string_view APedaco) { fsAPI->SendData(ByteString(APedaco)); });
}

ByteString TVexoDeviceWinUSB::LeString(int ATimeOutMilissegundos, int NumBytes,
                                       const ByteString& Terminador) {
    if (NumBytes > 0) return fsAPI->ReceiveNumBytes(NumBytes, ATimeOutMilissegundos);
    if (!Terminador.empty()) return fsAPI->ReceiveTerminated(Terminador, ATimeOutMilissegundos);
    return fsAPI->ReceivePacket(ATimeOutMilissegundos);
}

void TVexoDeviceWinUSB::AcharPortasUSB(std::vector<std::string>& AStringList) {
    GravaLog("AcharPortasUSB");
    TVexoUSBWinDeviceList& devices = fsAPI->Devices();
    devices.FindUSBPrinters(fsAPI->HardwareType());
    for (int i = 0; i < devices.Count(); ++i)
        AStringList.push_back("USB:" + devices[i].DeviceName());
}

} // namespace vexo
