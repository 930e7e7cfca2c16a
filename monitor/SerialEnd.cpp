#include "monitor/SerialEnd.h"

#include "device/VexoDevice.h"

#include <stdexcept>

namespace kestrel::monitor {

SerialEnd::SerialEnd(std::string APath, std::string AParams, std::string AWho)
    : fPath(std::move(APath)), fParams(std::move(AParams)), fWho(std::move(AWho)),
      fDevice(std::make_unique<vexo::TVexoDevice>()) {}

SerialEnd::~SerialEnd() {
    Stop();
}

std::string SerialEnd::Describe() const {
    const std::string params = fDevice->ParamsString();
    return "serial " + fPath + " (" + (params.empty() ? "BAUD=9600 DATA=8 PARITY=N STOP=1" : params) + ")";
}

void SerialEnd::Start(Notes& ANotes) {
    try {
        fDevice->SetParamsString(fParams);
    } catch (const std::exception& e) {
        throw std::runtime_error("serial parameters \"" + fParams + "\": " + e.what());
    }
    std::string why;
    if (!Open(why)) throw std::runtime_error("cannot open " + fPath + ": " + why);
    ANotes.push_back(fWho + " is on " + Describe());
}

void SerialEnd::Stop() {
    fFd = -1;
    try {
        fDevice->Desativar();
    } catch (const std::exception&) {
    }
}

void SerialEnd::Service(Notes& ANotes) {
    if (Connected()) return;
    std::string why;
    if (Open(why)) {
        ANotes.push_back(fWho + "'s port " + fPath + " is back");
        return;
    }
    fRetry = SteadyClock::now() + std::chrono::seconds(1);
}

void SerialEnd::Lost(const std::string& AWhy, Notes& ANotes) {
    ANotes.push_back(fWho + "'s port " + fPath + " went away (" + AWhy + "); opening it again every second");
    Stop();
    fRetry = SteadyClock::now() + std::chrono::milliseconds(200);
}

bool SerialEnd::Open(std::string& AWhy) {
    try {
        fDevice->SetPorta(fPath);
        fDevice->Ativar();
        fFd = fDevice->Serial().Handle();
        if (fFd >= 0) return true;
        AWhy = "not a serial port";
    } catch (const std::exception& e) {
        AWhy = e.what();
    }
    Stop();
    return false;
}

} // namespace kestrel::monitor
