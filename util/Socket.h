#pragma once
// Owns TCP as every program here uses it: turning a host and a port into addresses (getaddrinfo, IPv4
// first), listening on IPv6 as well as IPv4, accepting, and connecting within a time limit. Every
// descriptor it makes is non-blocking and close-on-exec; every connection has TCP_NODELAY, as the
// protocol's small frames must not wait for each other.
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace vexo {

struct TSocketAddress {
    sockaddr_storage Storage{};
    socklen_t Length = 0;

    int Family() const { return Storage.ss_family; }
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
    uint16_t Port() const;
    // "127.0.0.1:4000", "[::1]:4000".
    std::string Text() const;
};

// 0, or the getaddrinfo error (errno tells the reason of EAI_SYSTEM).
int ResolveTcp(const std::string& AHost, const std::string& APort, bool APassive,
               std::vector<TSocketAddress>& AAddresses);
// Raises std::runtime_error "cannot resolve HOST: why".
std::vector<TSocketAddress> ResolveTcp(const std::string& AHost, uint16_t APort, bool APassive);

struct TListener {
    int Fd = -1;
    uint16_t Port = 0; // the one bound, when port 0 asked for any
};
// Listens on the first address of AHost that takes it (SO_REUSEADDR). Raises std::runtime_error
// "cannot resolve ..." or "cannot listen on HOST:PORT: why".
TListener ListenTcp(const std::string& AHost, uint16_t APort, int ABacklog);

// One waiting connection, or -1 when none waits.
int AcceptTcp(int AListener, TSocketAddress* APeer = nullptr);

// Starts connecting: the descriptor with AError 0 (connected) or EINPROGRESS, or -1 with the errno.
int StartConnect(const TSocketAddress& AAddress, int& AError);
// Waits at most ATimeoutMs (negative: as long as the system lets a connect take) for a started
// connect to end: 0 when connected, ETIMEDOUT when it did not end in time, otherwise its errno.
int FinishConnect(int AFd, int ATimeoutMs);
// Tries the addresses in turn, all within ATimeoutMs (0 or less: the system's own limit), and stops at
// a timeout: the connected descriptor, or -1 with AError the errno of the last attempt. AUsed tells
// which address answered (or was tried last).
int ConnectTcp(const std::vector<TSocketAddress>& AAddresses, int ATimeoutMs, int& AError,
               TSocketAddress* AUsed = nullptr);

void SetNoDelay(int AFd);

} // namespace vexo
