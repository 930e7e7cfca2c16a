#include "monitor/Ends.h"

#include "monitor/ConnectEnd.h"
#include "monitor/ListenEnd.h"
#include "monitor/PtyEnd.h"
#include "monitor/SerialEnd.h"
#include "util/HostPort.h"

#include <stdexcept>
#include <unistd.h>

namespace kestrel::monitor {

void End::CloseFd(int& AFd) {
    if (AFd >= 0) ::close(AFd);
    AFd = -1;
}

namespace {

// "[HOST:]PORT" with HOST 127.0.0.1 by default; a listener may take port 0, any free port.
vexo::THostPort HostPort(const std::string& AText, bool AListen) {
    try {
        return vexo::ParseHostPort(AText, {"127.0.0.1", AListen, 0});
    } catch (const vexo::EHostPortError& e) {
        throw std::runtime_error("\"" + AText + "\" is not [HOST:]PORT with PORT from " +
                                 (AListen ? "0" : "1") + " to 65535 (" + e.Reason() + ")");
    }
}

} // namespace

std::unique_ptr<End> MakeEnd(const EndOptions& AEnd, const std::string& AWho) {
    switch (AEnd.What) {
    case EndOptions::Kind::Pty:
        return std::make_unique<PtyEnd>(AEnd.Target, AWho);
    case EndOptions::Kind::Serial:
        return std::make_unique<SerialEnd>(AEnd.Target, AEnd.Params, AWho);
    case EndOptions::Kind::Listen: {
        const auto [host, port] = HostPort(AEnd.Target, true);
        return std::make_unique<ListenEnd>(host, port, AWho);
    }
    case EndOptions::Kind::Connect: {
        const auto [host, port] = HostPort(AEnd.Target, false);
        return std::make_unique<ConnectEnd>(host, port, AWho);
    }
    }
    throw std::runtime_error("unknown end");
}

} // namespace kestrel::monitor
