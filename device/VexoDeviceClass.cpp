#include "device/VexoDeviceClass.h"
#include "device/VexoDevice.h"
#include <array>
#include <chrono>
#include <thread>

namespace vexo {

std::string DeviceTypeName(TVexoDeviceType AType) {
    static constexpr std::array<const char*, 9> names = {
        "dtNenhum",     "dtFile", "dtSerial", "dtParallel",  "dtTCP",
        "dtRawPrinter", "dtHook", "dtUSB",    "dtBlueTooth",
    };
    return AType < names.size() ? names[AType] : std::to_string(int(AType));
}

static TVexoDevice* OwnerDevice(TComponent* AOwner) {
    auto* device = dynamic_cast<TVexoDevice*>(AOwner);
    // No owner log exists yet, so this one is raised without logging.
    if (!device) throw Exception("Dono de TVexoDeviceClass deve ser TVexoDevice");
    return device;
}

TVexoDeviceClass::TVexoDeviceClass(TComponent* AOwner) : fpOwner(OwnerDevice(AOwner)) {}

void TVexoDeviceClass::Conectar(const std::string& APorta, int ATimeOutMilissegundos) {
    GravaLog(std::string("   ") + ClassName() + ".Conectar(" + APorta + ", " +
             std::to_string(ATimeOutMilissegundos) + ")");
    fpPorta = APorta;
}

void TVexoDeviceClass::Desconectar(bool IgnorarErros) {
    GravaLog(std::string("   ") + ClassName() + ".Desconectar(" + (IgnorarErros ? "True" : "False") + ")");
}

void TVexoDeviceClass::EnviaByte(uint8_t AByte) {
    EnviaString(ByteString(1, static_cast<char>(AByte)));
}

uint8_t TVexoDeviceClass::LeByte(int ATimeOutMilissegundos) {
    const ByteString s = LeString(ATimeOutMilissegundos, 1, {});
    return s.empty() ? 0 : static_cast<uint8_t>(s[0]);
}

void TVexoDeviceClass::Limpar() {
    while (!LeString(100, 0, {}).empty()) {
    }
}

void TVexoDeviceClass::EnviaEmBlocos(const ByteString& AString,
                                     const std::function<void(std::string_view)>& AEnvia) {
    const int count = fpOwner->SendBytesCount();
    const size_t chunk = count > 0 ? static_cast<size_t>(count) : AString.size();
    for (size_t p = 0; p < AString.size(); p += chunk) {
        GravaLog("  BytesToSend:" + std::to_string(chunk));
        AEnvia(std::string_view(AString).substr(p, chunk));
        const int intervalo = fpOwner->SendBytesInterval();
        if (intervalo > 0) {
            GravaLog("  Sleep(" + std::to_string(intervalo) + ")");
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalo));
        }
    }
}

void TVexoDeviceClass::GravaLog(const std::string& AString, bool Traduz) {
    fpOwner->GravaLog(AString, Traduz);
}

} // namespace vexo
