#include "sim/TcpChannel.h"
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::sim {

namespace {
constexpr Millis kWriteTimeout{2000};

void SetNonBlocking(int AFd) {
    fcntl(AFd, F_SETFL, fcntl(AFd, F_GETFL) | O_NONBLOCK);
}
} // namespace

TcpChannel::TcpChannel(const std::string& AHost, uint16_t APort) : fHost(AHost) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(APort);
    if (getaddrinfo(AHost.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        throw std::runtime_error("cannot resolve " + AHost);
    fListener = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(fListener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const bool ok = fListener >= 0 && bind(fListener, found->ai_addr, found->ai_addrlen) == 0 &&
                    listen(fListener, 1) == 0;
    freeaddrinfo(found);
    if (!ok) {
        const std::string why = strerror(errno);
        if (fListener >= 0) close(fListener);
        throw std::runtime_error("cannot listen on " + AHost + ":" + service + ": " + why);
    }
    SetNonBlocking(fListener);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(fListener, reinterpret_cast<sockaddr*>(&bound), &length);
    fPort = ntohs(bound.sin_port);
}

TcpChannel::~TcpChannel() {
    if (fClient >= 0) close(fClient);
    close(fListener);
}

std::string TcpChannel::Describe() const {
    return fHost + ":" + std::to_string(fPort);
}

void TcpChannel::Accept() {
    const int client = accept4(fListener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0) return;
    const int yes = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    fClient = client;
}

Channel::ReadResult TcpChannel::Read(ByteString& AOut, Millis ATimeout) {
    if (fClient < 0) {
        if (WaitReadable(fListener, ATimeout) == Ready::Data) Accept();
        return ReadResult::Timeout;
    }
    switch (WaitReadable(fClient, ATimeout)) {
    case Ready::Data:
        if (ReadAvailable(fClient, AOut)) return ReadResult::Data;
        [[fallthrough]];
    case Ready::Hangup:
        close(fClient);
        fClient = -1;
        return ReadResult::Timeout;
    default:
        return ReadResult::Timeout;
    }
}

bool TcpChannel::Write(std::string_view ABytes) {
    if (fClient < 0) return false;
    return WriteAll(fClient, ABytes, kWriteTimeout, true);
}

void TcpChannel::Drop() {
    if (fClient < 0) return;
    // A reset rather than a polite end: the cable is gone, not the peer saying goodbye.
    linger hard{1, 0};
    setsockopt(fClient, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fClient);
    fClient = -1;
}

} // namespace kestrel::sim
