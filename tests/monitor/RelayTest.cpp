// The relay between a real PIN-pad component and the simulated PIN pad: a session through it is
// the session without it, byte for byte, with and without link faults, and the decoder says what
// happened.
#include "MonitorTestSupport.h"

#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPacket.h"

#include "pinpad/VexoAbecsTables.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <map>

namespace kestrel::monitor::test {
namespace {

using K = TraceEvent::Kind;
using sim::Profile;
using sim::SimulatorRunner;
using vexo::TVexoAbecsPinPad;

// host -> tap -> monitor -> tap -> simulator, every piece on a pseudo-terminal.
struct Tapped {
    explicit Tapped(bool AMask = false)
        : pinpadTap(sim.StartPty()), monitor(PtyEnd(dir / "pos"), SerialEnd(pinpadTap.Path()), AMask) {
        if (!WaitForPath(dir / "pos")) throw std::runtime_error("no link");
        hostTap = std::make_unique<Tap>((dir / "pos").string());
        pinpad.SetPort(hostTap->Path());
        pinpad.SetTimeOut(3000);
    }
    // Both taps saw the same bytes: what one side sent is what the other received.
    void ExpectTransparent() {
        for (int i = 0; i < 100 && (hostTap->FromNear().size() != pinpadTap.FromNear().size() ||
                                    hostTap->FromFar().size() != pinpadTap.FromFar().size());
             ++i)
            std::this_thread::sleep_for(20ms);
        EXPECT_EQ(hostTap->FromNear(), pinpadTap.FromNear()) << "the host's bytes, as the PIN pad got them";
        EXPECT_EQ(pinpadTap.FromFar(), hostTap->FromFar()) << "the PIN pad's bytes, as the host got them";
        monitor.Stop();
        EXPECT_EQ(monitor.Out.Recorded(Direction::HostToPinPad), hostTap->FromNear());
        EXPECT_EQ(monitor.Out.Recorded(Direction::PinPadToHost), pinpadTap.FromFar());
        EXPECT_EQ(monitor.GetRelay().Written(Direction::HostToPinPad), pinpadTap.FromNear().size());
        EXPECT_EQ(monitor.GetRelay().Written(Direction::PinPadToHost), hostTap->FromFar().size());
    }

    TempDir dir;
    SimulatorRunner sim{Profile::Graphic()};
    Tap pinpadTap;
    InProcessMonitor monitor;
    std::unique_ptr<Tap> hostTap;
    TVexoAbecsPinPad pinpad;
};

TEST(Relay, AWholeSessionIsTheSameWithAndWithoutTheMonitor) {
    TempDir files;
    const fs::path picture = Picture(files);
    SessionResult direct;
    {
        SimulatorRunner sim;
        TVexoAbecsPinPad pinpad;
        pinpad.SetPort(sim.StartPty());
        direct = RunSession(pinpad, sim, picture);
    }
    Tapped t;
    const SessionResult relayed = RunSession(t.pinpad, t.sim, picture);
    EXPECT_EQ(relayed.Key, 4);
    EXPECT_EQ(relayed.Stored, ReadFile(picture));
    EXPECT_EQ(relayed.Serial, direct.Serial);
    EXPECT_EQ(relayed.Display, direct.Display);
    EXPECT_EQ(relayed.Log, direct.Log) << "the component's own log of every byte it sent and got";
    t.ExpectTransparent();

    const auto& stats = t.monitor.Out.Stats;
    for (const char* name : {"OPN", "DSP", "GKY", "MLI", "MLE", "CLO"})
        EXPECT_EQ(stats.Commands.count(name) ? stats.Commands.at(name) : 0, 1) << name;
    EXPECT_GE(stats.Commands.at("GIX"), 1);  // the component asks for the capabilities itself too
    EXPECT_GE(stats.Commands.at("MLR"), 10); // 20 KB in items of 995 bytes, two to a packet
    EXPECT_TRUE(stats.Errors.empty());       // GKY's key code is its answer, not an error
    EXPECT_EQ(stats.Retries + stats.Naks + stats.BadFrames + stats.Strays + stats.Timeouts, 0);
    EXPECT_EQ(stats.BytesToPinPad, t.hostTap->FromNear().size());
    // Each command frame is followed by ACK and its response, paired and timed.
    size_t responses = 0;
    for (const auto& e : t.monitor.Out.Events)
        if (e.What == K::Response) {
            ++responses;
            EXPECT_EQ(e.Command, e.Message.Name);
            EXPECT_TRUE(e.Took);
        }
    EXPECT_EQ(responses, t.monitor.Out.Count(K::Command));
    EXPECT_EQ(t.monitor.Out.Count(K::Ack), responses);
}

TEST(Relay, FaultsPassUnchangedAndTheDecoderNamesThem) {
    struct Case {
        const char* Fault;
        std::function<void(const Collector&)> Check;
    };
    const std::vector<Case> cases{
        {"nak:2@GIX",
         [](const Collector& c) {
             EXPECT_EQ(c.Count(K::Nak), 2u);
             EXPECT_EQ(c.Stats.Naks, 2);
             EXPECT_EQ(c.Stats.Retries, 2); // the command frame sent twice more
         }},
        {"crc:1@GIX",
         [](const Collector& c) {
             EXPECT_EQ(c.Count(K::BadFrame), 1u);
             EXPECT_EQ(c.Stats.Naks, 1); // the host's NAK for it
             // The damaged copy could not be read, but the good one after the NAK is its resend.
             EXPECT_EQ(c.Stats.Retries, 1);
             for (const auto& e : c.Events) {
                 if (e.What == K::BadFrame) {
                     EXPECT_NE(e.Note.find("expected"), std::string::npos);
                 }
             }
         }},
        {"noise:3@GIX",
         [](const Collector& c) {
             ASSERT_EQ(c.Count(K::Stray), 1u);
             for (const auto& e : c.Events) {
                 if (e.What == K::Stray) {
                     EXPECT_EQ(e.Unit.Raw.size(), 3u);
                 }
             }
         }},
        {"split:50@GIX",
         [](const Collector& c) {
             // The response came in three reads and is still one good frame.
             size_t pieces = 0;
             for (const auto& item : c.Items)
                 pieces += item.What == RelayItem::Kind::Bytes && item.Dir == Direction::PinPadToHost;
             EXPECT_GE(pieces, 5u); // ACK + response for OPN, GIX (ACK, three pieces) and DSP
             EXPECT_EQ(c.Count(K::Response), c.Count(K::Command));
             EXPECT_EQ(c.Stats.Strays + c.Stats.BadFrames, 0);
         }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Fault);
        Tapped t;
        t.sim.AddFault(test.Fault);
        t.pinpad.Enable();
        t.pinpad.OPN();
        t.pinpad.GIX();
        t.pinpad.DSP("after the fault", "");
        t.pinpad.Disable();
        t.ExpectTransparent();
        test.Check(t.monitor.Out);
        EXPECT_EQ(t.monitor.Out.Stats.Commands.at("DSP"), 1);
    }
}

TEST(Relay, AHangUpIsReportedAndThePinPadPortOpenedAgain) {
    TempDir dir;
    SimulatorRunner sim;
    sim.StartPty((dir / "sim").string());
    InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd((dir / "sim").string()));
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    TVexoAbecsPinPad pinpad;
    pinpad.SetPort((dir / "pos").string());
    pinpad.SetTimeOut(2000);
    pinpad.Enable();
    pinpad.OPN();
    sim.AddFault("hangup@GIX");
    EXPECT_ANY_THROW(pinpad.GIX());
    ASSERT_TRUE(monitor.Out.WaitForNote("is back")) << "the port comes back as the simulator's link does";
    pinpad.DSP("back again", ""); // the link works again through the same relay
    pinpad.Disable();
    monitor.Stop();

    const auto& c = monitor.Out;
    bool wentAway = false;
    for (const auto& note : c.Notes)
        wentAway |= note.find("the PIN pad's port") != std::string::npos &&
                    note.find("went away") != std::string::npos;
    EXPECT_TRUE(wentAway);
    // Half a response, and then nothing: a frame that never ended.
    bool cut = false;
    for (const auto& e : c.Events)
        cut |= e.What == K::Stray && e.Dir == Direction::PinPadToHost &&
               e.Note.find("never ended") != std::string::npos;
    EXPECT_TRUE(cut);
    EXPECT_EQ(c.Stats.Commands.at("DSP"), 1);
    EXPECT_EQ(c.Stats.Errors.size(), 0u);
}

TEST(Relay, ThePosApplicationMayCloseAndOpenThePortAgain) {
    TempDir dir;
    SimulatorRunner sim;
    InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd(sim.StartPty()));
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    const std::string pty = fs::read_symlink(dir / "pos").string();
    for (int round = 0; round < 3; ++round) {
        // The component claims the terminal for itself (TIOCEXCL) each time; the claim goes with it.
        TVexoAbecsPinPad pinpad;
        pinpad.SetPort((dir / "pos").string());
        pinpad.Enable();
        pinpad.OPN();
        pinpad.DSP("round " + std::to_string(round), "");
        pinpad.Disable();
        EXPECT_EQ(fs::read_symlink(dir / "pos").string(), pty) << "one terminal for the whole session";
    }
    ASSERT_TRUE(monitor.Out.WaitForNote("the POS application closed"));
    monitor.Stop();
    EXPECT_EQ(monitor.Out.Stats.Commands.at("OPN"), 3);
    EXPECT_EQ(monitor.Out.Stats.Commands.at("DSP"), 3);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "pos"))) << "the link goes with the monitor";
}

TEST(Relay, TcpOnBothSidesAndAConnectionMadeAgain) {
    SimulatorRunner sim;
    const uint16_t simPort = sim.StartTcp();
    InProcessMonitor monitor({EndOptions::Kind::Listen, "127.0.0.1:0", ""},
                             {EndOptions::Kind::Connect, "127.0.0.1:" + std::to_string(simPort), ""});
    ASSERT_TRUE(monitor.Out.WaitForNote("waiting for the POS application on TCP"));
    // The note is where the listening port is told.
    const std::string note = monitor.Out.NoteWith("on TCP 127.0.0.1:");
    const std::string port = note.substr(note.rfind(':') + 1);
    ASSERT_FALSE(port.empty());
    TVexoAbecsPinPad pinpad;
    pinpad.SetPort("TCP:127.0.0.1:" + port);
    pinpad.Enable();
    pinpad.OPN();
    pinpad.GIX();
    EXPECT_FALSE(pinpad.Response().GetResponseFromTagValue(vexo::PP_SERNUM).empty());
    // The PIN pad's connection breaks: the monitor connects again by itself.
    pinpad.SetTimeOut(1000);
    sim.AddFault("hangup@DSP");
    EXPECT_ANY_THROW(pinpad.DSP("cut", ""));
    ASSERT_TRUE(monitor.Out.WaitForNote("connected to the PIN pad at 127.0.0.1:" + std::to_string(simPort) +
                                        " again"));
    pinpad.DSP("whole", "");
    pinpad.Disable();
    ASSERT_TRUE(monitor.Out.WaitForNote("the POS application disconnected"));
    monitor.Stop();
    EXPECT_GE(monitor.Out.Stats.Commands.at("GIX"), 1);
    EXPECT_EQ(monitor.Out.Stats.Commands.at("DSP"), 2);
}

// The same three programs' TCP, all on the IPv6 loopback: the PIN pad's port name, the monitor's
// two ends and the simulator.
TEST(Relay, TcpOnTheIPv6Loopback) {
    SimulatorRunner sim;
    uint16_t simPort = 0;
    try {
        simPort = sim.StartTcp("::1", 0);
    } catch (const std::runtime_error& e) {
        GTEST_SKIP() << "no IPv6 loopback here: " << e.what();
    }
    InProcessMonitor monitor({EndOptions::Kind::Listen, "[::1]:0", ""},
                             {EndOptions::Kind::Connect, "[::1]:" + std::to_string(simPort), ""});
    ASSERT_TRUE(monitor.Out.WaitForNote("waiting for the POS application on TCP [::1]:"));
    const std::string note = monitor.Out.NoteWith("on TCP [::1]:");
    const std::string port = note.substr(note.rfind(':') + 1);
    TVexoAbecsPinPad pinpad;
    pinpad.SetPort("TCP:[::1]:" + port);
    pinpad.Enable();
    pinpad.OPN();
    pinpad.DSP("over IPv6", "");
    ASSERT_TRUE(monitor.Out.WaitForNote("the POS application connected from [::1]:"));
    pinpad.Disable();
    ASSERT_TRUE(monitor.Out.WaitForNote("the POS application disconnected"));
    monitor.Stop();
    EXPECT_EQ(monitor.Out.Stats.Commands.at("DSP"), 1);
}

// A far end of the test's own: a pseudo-terminal whose master the test reads and writes.
struct RawPeer {
    RawPeer() {
        char name[128];
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        path = name;
        ::fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~RawPeer() { ::close(master); }
    // Reads until ASize bytes came or nothing came for a second.
    ByteString Read(size_t ASize) {
        ByteString got;
        char buffer[65536];
        while (got.size() < ASize) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) break;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) got.append(buffer, size_t(n));
        }
        return got;
    }
    int master = -1;
    std::string path;
};

int OpenRaw(const fs::path& APath) {
    const int fd = ::open(APath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

TEST(Relay, NothingIsLostOrReorderedWhenTheFarSideReadsLate) {
    TempDir dir;
    RawPeer pinpad;
    InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd(pinpad.path));
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    const int host = OpenRaw(dir / "pos");
    ASSERT_GE(host, 0);
    // Far more than the terminals and the relay's own queue hold: the relay has to stop reading
    // and let the line hold the sender back.
    ByteString sent;
    for (size_t i = 0; i < 1'000'000; ++i)
        sent += static_cast<char>((i * 7919) >> 3);
    std::thread writer([&] {
        size_t at = 0;
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (at < sent.size() && std::chrono::steady_clock::now() < until) {
            const ssize_t n = ::write(host, sent.data() + at, std::min<size_t>(8192, sent.size() - at));
            if (n > 0) at += size_t(n);
            pollfd p{host, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    });
    // The PIN pad side reads late, and then in pieces with pauses between.
    std::this_thread::sleep_for(300ms);
    ByteString got;
    for (int i = 0; i < 2000 && got.size() < sent.size(); ++i) {
        const ByteString piece = pinpad.Read(std::min<size_t>(65536, sent.size() - got.size()));
        if (piece.empty()) break;
        got += piece;
        if (i % 4 == 0) std::this_thread::sleep_for(20ms);
    }
    writer.join();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "the bytes came out changed or out of order";
    ::close(host);
    monitor.Stop();
    EXPECT_EQ(monitor.Out.Stats.BytesToPinPad, sent.size());
}

TEST(Relay, BytesForAnAbsentPosApplicationAreNotedAsNotDelivered) {
    TempDir dir;
    RawPeer pinpad;
    InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd(pinpad.path));
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    ASSERT_EQ(::write(pinpad.master, "\x06\x15", 2), 2);
    ASSERT_TRUE(monitor.Out.WaitForNote("the POS application is not connected"));
    const int host = OpenRaw(dir / "pos");
    ASSERT_TRUE(
        monitor.Out.WaitForNote("2 byte(s) for the POS application were not delivered while it was away"));
    ASSERT_EQ(::write(pinpad.master, "\x04", 1), 1);
    char byte = 0;
    pollfd p{host, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_EQ(::read(host, &byte, 1), 1);
    EXPECT_EQ(byte, '\x04') << "only what came after the POS application opened the port";
    ::close(host);
    monitor.Stop();
    EXPECT_EQ(monitor.Out.Stats.BytesToHost, 3u);
}

} // namespace
} // namespace kestrel::monitor::test

namespace kestrel::monitor::test {
namespace {

// A POS application that closes the terminal and opens it again as fast as it can, each time
// writing one command: every command whose write the terminal accepted reaches the PIN pad.
TEST(Relay, APosThatReopensAtAnySpeedLosesNoCommandItWrote) {
    TempDir dir;
    RawPeer pinpad;
    InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd(pinpad.path));
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    ByteString accepted;
    int refused = 0;
    for (int round = 0; round < 100; ++round) {
        char text[16];
        std::snprintf(text, sizeof text, "round %03d", round);
        ByteString data = "DSP032" + std::string(text);
        data.resize(6 + 32, ' ');
        const ByteString frame = vexo::TVexoAbecsPacket(data).AsString();
        const int fd = ::open((dir / "pos").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            ++refused;
            continue;
        }
        if (::write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size())) accepted += frame;
        ::close(fd);
    }
    EXPECT_EQ(refused, 0) << "the terminal is always there to open";
    const ByteString got = pinpad.Read(accepted.size());
    EXPECT_EQ(got.size(), accepted.size());
    EXPECT_TRUE(got == accepted) << "a command the POS wrote was lost or changed";
    monitor.Stop();
    EXPECT_EQ(monitor.Out.Stats.Commands.at("DSP"), 100);
}

// A TCP POS application that reconnects the moment it closed is taken, not refused; one that
// comes while another is connected is told so and closed.
TEST(Relay, ATcpPosThatReconnectsAtOnceIsAccepted) {
    RawPeer pinpad;
    InProcessMonitor monitor({EndOptions::Kind::Listen, "127.0.0.1:0", ""}, SerialEnd(pinpad.path));
    ASSERT_TRUE(monitor.Out.WaitForNote("waiting for the POS application on TCP"));
    const std::string note = monitor.Out.NoteWith("on TCP 127.0.0.1:");
    const auto port = static_cast<uint16_t>(std::stoi(note.substr(note.rfind(':') + 1)));
    const auto connect = [port] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    };
    ByteString sent;
    for (int round = 0; round < 20; ++round) {
        const int fd = connect();
        ASSERT_GE(fd, 0);
        const ByteString bytes = "round " + std::to_string(round) + ";";
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
        sent += bytes;
        ::close(fd);
    }
    EXPECT_EQ(pinpad.Read(sent.size()), sent);
    EXPECT_EQ(monitor.Out.NoteWith("refused"), "") << "nobody was connected when the next one came";

    const int first = connect(), second = connect();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    char text[128] = {};
    pollfd p{second, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    const ssize_t n = ::recv(second, text, sizeof text - 1, 0);
    EXPECT_GT(n, 0);
    EXPECT_NE(std::string(text).find("the POS application is connected already"), std::string::npos) << text;
    ::close(second);
    ::close(first);
    monitor.Stop();
}

} // namespace
} // namespace kestrel::monitor::test

namespace kestrel::monitor::test {
namespace {

// A recording on a disk that is full: it stops with a clear message, the relay goes on.
TEST(Relay, ARecordingThatCannotBeWrittenStopsAndTheRelayGoesOn) {
    TempDir dir;
    RawPeer pinpad;
    RawOutput raw("/dev/full", true, 10000);
    InProcessMonitor monitor(PtyEnd(dir / "pos"), SerialEnd(pinpad.path), true, {&raw});
    ASSERT_TRUE(WaitForPath(dir / "pos"));
    const int host = OpenRaw(dir / "pos");
    ASSERT_GE(host, 0);
    const ByteString command = vexo::TVexoAbecsPacket("OPN").AsString();
    ASSERT_EQ(::write(host, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    EXPECT_EQ(pinpad.Read(command.size()), command);
    ::close(host);
    monitor.Stop();
    EXPECT_NE(raw.Error().find("cannot write /dev/full: No space left on device; the recording stops there"),
              std::string::npos)
        << raw.Error();
    EXPECT_EQ(monitor.Out.Stats.Commands.at("OPN"), 1);
}

} // namespace
} // namespace kestrel::monitor::test
