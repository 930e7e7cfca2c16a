// The pseudo-terminal and TCP transports end to end, with a host that writes exact frames and
// checks exact answers.
#include "SimTestSupport.h"
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kestrel::sim::test {
namespace {

const ByteString kOpn = Hex("16 4F 50 4E 17 A8 A9");
const ByteString kOpnAnswer = Hex("06 16 4F 50 4E 30 30 30 17 77 5E");

// Reads ACount bytes or until the time is up; stops early on end of file or error.
ByteString ReadFd(int AFd, size_t ACount, int ATimeoutMs = 2000) {
    ByteString got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeoutMs);
    while (got.size() < ACount) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fd{AFd, POLLIN, 0};
        if (poll(&fd, 1, int(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = read(AFd, buffer, std::min(sizeof buffer, ACount - got.size()));
        if (n <= 0) break;
        got.append(buffer, size_t(n));
    }
    return got;
}

int OpenPty(const std::string& APath) {
    const int fd = open(APath.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios raw{};
        tcgetattr(fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    return fd;
}

int ConnectTcp(uint16_t APort) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(APort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TEST(SimTransport, PtyAnswersAHostAndKeepsItsLink) {
    const std::string link = ::testing::TempDir() + "kestrel-sim-test-link";
    std::filesystem::remove(link);
    std::string slave;
    {
        SimulatorRunner sim;
        slave = sim.StartPty(link);
        EXPECT_EQ(std::filesystem::read_symlink(link), slave);
        const int fd = OpenPty(link);
        ASSERT_GE(fd, 0) << strerror(errno);
        ASSERT_EQ(write(fd, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
        EXPECT_EQ(ReadFd(fd, 11), kOpnAnswer);
        // Closing and reopening the port is not a hang-up.
        close(fd);
        const int again = OpenPty(slave);
        ASSERT_GE(again, 0);
        sim.PressKey(4);
        const ByteString gky = Hex("16 47 4B 59 17 04 1C");
        ASSERT_EQ(write(again, gky.data(), gky.size()), ssize_t(gky.size()));
        EXPECT_EQ(ReadFd(again, 11), Hex("06") + Frame("GKY004"));
        close(again);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// Two simulators given the same link: the later one owns it, and the earlier one leaving does
// not take its name away.
TEST(SimTransport, APtyLinkTakenOverIsNotRemovedByItsFormerOwner) {
    const std::string link = ::testing::TempDir() + "kestrel-sim-test-shared-link";
    std::filesystem::remove(link);
    SimulatorRunner later;
    {
        SimulatorRunner earlier;
        earlier.StartPty(link);
        const std::string slave = later.StartPty(link);
        ASSERT_EQ(std::filesystem::read_symlink(link), slave);
    }
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_EQ(std::filesystem::read_symlink(link), later.Address());
    const int fd = OpenPty(link);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
    EXPECT_EQ(ReadFd(fd, 11), kOpnAnswer);
    close(fd);
    later.Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimTransport, PtyHangupMovesThePinPadToANewPort) {
    SimulatorRunner sim;
    const std::string first = sim.StartPty();
    sim.AddFault("hangup");
    const int fd = OpenPty(first);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
    EXPECT_EQ(ReadFd(fd, 6), kOpnAnswer.substr(0, 6));
    // The line went away: the host's port ends (end of file or an error) and the PIN pad is elsewhere.
    ByteString rest = ReadFd(fd, 1, 2000);
    EXPECT_EQ(rest, "");
    close(fd);
    std::string second = sim.Address();
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (second == first && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        second = sim.Address();
    }
    ASSERT_NE(second, first);
    const int fresh = OpenPty(second);
    ASSERT_GE(fresh, 0);
    ASSERT_EQ(write(fresh, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
    EXPECT_EQ(ReadFd(fresh, 11), kOpnAnswer);
    close(fresh);
}

TEST(SimTransport, TcpAnswersOneHostAfterAnother) {
    SimulatorRunner sim;
    const uint16_t port = sim.StartTcp("127.0.0.1", 0);
    ASSERT_NE(port, 0);
    for (int round = 0; round < 2; ++round) {
        const int fd = ConnectTcp(port);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
        EXPECT_EQ(ReadFd(fd, 11), kOpnAnswer) << "round " << round;
        close(fd);
    }
    EXPECT_TRUE(sim.WaitForCommands(2, 2000));
}

TEST(SimTransport, TcpServesOnTheIPv6Loopback) {
    const int fd = socket(AF_INET6, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    SimulatorRunner sim;
    uint16_t port = 0;
    try {
        port = sim.StartTcp("::1", 0);
    } catch (const std::runtime_error& e) {
        close(fd);
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = in6addr_loopback;
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << strerror(errno);
    ASSERT_EQ(write(fd, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
    EXPECT_EQ(ReadFd(fd, 11), kOpnAnswer);
    close(fd);
}

TEST(SimTransport, TcpHangupResetsTheConnection) {
    SimulatorRunner sim;
    const uint16_t port = sim.StartTcp();
    sim.AddFault("hangup");
    const int fd = ConnectTcp(port);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
    EXPECT_EQ(ReadFd(fd, 11), kOpnAnswer.substr(0, 6));
    close(fd);
    const int next = ConnectTcp(port);
    ASSERT_GE(next, 0);
    ASSERT_EQ(write(next, kOpn.data(), kOpn.size()), ssize_t(kOpn.size()));
    EXPECT_EQ(ReadFd(next, 11), kOpnAnswer);
    close(next);
}

TEST(SimTransport, StartingTwiceOrOnABusyPortFails) {
    SimulatorRunner sim;
    const uint16_t port = sim.StartTcp();
    EXPECT_THROW(sim.StartTcp(), std::runtime_error);
    SimulatorRunner other;
    EXPECT_THROW(other.StartTcp("127.0.0.1", port), std::runtime_error);
    EXPECT_THROW(other.StartPty("/nonexistent-dir/link"), std::runtime_error);
}

TEST(SimTransport, LineRatePacingDelaysTheAnswer) {
    SimulatorRunner sim;
    sim.SetBaudRate(1200); // 120 bytes a second
    auto host = sim.StartInProcess();
    const auto start = std::chrono::steady_clock::now();
    host.Write(kOpn);
    EXPECT_EQ(host.Read(11, 3000ms), kOpnAnswer);
    // Seven bytes in and eleven out cannot take less than 18 byte times at this rate.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 18 * 8ms);
}

} // namespace
} // namespace kestrel::sim::test
