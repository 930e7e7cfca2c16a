#include "util/PseudoTerminal.h"
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

using namespace vexo;
namespace fs = std::filesystem;

namespace {

struct PtyLink : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        char name[] = "/tmp/pty-link-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST(PseudoTerminal, OpensARawPairThatCarriesEveryByte) {
    TPseudoTerminal pty(B19200);
    ASSERT_GE(pty.Master(), 0);
    EXPECT_EQ(::fcntl(pty.Master(), F_GETFL) & O_NONBLOCK, O_NONBLOCK);
    EXPECT_EQ(::fcntl(pty.Master(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(::fcntl(pty.Slave(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Slave(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), speed_t(B19200));
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), 0u);

    // Bytes a cooked terminal would change or swallow: CR, LF, ^C, ^D, XOFF, DEL, 0xFF.
    const std::string bytes("\r\n\x03\x04\x13\x7f\xff\x00", 8);
    const int peer = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(peer, 0);
    ASSERT_EQ(::write(pty.Master(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    std::string got;
    char buffer[64];
    while (got.size() < bytes.size()) {
        pollfd p{peer, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1) << "only " << got.size() << " byte(s) came";
        const ssize_t n = ::read(peer, buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        got.append(buffer, size_t(n));
    }
    EXPECT_EQ(got, bytes);
    ::close(peer);
}

TEST(PseudoTerminal, AMovedPairClosesOnlyOnce) {
    TPseudoTerminal first;
    const int master = first.Master();
    TPseudoTerminal second(std::move(first));
    EXPECT_EQ(first.Master(), -1);
    EXPECT_EQ(second.Master(), master);
    TPseudoTerminal third;
    third = std::move(second);
    EXPECT_EQ(third.Master(), master);
    EXPECT_NE(::fcntl(master, F_GETFD), -1) << "the moved descriptor is still open";
}

TEST_F(PtyLink, ALinkIsReplacedInOneStepAndRemovedOnlyWhileItIsOurs) {
    const fs::path link = dir / "port";
    TPseudoTerminal one, two;
    {
        TPtyLink mine(link.string());
        mine.PointAt(one.SlavePath());
        EXPECT_EQ(fs::read_symlink(link), one.SlavePath());
        mine.PointAt(two.SlavePath());
        EXPECT_EQ(fs::read_symlink(link), two.SlavePath());
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
            << "no temporary name is left behind";
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "our own link goes with us";

    TPtyLink first(link.string());
    first.PointAt(one.SlavePath());
    TPtyLink later(link.string());
    later.PointAt(two.SlavePath()); // another owner took the name over
    first.Remove();
    EXPECT_EQ(fs::read_symlink(link), two.SlavePath()) << "a link that names another terminal stays";
}

TEST_F(PtyLink, AFileThatIsNotALinkIsNeverReplaced) {
    const fs::path file = dir / "notes.txt";
    std::ofstream(file) << "keep me";
    TPseudoTerminal pty;
    TPtyLink link(file.string());
    EXPECT_THROW(link.CheckPlace(), std::runtime_error);
    try {
        link.PointAt(pty.SlavePath());
        FAIL() << "a regular file was replaced";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), file.string() + " exists and is not a symbolic link");
    }
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");

    TPtyLink nowhere((dir / "missing" / "port").string());
    EXPECT_THROW(nowhere.PointAt(pty.SlavePath()), std::runtime_error);
}
