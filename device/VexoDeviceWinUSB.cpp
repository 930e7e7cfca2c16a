#include "device/VexoDeviceWinUSB.h"
#include "device/VexoDevice.h"
#include <algorithm>
#include <thread>

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
    const int count = Owner().SendBytesCount();
    const size_t chunk = count > 0 ? static_cast<size_t>(count) : AString.size();
    for (size_t p = 0; p < AString.size(); p += chunk) {
        GravaLog("  BytesToSend:" + std::to_string(chunk));
        fsAPI->SendData(AString.substr(p, chunk));
        const int intervalo = Owner().SendBytesInterval();
        if (intervalo > 0) {
            GravaLog("  Sleep(" + std::to_string(intervalo) + ")");
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalo));
        }
    }
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
