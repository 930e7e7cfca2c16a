// The stop signals reach the descriptor instead of ending the process, as the programs' clean exits
// (the pty link removed, the summary written) depend on.
#include "util/Signals.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// The process's signal mask as it was, and no stop signal left pending, whatever the test did.
class SignalMask : public ::testing::Test {
protected:
    void SetUp() override { pthread_sigmask(SIG_SETMASK, nullptr, &fBefore); }
    void TearDown() override {
        const timespec none{0, 0};
        sigset_t stop;
        sigemptyset(&stop);
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&stop, s);
        while (sigtimedwait(&stop, nullptr, &none) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &fBefore, nullptr);
    }
    sigset_t fBefore;
};

TEST_F(SignalMask, EachStopSignalIsReadFromTheDescriptorAndTheProcessLives) {
    const int fd = vexo::BlockStopSignals();
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
    EXPECT_FALSE(fcntl(fd, F_GETFL) & O_NONBLOCK);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        ASSERT_EQ(kill(getpid(), s), 0);
        pollfd p{fd, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 5000), 1) << s;
        signalfd_siginfo info{};
        ASSERT_EQ(read(fd, &info, sizeof info), static_cast<ssize_t>(sizeof info));
        EXPECT_EQ(static_cast<int>(info.ssi_signo), s);
    }
    close(fd);
}

TEST_F(SignalMask, ANonBlockingDescriptorSaysSoWhenNothingCame) {
    const int fd = vexo::BlockStopSignals(true);
    ASSERT_GE(fd, 0);
    signalfd_siginfo info{};
    errno = 0;
    EXPECT_EQ(read(fd, &info, sizeof info), -1);
    EXPECT_EQ(errno, EAGAIN);
    close(fd);
}

} // namespace
