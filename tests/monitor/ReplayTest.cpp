// A session recorded through the monitor, then played back by the PIN pad of the recording: the
// same commands get the same bytes, at the recorded pace; commands that stray from the recording
// are reported and answered as the closest recorded one, or refused.
#include "MonitorTestSupport.h"

#include "monitor/RawRecording.h"
#include "monitor/RecordingFile.h"
#include "pinpad/VexoAbecsPacket.h"
#include "sim/MemoryChannel.h"
#include "sim/ReplayPinPad.h"
#include "sim/Scenario.h"
#include "util/Strings.h"

#include <cmath>
#include <cstdio>

namespace kestrel::monitor::test {
namespace {

using sim::ReplayPinPad;
using sim::ReplayScript;
using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSlowGixMs = 600; // a delay well over 100 ms, where the pace must hold within 5 %

// OPN, GIX (answered after kSlowGixMs), DSP, CLO: recorded raw and as
// JSON Lines through the monitor.
struct RecordedSession {
    TempDir dir;
    fs::path raw = dir / "session.raw", jsonl = dir / "session.jsonl";
    std::string serial;

    RecordedSession() {
        sim::Profile profile = sim::Profile::Graphic();
        profile.Set("answer_delay", "GIX:" + std::to_string(kSlowGixMs));
        // Not the simulator's own serial number: an answer from a scenario written from this
        // recording is told apart from the simulator answering by itself.
        profile.Set("PP_SERNUM", "REC0000000000042");
        sim::SimulatorRunner sim(profile);
        RawOutput record(raw.string(), true, 10000);
        JsonLinesOutput json(jsonl.string());
        {
            InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd(sim.StartPty()), true, {&record, &json});
            if (!WaitForPath(dir / "pos")) throw std::runtime_error("the monitor made no terminal");
            vexo::TVexoAbecsPinPad pinpad;
            pinpad.SetPort((dir / "pos").string());
            pinpad.Enable();
            pinpad.OPN();
            pinpad.GIX();
            serial = pinpad.Response().GetResponseFromTagValue(vexo::PP_SERNUM);
            pinpad.DSP("Recorded", "once");
            pinpad.CLO("Bye", "");
            pinpad.Disable();
            if (!monitor.Out.WaitForNote("the POS application closed")) throw std::runtime_error("no close");
            monitor.Stop();
        }
    }
};

const RecordedSession& Session() {
    static const RecordedSession session;
    return session;
}

// The replay on a thread of its own, on an in-memory line the test drives as the host.
struct Replay {
    explicit Replay(ReplayScript AScript, bool AStrict = false) : pinpad(std::move(AScript)) {
        pinpad.SetStrict(AStrict);
        pinpad.SetReport([this](const std::string& ALine) {
            std::lock_guard lock(mutex);
            reports.push_back(ALine);
        });
        host = std::make_unique<sim::MemoryChannel::HostEnd>(channel.Host());
        thread = std::thread([this] { pinpad.Run(channel, stop); });
    }
    ~Replay() {
        stop = true;
        channel.Wake();
        thread.join();
    }
    std::vector<std::string> Reports() {
        std::lock_guard lock(mutex);
        return reports;
    }

    sim::MemoryChannel channel;
    std::unique_ptr<sim::MemoryChannel::HostEnd> host;
    ReplayPinPad pinpad;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<std::string> reports;
    std::thread thread;
};

ByteString Frame(const ByteString& AData) {
    return vexo::TVexoAbecsPacket(AData).AsString();
}

TEST(Replay, TheSameCommandsGetTheRecordedBytesAtTheRecordedPace) {
    const auto recording = LoadRecording(Session().raw.string());
    const ReplayScript script = sim::BuildReplayScript(recording.Items);
    ASSERT_GE(script.Steps.size(), 4u);
    Replay replay(script);
    double worstError = 0;
    int slowSteps = 0;
    for (const auto& step : script.Steps) {
        const auto sent = Clock::now();
        replay.host->Write(step.Host.Raw);
        bool slow = false;
        for (const auto& chunk : step.Answer) {
            const ByteString got = replay.host->Read(chunk.Bytes.size(), 10s);
            const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent);
            ASSERT_EQ(vexo::BytesParaHex(got), vexo::BytesParaHex(chunk.Bytes)) << "step " << step.Name();
            if (chunk.After < 100ms) continue;
            slow = true;
            const double error = double((took - chunk.After).count()) / double(chunk.After.count());
            worstError = std::max(worstError, std::abs(error));
            std::printf("replay: %s answered after %.1f ms, recorded %.1f ms (%+.2f %%)\n",
                        step.Name().c_str(), double(took.count()) / 1000, double(chunk.After.count()) / 1000,
                        100 * error);
            EXPECT_GE(took, chunk.After) << "a recorded delay is never cut short";
            EXPECT_LE(std::abs(error), 0.05) << step.Name();
        }
        slowSteps += slow;
    }
    const auto gixes = std::count_if(script.Steps.begin(), script.Steps.end(),
                                     [](const auto& AStep) { return AStep.Name() == "GIX"; });
    EXPECT_EQ(slowSteps, gixes) << "the GIX held back by the profile is the one slow answer";
    EXPECT_TRUE(replay.host->ReadUntilQuiet(50ms, 500ms).empty()) << "nothing beyond the recording";
    EXPECT_TRUE(replay.Reports().empty());
    EXPECT_EQ(replay.pinpad.StepsPlayed(), script.Steps.size());
    std::printf("replay: worst timing error over 100 ms %.2f %%\n", 100 * worstError);
}

TEST(Replay, JsonLinesGiveTheSameBytesAsTheRawRecording) {
    const auto raw = LoadRecording(Session().raw.string());
    const auto json = LoadRecording(Session().jsonl.string());
    ByteString rawBytes[2], jsonBytes[2];
    for (const auto& item : raw.Items)
        if (item.What == RelayItem::Kind::Bytes) rawBytes[int(item.Dir)] += item.Bytes;
    for (const auto& item : json.Items)
        if (item.What == RelayItem::Kind::Bytes) jsonBytes[int(item.Dir)] += item.Bytes;
    EXPECT_EQ(vexo::BytesParaHex(jsonBytes[0]), vexo::BytesParaHex(rawBytes[0]));
    EXPECT_EQ(vexo::BytesParaHex(jsonBytes[1]), vexo::BytesParaHex(rawBytes[1]));
    const auto a = sim::BuildReplayScript(raw.Items), b = sim::BuildReplayScript(json.Items);
    ASSERT_EQ(a.Steps.size(), b.Steps.size());
    for (size_t i = 0; i < a.Steps.size(); ++i) {
        ASSERT_EQ(a.Steps[i].Answer.size() > 0, b.Steps[i].Answer.size() > 0);
        if (a.Steps[i].Answer.empty()) continue;
        // Milliseconds in the JSON Lines, microseconds in the raw recording.
        EXPECT_NEAR(double(a.Steps[i].Answer.back().After.count()),
                    double(b.Steps[i].Answer.back().After.count()), 2000.0);
    }
}

TEST(Replay, AStrayCommandIsReportedAndAnsweredAsTheClosestOrRefusedWhenStrict) {
    const auto script = sim::BuildReplayScript(LoadRecording(Session().raw.string()).Items);
    const auto gix = std::find_if(script.Steps.begin(), script.Steps.end(),
                                  [](const auto& AStep) { return AStep.Name() == "GIX"; });
    ASSERT_NE(gix, script.Steps.end());
    ByteString recorded;
    for (const auto& chunk : gix->Answer)
        recorded += chunk.Bytes;
    {
        Replay replay(script);
        replay.host->Write(Frame("GIX000"));
        EXPECT_EQ(vexo::BytesParaHex(replay.host->Read(recorded.size(), 10s)), vexo::BytesParaHex(recorded));
        ASSERT_EQ(replay.Reports().size(), 1u);
        EXPECT_NE(replay.Reports()[0].find("GIX differs from the recording, which has OPN here"),
                  std::string::npos)
            << replay.Reports()[0];
        // The replay goes on after the step it played: the next one is taken as recorded.
        const auto next = gix + 1;
        replay.host->Write(next->Host.Raw);
        ByteString answer;
        for (const auto& chunk : next->Answer)
            answer += chunk.Bytes;
        EXPECT_EQ(vexo::BytesParaHex(replay.host->Read(answer.size(), 10s)), vexo::BytesParaHex(answer));
        EXPECT_EQ(replay.Reports().size(), 1u);
        // A CAN the recording does not have still gets its EOT, and a damaged frame its NAK.
        replay.host->Write("\x18"s);
        EXPECT_EQ(replay.host->Read(1, 10s), "\x04"s);
        ByteString damaged = Frame("OPN");
        damaged.back() ^= 1;
        replay.host->Write(damaged);
        EXPECT_EQ(replay.host->Read(1, 10s), "\x15"s);
        EXPECT_EQ(replay.pinpad.Departures(), 3u);
    }
    {
        Replay replay(script, true);
        replay.host->Write(Frame("GIX000"));
        EXPECT_EQ(vexo::BytesParaHex(replay.host->Read(1 + Frame("GIX010").size(), 10s)),
                  vexo::BytesParaHex("\x06"s + Frame("GIX010")));
        ASSERT_EQ(replay.Reports().size(), 1u);
        EXPECT_NE(replay.Reports()[0].find("refused with status 010"), std::string::npos);
    }
}

// The program, as a user runs it: the component driven against kestrel-sim --replay reads what it
// read from the simulated PIN pad.
TEST(Replay, TheProgramIsThePinPadOfTheRecording) {
    TempDir dir;
    const fs::path out = dir / "out", err = dir / "err", link = dir / "pinpad";
    pid_t pid = ::fork();
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execl(KESTREL_SIM_PROGRAM, KESTREL_SIM_PROGRAM, "--pty", "--link", link.c_str(), "--replay",
                Session().raw.c_str(), "--time-scale", "0.1", nullptr);
        ::_exit(127);
    }
    ASSERT_TRUE(WaitForPath(link, 10s)) << ReadFile(err);
    {
        vexo::TVexoAbecsPinPad pinpad;
        pinpad.SetPort(link.string());
        pinpad.Enable();
        pinpad.OPN();
        pinpad.GIX();
        EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(vexo::PP_SERNUM), Session().serial);
        pinpad.DSP("Recorded", "once");
        pinpad.CLO("Bye", "");
        pinpad.Disable();
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < 10000 && ::waitpid(pid, &status, WNOHANG) != pid; waited += 10)
        ::usleep(10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(err);
    EXPECT_NE(ReadFile(err).find("0 departures from the recording"), std::string::npos) << ReadFile(err);
}

// A GKY the host cancelled: the replay answers the CAN with the recorded EOT, a resend after a NAK
// with the recorded response, and the host side reads the cancel with its recorded time.
TEST(Replay, AbortsAndResendsPlayAsRecorded) {
    const auto t0 = TraceClock::time_point(std::chrono::seconds(1'800'000'000));
    constexpr auto H = Direction::HostToPinPad;
    constexpr auto P = Direction::PinPadToHost;
    const ByteString response = Frame("GIX000000");
    const std::vector<RelayItem> items{
        RelayItem::Chunk(H, t0, Frame("GIX000")),  RelayItem::Chunk(P, t0 + 1ms, "\x06"s + response),
        RelayItem::Chunk(H, t0 + 5ms, "\x15"s), // the host refused the response: sent again
        RelayItem::Chunk(P, t0 + 6ms, response),   RelayItem::Chunk(H, t0 + 1s, Frame("GKY")),
        RelayItem::Chunk(P, t0 + 1001ms, "\x06"s), RelayItem::Chunk(H, t0 + 1500ms, "\x18"s),
        RelayItem::Chunk(P, t0 + 1502ms, "\x04"s),
    };
    const auto script = sim::BuildReplayScript(items);
    const auto commands = sim::RecordedCommands(script);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].Response, "GIX000000"s);
    EXPECT_FALSE(commands[1].Response);
    ASSERT_TRUE(commands[1].CancelAfter);
    EXPECT_EQ(*commands[1].CancelAfter, 500ms);

    Replay replay(script);
    replay.host->Write(Frame("GIX000"));
    EXPECT_EQ(replay.host->Read(1 + response.size(), 10s), "\x06"s + response);
    replay.host->Write("\x15"s);
    EXPECT_EQ(replay.host->Read(response.size(), 10s), response);
    replay.host->Write(Frame("GKY"));
    EXPECT_EQ(replay.host->Read(1, 10s), "\x06"s);
    replay.host->Write("\x18"s);
    EXPECT_EQ(replay.host->Read(1, 10s), "\x04"s);
    EXPECT_TRUE(replay.Reports().empty());
    EXPECT_EQ(replay.pinpad.StepsPlayed(), 4u);
}

// The scenario written from the recording answers each recorded command, in order, with the
// recorded response's very data field, on a simulator that would answer otherwise by itself.
TEST(Replay, TheScenarioWrittenFromARecordingAnswersAsRecorded) {
    TempDir dir;
    const fs::path yaml = dir / "session.yaml", err = dir / "err";
    Program program({"--to-scenario", Session().raw.string()}, yaml, err);
    ASSERT_EQ(program.Wait(), 0) << ReadFile(err);
    sim::SimulatorRunner sim;
    ASSERT_NO_THROW(sim.SetScenario(sim::Scenario::Load(yaml.string()))) << ReadFile(yaml);
    auto host = sim.StartInProcess();
    const auto commands =
        sim::RecordedCommands(sim::BuildReplayScript(LoadRecording(Session().raw.string()).Items));
    ASSERT_GE(commands.size(), 4u);
    for (const auto& command : commands) {
        ASSERT_TRUE(command.Response);
        const auto sent = Clock::now();
        host.Write(Frame(command.Command));
        trace::FrameDecoder decoder;
        std::vector<trace::LinkUnit> units;
        const auto until = Clock::now() + 10s;
        while (Clock::now() < until && std::none_of(units.begin(), units.end(), [](const auto& AUnit) {
                   return AUnit.What == trace::LinkUnit::Kind::Frame;
               }))
            decoder.Feed(host.Read(1, 100ms), units);
        const auto took = Clock::now() - sent;
        ASSERT_FALSE(units.empty());
        EXPECT_EQ(units.front().What, trace::LinkUnit::Kind::Ack);
        ASSERT_EQ(units.back().What, trace::LinkUnit::Kind::Frame) << command.Command.substr(0, 3);
        EXPECT_EQ(units.back().Data, *command.Response);
        // The recorded delay is kept as the rule's delay, in whole milliseconds.
        EXPECT_GE(took, std::chrono::duration_cast<std::chrono::milliseconds>(command.Took));
    }
}

} // namespace
} // namespace kestrel::monitor::test
