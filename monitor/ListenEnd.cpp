#include "monitor/ListenEnd.h"

#include "util/HostPort.h"
#include "util/Socket.h"

#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::monitor {

ListenEnd::ListenEnd(std::string AHost, uint16_t APort, std::string AWho)
    : fHost(std::move(AHost)), fPort(APort), fWho(std::move(AWho)) {}

ListenEnd::~ListenEnd() {
    Stop();
}

std::string ListenEnd::Describe() const {
    return "TCP " + vexo::FormatHostPort(fHost, fPort) + " (listening)";
}

void ListenEnd::Start(Notes& ANotes) {
    const vexo::TListener listener = vexo::ListenTcp(fHost, fPort, 4);
    fListener = listener.Fd;
    fPort = listener.Port;
    ANotes.push_back("waiting for " + fWho + " on TCP " + vexo::FormatHostPort(fHost, fPort));
}

void ListenEnd::Stop() {
    CloseFd(fFd);
    CloseFd(fListener);
}

void ListenEnd::Service(Notes& ANotes) {
    for (;;) {
        if (Leaving()) return;
        vexo::TSocketAddress peer;
        const int fd = vexo::AcceptTcp(fListener, &peer);
        if (fd < 0) return;
        if (Connected()) {
            const std::string why = "kestrel-monitor: " + fWho + " is connected already\r\n";
            [[maybe_unused]] const ssize_t n =
                ::send(fd, why.data(), why.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            ANotes.push_back("refused a connection from " + peer.Text() + ": " + fWho +
                             " is connected already");
            continue;
        }
        fFd = fd;
        ANotes.push_back(fWho + " connected from " + peer.Text());
    }
}

void ListenEnd::Lost(const std::string& AWhy, Notes& ANotes) {
    CloseFd(fFd);
    ANotes.push_back(fWho + " disconnected" + (AWhy.empty() ? "" : " (" + AWhy + ")"));
}

bool ListenEnd::Leaving() const {
    if (!Connected()) return false;
    pollfd p{fFd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

} // namespace kestrel::monitor
