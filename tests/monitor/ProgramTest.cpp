// The kestrel-monitor program as a user runs it: its help and errors, a clean stop on SIGTERM,
// card data kept out of every output, and a replay that gives what the live session gave.
#include "MonitorTestSupport.h"

#include "monitor/RawRecording.h"
#include "pinpad/VexoAbecsErrors.h"

namespace kestrel::monitor::test {
namespace {

using sim::SimulatorRunner;
using vexo::TVexoAbecsPinPad;

const std::string kPan = "4761739001010010";
const std::string kTrack1 = "B" + kPan + "^KESTREL/TEST CARD^30122011000000000000";
const std::string kTrack2 = kPan + "=30122011000000000000";

// The bytes of a recording's records, both directions joined.
ByteString RecordedBytes(const fs::path& APath) {
    std::ifstream in(APath, std::ios::binary);
    RawReader reader(in);
    ByteString all;
    RelayItem item;
    while (reader.Next(item))
        all += item.Bytes;
    return all;
}

// Where a card number or a name could show: as text, or as the hexadecimal of its bytes.
std::vector<std::string> Leaks(const std::string& AText) {
    std::vector<std::string> found;
    for (const std::string& secret : {kPan.substr(0, 7), kPan.substr(5), std::string("TEST CARD")}) {
        std::string spaced, packed;
        for (const char c : secret) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "%02X", static_cast<uint8_t>(c));
            spaced += (spaced.empty() ? "" : " ") + std::string(pair);
            packed += pair;
        }
        for (const std::string& form : {secret, spaced, packed})
            if (AText.find(form) != std::string::npos) found.push_back(form);
    }
    return found;
}

struct Child {
    Child(std::vector<std::string> AArgs, const TempDir& ADir, const std::string& AName)
        : out(ADir / (AName + ".out")), err(ADir / (AName + ".err")), program(std::move(AArgs), out, err) {}
    std::string Out() const { return ReadFile(out); }
    std::string Err() const { return ReadFile(err); }
    fs::path out, err;
    Program program;
};

// The monitor between a PIN-pad component and the simulator, until the test lets it go.
struct Monitored {
    Monitored(const TempDir& ADir, const std::string& AName, std::vector<std::string> AExtra)
        : run(Args(ADir, AName, AExtra), ADir, AName) {
        if (!WaitForPath(ADir / (AName + ".pos"))) throw std::runtime_error("no link: " + run.Err());
        pinpad.SetPort((ADir / (AName + ".pos")).string());
        pinpad.SetTimeOut(1500);
        pinpad.Enable();
    }
    std::vector<std::string> Args(const TempDir& ADir, const std::string& AName,
                                  std::vector<std::string> AExtra) {
        sim.StartPty((ADir / (AName + ".sim")).string());
        sim.SetTimeScale(0.01);
        std::vector<std::string> args{"--host-pty",
                                      (ADir / (AName + ".pos")).string(),
                                      "--device",
                                      (ADir / (AName + ".sim")).string(),
                                      "--params",
                                      "BAUD=115200 DATA=8 PARITY=N STOP=1",
                                      "--raw",
                                      (ADir / (AName + ".raw")).string(),
                                      "--jsonl",
                                      (ADir / (AName + ".jsonl")).string(),
                                      "--response-timeout",
                                      "700"};
        args.insert(args.end(), AExtra.begin(), AExtra.end());
        return args;
    }
    int Stop() {
        pinpad.Disable();
        return run.program.Terminate();
    }
    SimulatorRunner sim;
    Child run;
    TVexoAbecsPinPad pinpad;
};

// A swipe with the tracks in clear, a number on the display and a number typed.
void CardSession(Monitored& AM) {
    AM.pinpad.OPN();
    AM.sim.SwipeCard(kTrack1, kTrack2);
    AM.pinpad.CEX(false, true, false, false, false, 60, "9999"); // the PIN pad masks nothing
    EXPECT_EQ(AM.pinpad.Response().GetResponseFromTagValue(vexo::PP_TRK2INC), kTrack2)
        << "the host gets the tracks as the PIN pad sent them";
    AM.pinpad.DSP(kPan, "");
    AM.sim.TypeDigits(kPan);
    EXPECT_EQ(AM.pinpad.GCD(1, 13, 19, 60), kPan);
}

TEST(Program, HelpNamesEveryOptionAndTheRecordingFormat) {
    TempDir dir;
    Child help({"--help"}, dir, "help");
    EXPECT_EQ(help.program.Wait(), 0);
    const std::string text = help.Out();
    for (const char* word : {"Usage:",
                             "--host-pty",
                             "--host-serial",
                             "--host-listen",
                             "--host-connect",
                             "--host-params",
                             "--device",
                             "--device-pty",
                             "--device-listen",
                             "--device-connect",
                             "--params",
                             "--jsonl",
                             "--raw",
                             "--no-mask",
                             "--quiet",
                             "--bytes",
                             "--response-timeout",
                             "--replay",
                             "--version",
                             "kestrel-monitor raw 1",
                             "masked yes",
                             "Examples:",
                             "SIGINT"})
        EXPECT_NE(text.find(word), std::string::npos) << word;
    Child version({"--version"}, dir, "version");
    EXPECT_EQ(version.program.Wait(), 0);
    EXPECT_EQ(version.Out().rfind("kestrel-monitor ", 0), 0u);
}

TEST(Program, BadCommandLinesAndEndsThatCannotStartFailClearly) {
    TempDir dir;
    const auto status = [&](std::vector<std::string> AArgs, const std::string& AExpect) {
        Child run(std::move(AArgs), dir, "bad");
        const int code = run.program.Wait();
        EXPECT_NE(run.Err().find(AExpect), std::string::npos) << run.Err();
        return code;
    };
    EXPECT_EQ(status({}, "give one host end"), 2);
    EXPECT_EQ(status({"--host-pty", (dir / "a").string(), "--host-listen", "0", "--device", "/dev/null"},
                     "give one host end"),
              2);
    EXPECT_EQ(status({"--host-pty", (dir / "a").string(), "--device-pty", (dir / "b").string(), "--params",
                      "BAUD=19200"},
                     "--params goes with --device"),
              2);
    EXPECT_EQ(status({"--replay", (dir / "r").string(), "--device", "x"}, "--replay takes no ends"), 2);
    EXPECT_EQ(
        status({"--host-pty", (dir / "a").string(), "--device", (dir / "none").string()}, "cannot open"), 1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "a"))) << "nothing is left behind";
    std::ofstream(dir / "file") << "mine";
    EXPECT_EQ(status({"--host-pty", (dir / "file").string(), "--device-pty", (dir / "b").string()},
                     "exists and is not a symbolic link"),
              1);
    EXPECT_EQ(ReadFile(dir / "file"), "mine");
    std::ofstream(dir / "r") << "not a recording\n";
    EXPECT_EQ(status({"--replay", (dir / "r").string()}, "line 1: not a kestrel-monitor raw recording"), 1);
}

TEST(Program, SigtermEndsWithTheSummaryAndRemovesTheLink) {
    TempDir dir;
    Monitored m(dir, "s", {});
    m.pinpad.OPN();
    m.pinpad.DSP("summary", "");
    EXPECT_EQ(m.Stop(), 0) << m.run.Err();
    const std::string out = m.run.Out();
    EXPECT_NE(out.find("== summary"), std::string::npos) << out;
    EXPECT_NE(out.find("commands: DSP 1"), std::string::npos) << out;
    EXPECT_NE(out.find("errors: none"), std::string::npos);
    EXPECT_NE(out.find("slowest: "), std::string::npos);
    EXPECT_NE(out.find("bytes: "), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "s.pos")));
}

TEST(Program, CardDataReachesNoOutputUnmasked) {
    TempDir dir;
    {
        Monitored m(dir, "masked", {"--bytes"});
        CardSession(m);
        EXPECT_EQ(m.Stop(), 0) << m.run.Err();
        for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
                 {"trace", m.run.Out()},
                 {"errors", m.run.Err()},
                 {"JSON Lines", ReadFile(dir / "masked.jsonl")},
                 {"raw file", ReadFile(dir / "masked.raw")},
                 {"raw bytes", RecordedBytes(dir / "masked.raw")}})
            EXPECT_EQ(Leaks(text), std::vector<std::string>{}) << name;
        const std::string trace = m.run.Out();
        EXPECT_NE(trace.find("PP_TRK1INC = \"B476173******0010^*******/**** ****^"), std::string::npos)
            << trace;
        EXPECT_NE(trace.find("PP_TRK2INC = \"476173******0010="), std::string::npos);
        EXPECT_NE(trace.find("PP_VALUE = \"476173******0010\""), std::string::npos);
        EXPECT_NE(ReadFile(dir / "masked.raw").find("masked yes"), std::string::npos);
    }
    // With --no-mask the same session shows them, so the search above would have found them.
    Monitored m(dir, "clear", {"--no-mask"});
    CardSession(m);
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_FALSE(Leaks(m.run.Out()).empty());
    EXPECT_FALSE(Leaks(RecordedBytes(dir / "clear.raw")).empty());
    EXPECT_NE(ReadFile(dir / "clear.raw").find("masked no"), std::string::npos);
}

TEST(Program, AReplayGivesTheTraceAndTheJsonOfTheLiveSession) {
    TempDir dir;
    for (const std::string name : {"live", "lab"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> extra;
        if (name == "lab") extra.push_back("--no-mask");
        {
            Monitored m(dir, name, extra);
            m.sim.AddFault("split:40@GIX");
            m.sim.AddFault("crc:1@DSP");
            m.sim.AddFault("noise:3@DEX");
            m.sim.AddFault("silent@GIN"); // unanswered: the monitor reports the silence
            CardSession(m);
            m.pinpad.GIX();
            m.pinpad.DSP("one", "two");
            m.pinpad.DEX("three");
            EXPECT_THROW(m.pinpad.GIN(0), vexo::EVexoAbecsPinPadTimeout);
            m.sim.ClearFaults();
            m.sim.AddFault("hangup@CLO"); // a frame cut off, then the port goes and comes back
            EXPECT_ANY_THROW(m.pinpad.CLO("bye", ""));
            EXPECT_EQ(m.Stop(), 0) << m.run.Err();
        }
        std::vector<std::string> args{"--replay", (dir / (name + ".raw")).string(), "--jsonl",
                                      (dir / (name + ".replay.jsonl")).string()};
        args.insert(args.end(), extra.begin(), extra.end());
        Child replay(args, dir, name + ".replay");
        EXPECT_EQ(replay.program.Wait(), 0) << replay.Err();
        const std::string live = ReadFile(dir / (name + ".out"));
        EXPECT_NE(live.find("timeout: no response to GIN"), std::string::npos) << live;
        EXPECT_NE(live.find("damaged frame"), std::string::npos);
        EXPECT_NE(live.find("never ended"), std::string::npos);
        EXPECT_EQ(replay.Out(), live);
        EXPECT_EQ(ReadFile(dir / (name + ".replay.jsonl")), ReadFile(dir / (name + ".jsonl")));
    }

    // A lab recording masked afterwards reads as the masked replay of the lab recording.
    Child remask({"--replay", (dir / "lab.raw").string(), "--raw", (dir / "lab.masked.raw").string()}, dir,
                 "remask");
    EXPECT_EQ(remask.program.Wait(), 0) << remask.Err();
    EXPECT_EQ(Leaks(remask.Out()), std::vector<std::string>{});
    Child again({"--replay", (dir / "lab.masked.raw").string()}, dir, "again");
    EXPECT_EQ(again.program.Wait(), 0);
    EXPECT_EQ(again.Out(), remask.Out());
    EXPECT_EQ(Leaks(RecordedBytes(dir / "lab.masked.raw")), std::vector<std::string>{});
}

TEST(Program, JsonLinesAreValidJsonWithOneObjectPerEvent) {
    TempDir dir;
    {
        Monitored m(dir, "j", {});
        CardSession(m);
        m.pinpad.GIX();
        EXPECT_EQ(m.Stop(), 0);
    }
    const std::string script = "import sys, json\n"
                               "kinds = set()\n"
                               "for line in open(sys.argv[1], encoding='utf-8'):\n"
                               "    e = json.loads(line)\n"
                               "    kinds.add(e['event'])\n"
                               "    assert e['time'] and e['stamp']\n"
                               "    if e['event'] == 'response': assert 'status' in e and 'took_ms' in e\n"
                               "    if e['event'] == 'summary': print('commands', e['commands']['OPN'])\n"
                               "print(' '.join(sorted(kinds)))\n";
    std::ofstream(dir / "check.py") << script;
    const std::string command = "python3 " + (dir / "check.py").string() + " " + (dir / "j.jsonl").string() +
                                " > " + (dir / "check.out").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(dir / "check.out");
    const std::string out = ReadFile(dir / "check.out");
    EXPECT_NE(out.find("commands 1"), std::string::npos) << out;
    EXPECT_NE(out.find("ACK command relay response summary"), std::string::npos) << out;
}

// The program with its standard output a pipe that nobody reads: the trace falls behind, the line
// does not. A megabyte passes each way; the trace says afterwards what it left out.
TEST(Program, AStandardOutputNobodyReadsHoldsUpNoByte) {
    TempDir dir;
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int err = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(err, 2);
        ::close(out[0]);
        ::execl(KESTREL_MONITOR_PROGRAM, KESTREL_MONITOR_PROGRAM, "--host-pty", (dir / "pos").c_str(),
                "--device-pty", (dir / "pad").c_str(), "--bytes", "--raw", (dir / "r.raw").c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    ASSERT_TRUE(WaitForPath(dir / "pad"));
    const auto openRaw = [](const fs::path& APath) {
        const int fd = ::open(APath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        return fd;
    };
    const int host = openRaw(dir / "pos"), pad = openRaw(dir / "pad");
    ASSERT_GE(host, 0);
    ASSERT_GE(pad, 0);
    // Bytes of every value, ACK, NAK, SYN and ETB among them, so that the trace has much to say.
    ByteString toPad, toHost;
    for (size_t i = 0; i < 1'000'000; ++i) {
        toPad += static_cast<char>((i * 7919 + (i >> 9)) & 0xFF);
        toHost += static_cast<char>((i * 104729 + (i >> 7)) & 0xFF);
    }
    ByteString atPad, atHost;
    size_t sentPad = 0, sentHost = 0;
    const auto until = std::chrono::steady_clock::now() + 90s;
    char buffer[65536];
    while ((atPad.size() < toPad.size() || atHost.size() < toHost.size()) &&
           std::chrono::steady_clock::now() < until) {
        if (sentPad < toPad.size()) {
            const ssize_t n = ::write(host, toPad.data() + sentPad, std::min<size_t>(4096, toPad.size() - sentPad));
            if (n > 0) sentPad += size_t(n);
        }
        if (sentHost < toHost.size()) {
            const ssize_t n = ::write(pad, toHost.data() + sentHost, std::min<size_t>(4096, toHost.size() - sentHost));
            if (n > 0) sentHost += size_t(n);
        }
        pollfd fds[2] = {{pad, POLLIN, 0}, {host, POLLIN, 0}};
        ::poll(fds, 2, 50);
        for (ssize_t n; (n = ::read(pad, buffer, sizeof buffer)) > 0;)
            atPad.append(buffer, size_t(n));
        for (ssize_t n; (n = ::read(host, buffer, sizeof buffer)) > 0;)
            atHost.append(buffer, size_t(n));
    }
    EXPECT_EQ(atPad.size(), toPad.size());
    EXPECT_EQ(atHost.size(), toHost.size());
    EXPECT_TRUE(atPad == toPad && atHost == toHost) << "the bytes came out changed or out of order";

    // Now the trace is read: what it left out is said in it and in its summary.
    ::kill(pid, SIGTERM);
    std::string trace;
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        trace.append(buffer, size_t(n));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(out[0]);
    ::close(host);
    ::close(pad);
    EXPECT_NE(trace.find("events not shown: the reader fell behind"), std::string::npos);
    EXPECT_NE(trace.find("  not shown: "), std::string::npos) << "in the summary";
    EXPECT_NE(trace.find("bytes: 1000000 to the PIN pad, 1000000 to the host"), std::string::npos);
    EXPECT_NE(ReadFile(dir / "err").find("events not shown"), std::string::npos) << ReadFile(dir / "err");
    // The recording lost nothing.
    ByteString recorded;
    std::ifstream in(dir / "r.raw", std::ios::binary);
    RawReader reader(in);
    RelayItem item;
    while (reader.Next(item))
        if (item.What == RelayItem::Kind::Bytes && item.Dir == Direction::HostToPinPad) recorded += item.Bytes;
    EXPECT_EQ(recorded.size(), toPad.size());
}

} // namespace
} // namespace kestrel::monitor::test
