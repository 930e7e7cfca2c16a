#pragma once
// Finding the port a PIN pad answers on, as the window's "Detect PinPad", kestrel-cli detect, inventory
// and check --all do it.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vexo {

class TVexoAbecsPinPad;
class TVexoDevice;

// A port that may hold a PIN pad: the serial ports the device lists (from the seam
// TVexoDeviceSerial::CandidatasPortasSeriais, which tests fill with pseudo-terminals), then the
// PIN-pad makers' USB serial nodes; never a printer.
struct TPinPadCandidate {
    std::string Port;
    std::string UsbName; // "USB:Gertec, PPC930" when the port is a USB device's node; empty otherwise
};
std::vector<TPinPadCandidate> PinPadCandidates(TVexoDevice& ADevice);
std::vector<std::string> PinPadCandidatePortNames(TVexoDevice& ADevice);

// Whether a PIN pad answers on APort with APinPad's link settings: opens the port, OPN, CLO, and
// closes it again whatever happened. Any failure only means "not here".
bool PinPadAnswersOn(TVexoAbecsPinPad& APinPad, const std::string& APort);

struct TPinPadDetection {
    std::vector<std::string> Candidates; // every candidate, in the order they are tried
    std::string Found;                   // the first port that answered; empty when none did
};

// Called before each candidate is tried, with its place among ACount; false stops the search there.
using TPinPadDetectionStep = std::function<bool(const std::string& APort, size_t AIndex, size_t ACount)>;

// Tries the candidates in turn and stops at the first that answers. The component ends disabled, set
// to the port found; when none answered (or the search was stopped) it keeps the port it had.
TPinPadDetection DetectPinPad(TVexoAbecsPinPad& APinPad, const TPinPadDetectionStep& AStep = {});

} // namespace vexo
