#include "util/Socket.h"
#include "util/HostPort.h"
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace vexo {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point ADeadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(ADeadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 24 * 3600 * 1000));
}

} // namespace

uint16_t TSocketAddress::Port() const {
    if (Family() == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_port);
    if (Family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&Storage)->sin_port);
    return 0;
}

std::string TSocketAddress::Text() const {
    char host[INET6_ADDRSTRLEN] = "?";
    if (Family() == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&Storage)->sin_addr, host, sizeof host);
    else if (Family() == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&Storage)->sin6_addr, host, sizeof host);
    return FormatHostPort(host, Port());
}

int ResolveTcp(const std::string& AHost, const std::string& APort, bool APassive,
               std::vector<TSocketAddress>& AAddresses) {
    AAddresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = APassive ? AI_PASSIVE : 0;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(AHost.c_str(), APort.c_str(), &hints, &found);
    if (rc != 0) return rc;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        TSocketAddress address;
        std::memcpy(&address.Storage, a->ai_addr, a->ai_addrlen);
        address.Length = a->ai_addrlen;
        AAddresses.push_back(address);
    }
    ::freeaddrinfo(found);
    std::stable_sort(AAddresses.begin(), AAddresses.end(), [](const auto& AOne, const auto& AOther) {
        return AOne.Family() == AF_INET && AOther.Family() != AF_INET;
    });
    return AAddresses.empty() ? EAI_NONAME : 0;
}

std::vector<TSocketAddress> ResolveTcp(const std::string& AHost, uint16_t APort, bool APassive) {
    std::vector<TSocketAddress> addresses;
    const int rc = ResolveTcp(AHost, std::to_string(APort), APassive, addresses);
    if (rc != 0)
        throw std::runtime_error("cannot resolve " + AHost + ": " +
                                 (rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc)));
    return addresses;
}

TListener ListenTcp(const std::string& AHost, uint16_t APort, int ABacklog) {
    std::string why = "no address";
    for (const auto& address : ResolveTcp(AHost, APort, true)) {
        const int fd = ::socket(address.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            why = std::strerror(errno);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, address.Raw(), address.Length) != 0 || ::listen(fd, ABacklog) != 0) {
            why = std::strerror(errno);
            ::close(fd);
            continue;
        }
        TSocketAddress bound;
        bound.Length = sizeof bound.Storage;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound.Storage), &bound.Length);
        return {fd, bound.Port()};
    }
    throw std::runtime_error("cannot listen on " + FormatHostPort(AHost, APort) + ": " + why);
}

int AcceptTcp(int AListener, TSocketAddress* APeer) {
    TSocketAddress peer;
    peer.Length = sizeof peer.Storage;
    const int fd = ::accept4(AListener, reinterpret_cast<sockaddr*>(&peer.Storage), &peer.Length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return -1;
    SetNoDelay(fd);
    if (APeer) *APeer = peer;
    return fd;
}

void SetNoDelay(int AFd) {
    const int one = 1;
    ::setsockopt(AFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int StartConnect(const TSocketAddress& AAddress, int& AError) {
    const int fd = ::socket(AAddress.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        AError = errno;
        return -1;
    }
    AError = ::connect(fd, AAddress.Raw(), AAddress.Length) == 0 ? 0 : errno;
    if (AError == 0 || AError == EINPROGRESS) {
        SetNoDelay(fd);
        return fd;
    }
    ::close(fd);
    return -1;
}

int FinishConnect(int AFd, int ATimeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ATimeoutMs, 0));
    for (;;) {
        pollfd p{AFd, POLLOUT, 0};
        const int r = ::poll(&p, 1, ATimeoutMs < 0 ? -1 : RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return ETIMEDOUT;
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(AFd, SOL_SOCKET, SO_ERROR, &error, &length);
        return error;
    }
}

int ConnectTcp(const std::vector<TSocketAddress>& AAddresses, int ATimeoutMs, int& AError,
               TSocketAddress* AUsed) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ATimeoutMs, 0));
    AError = EADDRNOTAVAIL;
    for (const auto& address : AAddresses) {
        if (AUsed) *AUsed = address;
        int fd = StartConnect(address, AError);
        if (fd >= 0 && AError == EINPROGRESS)
            AError = FinishConnect(fd, ATimeoutMs > 0 ? RemainingMs(deadline) : -1);
        if (fd >= 0 && AError == 0) return fd;
        if (fd >= 0) ::close(fd);
        if (AError == ETIMEDOUT) break;
    }
    return -1;
}

} // namespace vexo
