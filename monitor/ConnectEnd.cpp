#include "monitor/ConnectEnd.h"

#include "util/HostPort.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace kestrel::monitor {

namespace {

constexpr int kFirstConnectMs = 3000;

} // namespace

ConnectEnd::ConnectEnd(std::string AHost, uint16_t APort, std::string AWho)
    : fHost(std::move(AHost)), fPort(APort), fWho(std::move(AWho)) {}

ConnectEnd::~ConnectEnd() {
    Stop();
}

std::string ConnectEnd::Address() const {
    return vexo::FormatHostPort(fHost, fPort);
}

void ConnectEnd::Start(Notes& ANotes) {
    fAddresses = vexo::ResolveTcp(fHost, fPort, false);
    int error = 0;
    const int fd = vexo::ConnectTcp(fAddresses, kFirstConnectMs, error);
    if (fd < 0)
        throw std::runtime_error("cannot connect to " + Address() + ": " +
                                 (error == ETIMEDOUT ? "no answer" : std::strerror(error)));
    Connect(fd, ANotes);
}

void ConnectEnd::Stop() {
    CloseFd(fFd);
    CloseFd(fPending);
}

void ConnectEnd::Service(Notes& ANotes) {
    if (Connected()) return;
    if (fPending >= 0) {
        int fd = fPending;
        fPending = -1;
        if (vexo::FinishConnect(fd, 0) == 0) {
            Connect(fd, ANotes);
            ANotes.back() += " again";
            return;
        }
        ::close(fd);
        fRetry = SteadyClock::now() + std::chrono::seconds(1);
        return;
    }
    int error = 0;
    const int fd = vexo::StartConnect(fAddresses.front(), error);
    if (fd >= 0 && error == 0) {
        Connect(fd, ANotes);
        ANotes.back() += " again";
    } else if (fd >= 0) {
        fPending = fd;
    } else {
        fRetry = SteadyClock::now() + std::chrono::seconds(1);
    }
}

void ConnectEnd::Lost(const std::string& AWhy, Notes& ANotes) {
    CloseFd(fFd);
    ANotes.push_back(fWho + " at " + Address() + " went away" + (AWhy.empty() ? "" : " (" + AWhy + ")") +
                     "; connecting again every second");
    fRetry = SteadyClock::now() + std::chrono::seconds(1);
}

void ConnectEnd::Connect(int AFd, Notes& ANotes) {
    fFd = AFd;
    ANotes.push_back("connected to " + fWho + " at " + Address());
}

} // namespace kestrel::monitor
