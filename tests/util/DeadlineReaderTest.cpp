// The one buffered read with a deadline, against a real socket pair: what a read gives back when the
// peer sends part of it, splits it, closes, or trickles it; and that a signal is never an error.
#include "util/DeadlineReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <deque>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace vexo;

namespace {

using namespace std::chrono_literals;

// Both ends of a stream socket pair; the test writes on Peer and reads on Near.
struct SocketPair : ::testing::Test {
    int fds[2] = {-1, -1};
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    void TearDown() override {
        for (int& fd : fds)
            if (fd >= 0) ::close(fd);
    }
    int Near() const { return fds[0]; }
    int Peer() const { return fds[1]; }
    void Send(const ByteString& AData) const {
        ASSERT_EQ(::write(Peer(), AData.data(), AData.size()), static_cast<ssize_t>(AData.size()));
    }
    void ClosePeer() {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

void NoOp(int) {}

} // namespace

TEST_F(SocketPair, PartialDataThenSilenceIsATimeoutThatKeepsTheBytes) {
    TDeadlineReader reader(Near());
    Send("abc");
    const TReadResult counted = reader.ReadExactly(5, TDeadline::After(100));
    EXPECT_EQ(counted.End, TReadEnd::reTimeout);
    EXPECT_EQ(counted.Data, "");
    EXPECT_EQ(reader.Buffered(), "abc");
    const TReadResult line = reader.ReadUntil("\x03", TDeadline::After(50));
    EXPECT_EQ(line.End, TReadEnd::reTimeout);
    EXPECT_EQ(reader.Take(2), "ab");
    // The rest comes first in the next read, before anything the descriptor has.
    Send("de");
    const TReadResult next = reader.ReadExactly(3, TDeadline::After(1000));
    EXPECT_EQ(next.End, TReadEnd::reData);
    EXPECT_EQ(next.Data, "cde");
}

TEST_F(SocketPair, DataSplitAcrossReadsIsJoinedAndTheRestStaysBuffered) {
    TDeadlineReader reader(Near(), 2); // two bytes a step: every read below takes several steps
    std::thread peer([this] {
        Send("OK\r");
        std::this_thread::sleep_for(20ms);
        Send("\nnext12345");
    });
    const TReadResult line = reader.ReadUntil("\r\n", TDeadline::After(2000));
    peer.join();
    EXPECT_EQ(line.End, TReadEnd::reData);
    EXPECT_EQ(line.Data, "OK");
    EXPECT_EQ(reader.ReadExactly(4, TDeadline::After(2000)).Data, "next");
    // What is buffered is handed out without a wait; only an empty buffer waits for the peer.
    EXPECT_EQ(reader.ReadSome(3, TDeadline::After(0)).Data.substr(0, 1), "1");
    EXPECT_EQ(reader.ReadUntil("5", TDeadline::After(2000)).End, TReadEnd::reData);
    EXPECT_EQ(reader.ReadSome(3, TDeadline::After(50)).End, TReadEnd::reTimeout);
}

TEST_F(SocketPair, EndOfFileMidReadIsItsOwnEndAndDeliversWhatCameFirst) {
    TDeadlineReader reader(Near());
    Send("ab");
    ClosePeer();
    const TReadResult counted = reader.ReadExactly(4, TDeadline::After(1000));
    EXPECT_EQ(counted.End, TReadEnd::reEndOfFile);
    EXPECT_EQ(reader.Buffered(), "ab");
    EXPECT_EQ(reader.ReadUntil("\n", TDeadline::After(1000)).End, TReadEnd::reEndOfFile);
    const TReadResult some = reader.ReadSome(10, TDeadline::After(1000));
    EXPECT_EQ(some.End, TReadEnd::reData);
    EXPECT_EQ(some.Data, "ab");
    EXPECT_EQ(reader.ReadSome(10, TDeadline::After(1000)).End, TReadEnd::reEndOfFile);
}

TEST_F(SocketPair, ZeroTimeoutLooksOnceAndTakesWhatIsThere) {
    TDeadlineReader reader(Near());
    EXPECT_EQ(reader.ReadSome(10, TDeadline::After(0)).End, TReadEnd::reTimeout);
    EXPECT_EQ(reader.ReadExactly(1, TDeadline::After(-5)).End, TReadEnd::reTimeout);
    Send("x");
    const TReadResult some = reader.ReadSome(10, TDeadline::After(0));
    EXPECT_EQ(some.End, TReadEnd::reData);
    EXPECT_EQ(some.Data, "x");
    // Asking for nothing needs no wait and no data.
    EXPECT_TRUE(reader.ReadExactly(0, TDeadline::After(0)).Complete());
}

// A peer that sends a byte every 30 ms for over a second: a read that restarted its time with each
// byte would only end when the peer closes.
TEST_F(SocketPair, TheDeadlineCountsTheWholeReadNotEachByte) {
    TDeadlineReader reader(Near());
    std::atomic<bool> stop = false;
    std::thread peer([&] {
        for (int i = 0; i < 40 && !stop; ++i) {
            Send("b");
            std::this_thread::sleep_for(30ms);
        }
        ClosePeer();
    });
    const TReadResult counted = reader.ReadExactly(100, TDeadline::After(150));
    const TReadResult line = reader.ReadUntil("\x03", TDeadline::After(150));
    stop = true;
    peer.join();
    EXPECT_EQ(counted.End, TReadEnd::reTimeout);
    EXPECT_EQ(line.End, TReadEnd::reTimeout);
    EXPECT_LT(reader.Buffered().size(), 40u);
}

TEST_F(SocketPair, ASignalDuringTheWaitIsNeitherAnErrorNorTheEnd) {
    struct sigaction action {};
    action.sa_handler = NoOp; // no SA_RESTART: poll() comes back with EINTR
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &before), 0);
    const pthread_t reading = ::pthread_self();
    std::thread peer([&] {
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(20ms);
            ::pthread_kill(reading, SIGUSR1);
        }
        std::this_thread::sleep_for(20ms);
        Send("late");
    });
    TDeadlineReader reader(Near());
    const TReadResult got = reader.ReadExactly(4, TDeadline::After(2000));
    peer.join();
    EXPECT_EQ(got.End, TReadEnd::reData);
    EXPECT_EQ(got.Data, "late");
    // Interrupted waits still end at the deadline as a timeout.
    std::thread again([&] {
        std::this_thread::sleep_for(20ms);
        ::pthread_kill(reading, SIGUSR1);
    });
    EXPECT_EQ(reader.ReadSome(1, TDeadline::After(100)).End, TReadEnd::reTimeout);
    again.join();
    ::sigaction(SIGUSR1, &before, nullptr);
}

TEST_F(SocketPair, ALineWithoutItsEndWithinTheLimitOverflows) {
    TDeadlineReader reader(Near());
    Send("toolong");
    EXPECT_EQ(reader.ReadUntil("\n", TDeadline::After(1000), 4).End, TReadEnd::reOverflow);
    EXPECT_EQ(reader.Buffered(), "toolong");
    Send("\n");
    EXPECT_EQ(reader.ReadUntil("\n", TDeadline::After(1000), 10).Data, "toolong");
}

TEST(DeadlineReader, ABadDescriptorIsAnErrorWithItsNumber) {
    TDeadlineReader none;
    const TReadResult got = none.ReadSome(1, TDeadline::After(100));
    EXPECT_EQ(got.End, TReadEnd::reError);
    EXPECT_EQ(got.Error, EBADF);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    ::close(fds[1]);
    TDeadlineReader closed(fds[0]);
    EXPECT_EQ(closed.ReadExactly(1, TDeadline::After(100)).End, TReadEnd::reError);
}

// A source that is no descriptor: each step is told what would finish the read and what is left of
// the time; an empty answer is a timeout step, and bytes beyond the read stay buffered.
TEST(DeadlineReader, ASourceIsAskedForWhatIsMissingWithWhatIsLeftOfTheTime) {
    std::deque<ByteString> chunks = {"AB", "", "CDEF"};
    std::vector<std::pair<size_t, int>> calls;
    TDeadlineReader reader([&](ByteString& AInto, size_t AWanted, int AMs) {
        calls.emplace_back(AWanted, AMs);
        if (!chunks.empty()) {
            AInto += chunks.front();
            chunks.pop_front();
        }
        return TReadStatus{};
    });
    std::vector<size_t> steps;
    reader.OnStep = [&](const TReadStatus&, std::string_view AReceived) {
        steps.push_back(AReceived.size());
    };
    const TReadResult got = reader.ReadExactly(5, TDeadline::After(2000));
    EXPECT_EQ(got.Data, "ABCDE");
    EXPECT_EQ(reader.Buffered(), "F");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].first, 5u);
    EXPECT_EQ(calls[2].first, 3u);
    for (const auto& [wanted, ms] : calls)
        EXPECT_TRUE(ms > 0 && ms <= 2000) << ms;
    EXPECT_EQ(steps, (std::vector<size_t>{2, 0, 4}));
    // A source that fails ends the read with its own code.
    TDeadlineReader failing([](ByteString&, size_t, int) { return TReadStatus{TReadEnd::reError, 42}; });
    const TReadResult failed = failing.ReadSome(1, TDeadline::After(1000));
    EXPECT_EQ(failed.End, TReadEnd::reError);
    EXPECT_EQ(failed.Error, 42);
}
