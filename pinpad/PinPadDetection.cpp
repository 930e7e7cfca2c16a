#include "pinpad/PinPadDetection.h"

#include "device/PinPadMakers.h"
#include "device/VexoDevice.h"
#include "device/VexoDeviceWinUSB.h"
#include "device/VexoWinUSBDevice.h"
#include "pinpad/VexoAbecsPinPad.h"

namespace vexo {
namespace {

void DisableQuietly(TVexoAbecsPinPad& APinPad) {
    try {
        APinPad.Disable();
    } catch (const std::exception&) {
        // Closing a port that failed to open, or that went away, leaves nothing to close.
    }
}

} // namespace

std::vector<std::string> PinPadCandidatePortNames(TVexoDevice& ADevice) {
    return PinPadCandidatePorts(ADevice);
}

std::vector<TPinPadCandidate> PinPadCandidates(TVexoDevice& ADevice) {
    std::vector<TPinPadCandidate> candidates;
    for (const auto& port : PinPadCandidatePortNames(ADevice))
        candidates.push_back({port, {}});
    // The list the makers' nodes came from also names every USB serial node.
    TVexoUSBWinDeviceList& usb = ADevice.WinUSB().API().Devices();
    for (auto& candidate : candidates)
        for (int i = 0; i < usb.Count(); ++i)
            if (usb[i].FClassGUID == "tty" && usb[i].FDeviceInterface == candidate.Port)
                candidate.UsbName = "USB:" + usb[i].DeviceName();
    return candidates;
}

bool PinPadAnswersOn(TVexoAbecsPinPad& APinPad, const std::string& APort) {
    bool answered = false;
    try {
        APinPad.Disable();
        APinPad.SetPort(APort);
        APinPad.Enable();
        APinPad.OPN();
        APinPad.CLO(std::string());
        answered = true;
    } catch (const std::exception&) {
        // A port without a PIN pad is simply not the one.
    }
    DisableQuietly(APinPad);
    return answered;
}

TPinPadDetection DetectPinPad(TVexoAbecsPinPad& APinPad, const TPinPadDetectionStep& AStep) {
    TPinPadDetection detection;
    detection.Candidates = PinPadCandidatePortNames(APinPad.Device());
    const std::string before = APinPad.Port();
    for (size_t i = 0; i < detection.Candidates.size(); ++i) {
        const std::string& port = detection.Candidates[i];
        if (AStep && !AStep(port, i, detection.Candidates.size())) break;
        if (!PinPadAnswersOn(APinPad, port)) continue;
        detection.Found = APinPad.Port();
        return detection;
    }
    // A search that found nothing changes nothing: the port the operator had stays.
    try {
        APinPad.SetPort(before);
    } catch (const std::exception&) {
    }
    return detection;
}

} // namespace vexo
