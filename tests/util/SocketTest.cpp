#include "util/Socket.h"
#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

using namespace vexo;

namespace {

bool HasIPv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A connection made through the listener, both ends open; -1s when it fails.
std::pair<int, int> Connect(const TListener& AListener, const std::string& AHost) {
    int error = 0;
    const int client = ConnectTcp(ResolveTcp(AHost, AListener.Port, false), 2000, error);
    if (client < 0) return {-1, -1};
    pollfd p{AListener.Fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) return {client, -1};
    return {client, AcceptTcp(AListener.Fd)};
}

} // namespace

TEST(Socket, ResolvesIPv4FirstAndSaysWhyANameDoesNotResolve) {
    std::vector<TSocketAddress> addresses;
    ASSERT_EQ(ResolveTcp("localhost", "4000", false, addresses), 0);
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(addresses.front().Family(), AF_INET);
    EXPECT_EQ(addresses.front().Port(), 4000);
    EXPECT_EQ(addresses.front().Text(), "127.0.0.1:4000");
    EXPECT_NE(ResolveTcp("no-such-host.invalid", "1", false, addresses), 0);
    try {
        ResolveTcp("no-such-host.invalid", 1, false);
        FAIL() << "an unknown name resolved";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("cannot resolve no-such-host.invalid: ", 0), 0u) << e.what();
    }
}

TEST(Socket, ListensOnAFreePortAndConnectsBothWays) {
    const TListener listener = ListenTcp("127.0.0.1", 0, 1);
    ASSERT_GE(listener.Fd, 0);
    EXPECT_NE(listener.Port, 0);
    EXPECT_EQ(AcceptTcp(listener.Fd), -1) << "nobody is waiting yet";
    const auto [client, server] = Connect(listener, "127.0.0.1");
    ASSERT_GE(client, 0);
    ASSERT_GE(server, 0);
    ASSERT_EQ(::send(client, "ping", 4, MSG_NOSIGNAL), 4);
    pollfd p{server, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    char buffer[8];
    EXPECT_EQ(::recv(server, buffer, sizeof buffer, 0), 4);
    try {
        ListenTcp("127.0.0.1", listener.Port, 1);
        FAIL() << "a port in use was taken twice";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot listen on 127.0.0.1:" + std::to_string(listener.Port) + ": Address already in use");
    }
    ::close(client);
    ::close(server);
    ::close(listener.Fd);
}

TEST(Socket, AClosedPortIsRefusedAndNamed) {
    const TListener listener = ListenTcp("127.0.0.1", 0, 1);
    const uint16_t port = listener.Port;
    ::close(listener.Fd);
    int error = 0;
    TSocketAddress used;
    EXPECT_EQ(ConnectTcp(ResolveTcp("127.0.0.1", port, false), 2000, error, &used), -1);
    EXPECT_EQ(error, ECONNREFUSED);
    EXPECT_EQ(used.Port(), port);
}

TEST(Socket, ListensAndConnectsOnIPv6) {
    if (!HasIPv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback";
    const TListener listener = ListenTcp("::1", 0, 1);
    const auto [client, server] = Connect(listener, "::1");
    ASSERT_GE(client, 0);
    ASSERT_GE(server, 0);
    TSocketAddress peer;
    peer.Length = sizeof peer.Storage;
    ::getpeername(server, reinterpret_cast<sockaddr*>(&peer.Storage), &peer.Length);
    EXPECT_EQ(peer.Text().rfind("[::1]:", 0), 0u) << peer.Text();
    ::close(client);
    ::close(server);
    ::close(listener.Fd);
}
