#include "trace/LinkTracker.h"
#include "TraceTestSupport.h"
#include "trace/TraceText.h"

#include "pinpad/VexoAbecsTables.h"

#include <gtest/gtest.h>

using namespace kestrel::trace;
using namespace kestrel::trace::test;
using namespace vexo;
using namespace std::chrono_literals;
using namespace std::string_literals;
using K = TraceEvent::Kind;

namespace {

constexpr auto H = Direction::HostToPinPad;
constexpr auto P = Direction::PinPadToHost;

// Drives a tracker on a clock of its own, from a start time that is the same in every run.
class Link {
public:
    std::vector<TraceEvent> Send(Direction ADir, const ByteString& ABytes, Millis AAfter = 0ms) {
        fNow += AAfter;
        std::vector<TraceEvent> events;
        fTracker.Feed(ADir, ABytes, fNow, events);
        return events;
    }
    std::vector<TraceEvent> Wait(Millis AFor) {
        fNow += AFor;
        std::vector<TraceEvent> events;
        fTracker.Tick(fNow, events);
        return events;
    }
    LinkTracker& Tracker() { return fTracker; }

private:
    LinkTracker fTracker;
    TraceClock::time_point fNow = TraceClock::time_point(1'700'000'000s);
};

const ByteString kAck = "\x06", kNak = "\x15", kCan = "\x18", kEot = "\x04";

} // namespace

TEST(LinkTracker, AResponseIsPairedWithItsCommandAndTimed) {
    Link link;
    auto e = link.Send(H, Frame("GIX" + Block(TLV(SPE_IDLIST, "\x80\x01"s))));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].What, K::Command);
    EXPECT_EQ(link.Send(P, kAck, 5ms)[0].Command, "GIX");
    e = link.Send(P, Frame("GIX000" + Block(TLV(PP_SERNUM, "1"))), 170ms);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].What, K::Response);
    EXPECT_EQ(e[0].Command, "GIX");
    EXPECT_EQ(e[0].Took, 175ms);
    EXPECT_EQ(link.Tracker().Pending(), "");

    const auto lines = FormatEvent(e[0]);
    EXPECT_NE(lines[0].find(" <- GIX 000"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("after 0.175 s"), std::string::npos) << lines[0];
    EXPECT_EQ(link.Tracker().Stats().SlowestCommand, "GIX");
    EXPECT_EQ(link.Tracker().Stats().Commands.at("GIX"), 1);
}

TEST(LinkTracker, ResendsOnEitherSideAreCountedAsRetries) {
    Link link;
    const ByteString command = Frame("OPN");
    link.Send(H, command);
    EXPECT_EQ(link.Send(P, kNak)[0].What, K::Nak);
    auto again = link.Send(H, command, 10ms);
    EXPECT_TRUE(again[0].Retry);
    link.Send(P, kAck);
    ByteString damaged = Frame("OPN000");
    damaged.back() = static_cast<char>(damaged.back() ^ 0x40);
    EXPECT_EQ(link.Send(P, damaged)[0].What, K::BadFrame);
    link.Send(H, kNak);
    auto resent = link.Send(P, Frame("OPN000"));
    EXPECT_EQ(resent[0].What, K::Response);
    // The damaged copy could not be read, but the NAK and the copy after it say it was a resend.
    EXPECT_TRUE(resent[0].Retry);
    EXPECT_EQ(resent[0].Command, "OPN") << "still the answer to OPN, and timed";
    EXPECT_NE(FormatEvent(resent[0])[0].find(" [again] after "), std::string::npos) << FormatEvent(resent[0])[0];
    link.Send(H, kNak);
    EXPECT_TRUE(link.Send(P, Frame("OPN000"))[0].Retry);

    // The host's command damaged on its way: NAK, and the good copy is a resend too, counted once.
    ByteString bad = Frame("CLO");
    bad[2] = static_cast<char>(bad[2] ^ 0x01);
    link.Send(H, bad);
    link.Send(P, kNak);
    const auto clo = link.Send(H, Frame("CLO"));
    EXPECT_TRUE(clo[0].Retry);
    EXPECT_EQ(link.Tracker().Pending(), "CLO");
    // A good frame after a damaged one that nobody refused is no resend.
    link.Send(P, kAck);
    link.Send(P, damaged);
    EXPECT_FALSE(link.Send(P, Frame("CLO000"))[0].Retry);

    const auto& stats = link.Tracker().Stats();
    EXPECT_EQ(stats.Commands.at("OPN"), 1);
    EXPECT_EQ(stats.Commands.at("CLO"), 1);
    EXPECT_EQ(stats.Retries, 4);
    EXPECT_EQ(stats.Naks, 4);
    EXPECT_EQ(stats.BadFrames, 3);
}

TEST(LinkTracker, CanEotEndsAWaitAndALateResponseIsLeftOver) {
    Link link;
    link.Send(H, Frame("GKY"));
    link.Send(P, kAck);
    EXPECT_EQ(link.Send(H, kCan, 1500ms)[0].Note, "the host aborts GKY");
    const auto e = link.Send(P, kEot, 20ms);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].What, K::Eot) << "the EOT first, then the abort it causes";
    EXPECT_EQ(e[1].What, K::Aborted);
    EXPECT_EQ(e[1].Took, 1520ms);
    const auto left = link.Send(P, Frame("GKY013"), 10ms);
    EXPECT_NE(left[0].Note.find("left over"), std::string::npos);
    EXPECT_EQ(link.Tracker().Stats().Aborts, 1);
}

TEST(LinkTracker, ANewCommandAbandonsAWaitingOne) {
    Link link;
    link.Send(H, Frame("GKY"));
    link.Send(P, kAck);
    const auto e = link.Send(H, Frame("DSP" + Block(std::string(32, ' '))), 3s);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].What, K::Command);
    EXPECT_EQ(e[1].What, K::Aborted);
    EXPECT_EQ(e[1].Command, "GKY");
    EXPECT_EQ(link.Tracker().Pending(), "DSP");
}

TEST(LinkTracker, SilencesAreReportedOnceEach) {
    Link link;
    link.Send(H, Frame("GIN" + Block("00")));
    EXPECT_TRUE(link.Wait(1s).empty());
    auto e = link.Wait(1s);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].What, K::Timeout);
    EXPECT_NE(e[0].Note.find("no ACK"), std::string::npos);
    EXPECT_TRUE(link.Wait(5s).empty());

    link.Send(P, kAck);
    e = link.Wait(5s);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_NE(e[0].Note.find("no response to GIN"), std::string::npos) << e[0].Note;

    // A command that waits for the cardholder may wait for ever; an unanswered CAN may not.
    Link waiting;
    waiting.Send(H, Frame("GKY"));
    waiting.Send(P, kAck);
    EXPECT_TRUE(waiting.Wait(60s).empty());
    waiting.Send(H, kCan);
    EXPECT_NE(waiting.Wait(3s).at(0).Note.find("no EOT"), std::string::npos);

    // Half a frame and then nothing: it shows as stray bytes once the line has been quiet.
    Link cut;
    cut.Send(P, Frame("GKY000").substr(0, 4));
    e = cut.Wait(2s);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].What, K::Stray);
    EXPECT_NE(e[0].Note.find("never ended"), std::string::npos);
}

TEST(LinkTracker, StatsAddUpAndFormat) {
    Link link;
    link.Send(H, Frame("GKY"));
    link.Send(P, kAck);
    link.Send(P, Frame("GKY013"), 2s);
    link.Send(H, Frame("XYZ"));
    link.Send(P, kAck);
    link.Send(P, Frame("ERR010"));
    // The key a GKY reports is its answer, not an error.
    link.Send(H, Frame("GKY"));
    link.Send(P, kAck);
    link.Send(P, Frame("GKY004"));
    const auto& stats = link.Tracker().Stats();
    EXPECT_EQ(stats.Errors.count(4), 0u);
    EXPECT_EQ(stats.Errors.at(13), 1);
    EXPECT_EQ(stats.Errors.at(10), 1);
    EXPECT_EQ(stats.SlowestCommand, "GKY");
    const auto lines = FormatStats(stats);
    EXPECT_EQ(lines[0], "commands: GKY 2, XYZ 1");
    EXPECT_EQ(lines[1], "errors: 010 x1, 013 x1");
    EXPECT_EQ(lines[3], "slowest: GKY 2.000 s");
    EXPECT_EQ(stats.BytesToPinPad, 2 * Frame("GKY").size() + Frame("XYZ").size());
}

TEST(LinkTracker, TickingAtTheNextDeadlineReportsEachSilenceAtItsTime) {
    Link link;
    EXPECT_FALSE(link.Tracker().NextDeadline());
    const auto start = TraceClock::time_point(1'700'000'000s);
    link.Send(H, Frame("GIN" + Block("00")));
    ASSERT_EQ(link.Tracker().NextDeadline(), start + 2000ms); // the ACK
    link.Send(P, kAck, 40ms);
    ASSERT_EQ(link.Tracker().NextDeadline(), start + 10000ms); // the response, from the command
    link.Send(P, Frame("GIN000").substr(0, 3), 100ms);         // half a response
    ASSERT_EQ(link.Tracker().NextDeadline(), start + 1140ms);  // the frame gap comes first

    std::vector<TraceEvent> events;
    for (int i = 0; i < 5; ++i) {
        const auto at = link.Tracker().NextDeadline();
        if (!at) break;
        const size_t before = events.size();
        link.Tracker().Tick(*at, events);
        ASSERT_GT(events.size(), before) << "a deadline that reports nothing";
        EXPECT_EQ(events.back().At, *at);
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].What, K::Stray);
    EXPECT_EQ(events[1].What, K::Timeout);
    EXPECT_EQ(events[1].Took, 10000ms);
    EXPECT_FALSE(link.Tracker().NextDeadline()); // each silence is reported once

    // A waiting command has no deadline of its own; its CAN has one.
    Link waiting;
    waiting.Send(H, Frame("GKY"));
    waiting.Send(P, kAck);
    EXPECT_FALSE(waiting.Tracker().NextDeadline());
    waiting.Send(H, kCan, 5s);
    EXPECT_EQ(waiting.Tracker().NextDeadline(), start + 7000ms);
}
