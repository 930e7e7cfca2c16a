// The kestrel-sim program: its help, its control lines on standard input, and a clean stop on
// SIGTERM that removes the link.
#include "SimTestSupport.h"
#include "tests/support/Spawn.h"
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrel::sim::test {
namespace {

// The program with pipes on its standard input and output; killed if a test leaves it running.
class Program {
public:
    explicit Program(const std::vector<std::string>& AArgs) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        kestrel::test::SpawnOptions options;
        options.In = in[0];
        options.Out = out[1];
        options.ErrFile = "/dev/null";
        fPid = kestrel::test::Spawn(KESTREL_SIM_PROGRAM, AArgs, options);
        close(in[0]);
        close(out[1]);
        fIn = in[1];
        fOut = out[0];
    }
    ~Program() {
        if (fPid > 0 && !fExited) {
            kill(fPid, SIGKILL);
            waitpid(fPid, nullptr, 0);
        }
        close(fIn);
        close(fOut);
    }
    void Say(const std::string& ALine) {
        [[maybe_unused]] auto n = write(fIn, (ALine + "\n").data(), ALine.size() + 1);
    }
    // One line of standard output, within the time given.
    std::string Line(int ATimeoutMs = 5000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeoutMs);
        while (fBuffer.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{fOut, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0) return "(nothing)";
            char chunk[4096];
            const ssize_t n = read(fOut, chunk, sizeof chunk);
            if (n <= 0) return "(closed)";
            fBuffer.append(chunk, size_t(n));
        }
        const auto eol = fBuffer.find('\n');
        std::string line = fBuffer.substr(0, eol);
        fBuffer.erase(0, eol + 1);
        return line;
    }
    std::string AllOutput(int ATimeoutMs = 5000) {
        std::string text;
        for (std::string line; (line = Line(ATimeoutMs)) != "(closed)" && line != "(nothing)";)
            text += line + "\n";
        return text;
    }
    // Exit status after SIGTERM, or -1 when it does not stop within the time given.
    int Terminate(int ATimeoutMs = 5000) {
        if (fPid > 0) kill(fPid, SIGTERM);
        return Wait(ATimeoutMs);
    }
    int Wait(int ATimeoutMs) {
        if (fPid < 0) return 127; // it never started
        for (int waited = 0; waited < ATimeoutMs; waited += 10) {
            int status = 0;
            if (waitpid(fPid, &status, WNOHANG) == fPid) {
                fExited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }

private:
    pid_t fPid = -1;
    int fIn = -1, fOut = -1;
    bool fExited = false;
    std::string fBuffer;
};

// A TCP connection to APort on the loopback address; -1 when none is made.
int ConnectLoopback(const std::string& APort) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(uint16_t(std::stoi(APort)));
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) return fd;
    close(fd);
    return -1;
}

TEST(SimProgram, HelpNamesEveryOptionFaultAndControlLine) {
    Program program({"--help"});
    const std::string help = program.AllOutput();
    for (const char* word :
         {"--pty",   "--tcp",      "--link",       "--profile", "--script",    "--fault",   "--random-faults",
          "--seed",  "--baud",     "--time-scale", "--quiet",   "noack",       "nak",       "crc",
          "noise",   "split",      "oversize",     "noeot",     "late",        "hangup",    "silent",
          "key K",   "digits D",   "choose N",     "swipe",     "insert",      "remove",    "tap",
          "press K", "now ACTION", "delay MS",     "never",     "fault SPEC",  "rate BAUD", "display",
          "media",   "status",     "quit",         "--break",   "--set",       "no_eot",    "ignore_nak",
          "mle_crc", "leftover",   "rule-breaker", "ppc930",    "answer_delay"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_EQ(program.Wait(5000), 0);
}

TEST(SimProgram, TcpServesAHostAndTakesControlLines) {
    Program program({"--tcp", "127.0.0.1:0", "--quiet"});
    const std::string address = program.Line();
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << address;
    const int fd = ConnectLoopback(address.substr(10));
    ASSERT_GE(fd, 0);
    const auto take = [fd](size_t ACount) {
        ByteString got;
        for (int i = 0; i < 200 && got.size() < ACount; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[64];
            const ssize_t n = read(fd, buffer, std::min(sizeof buffer, ACount - got.size()));
            if (n <= 0) break;
            got.append(buffer, size_t(n));
        }
        return got;
    };
    const auto exchange = [fd, &take](const ByteString& AData) {
        const ByteString frame = Frame(AData);
        EXPECT_EQ(write(fd, frame.data(), frame.size()), ssize_t(frame.size()));
        return take(11);
    };
    EXPECT_EQ(exchange("OPN"), "\x06" + Frame("OPN000"));
    program.Say("key F3");
    EXPECT_EQ(program.Line(), "cardholder: key 6");
    EXPECT_EQ(exchange("GKY"), "\x06" + Frame("GKY006"));
    // A live key: the GKY waiting now takes it; "now" makes any cardholder action live.
    const ByteString gky = Frame("GKY");
    ASSERT_EQ(write(fd, gky.data(), gky.size()), ssize_t(gky.size()));
    EXPECT_EQ(take(1), "\x06");
    program.Say("press 7");
    EXPECT_EQ(program.Line(), "cardholder now: press 7");
    program.Say("press F4");
    EXPECT_EQ(program.Line(), "cardholder now: press F4");
    EXPECT_EQ(take(10), Frame("GKY007"));
    program.Say("now insert");
    EXPECT_EQ(program.Line(), "cardholder now: insert");
    // The simulator thread takes live input soon, not at once: ask until it shows.
    bool inserted = false;
    for (int i = 0; i < 100 && !inserted; ++i) {
        if (i > 0) usleep(10000);
        program.Say("status");
        inserted = program.Line().find("card inserted") != std::string::npos;
    }
    EXPECT_TRUE(inserted);
    program.Say("fault bogus");
    EXPECT_EQ(program.Line().rfind("error: unknown fault", 0), 0u);
    program.Say("status");
    EXPECT_NE(program.Line().find("waiting for nothing"), std::string::npos);
    program.Say("rate 18446744073709551617");
    EXPECT_EQ(program.Line(), "error: rate = 18446744073709551617 is out of range (0 to 4000000)");
    close(fd);
    program.Say("quit");
    EXPECT_EQ(program.Wait(5000), 0);
}

TEST(SimProgram, PtyLinkIsRemovedOnSigterm) {
    const std::string link = ::testing::TempDir() + "kestrel-sim-program-link";
    std::filesystem::remove(link);
    Program program({"--pty", "--link", link, "--quiet", "--profile", "text"});
    const std::string slave = program.Line();
    EXPECT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
    EXPECT_EQ(std::filesystem::read_symlink(link), slave);
    EXPECT_EQ(program.Terminate(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProgram, RulesAreBrokenOnRequestOnly) {
    Program program({"--tcp", "0", "--quiet", "--break", "no_eot", "--set", "session=strict"});
    const std::string address = program.Line();
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << address;
    const int fd = ConnectLoopback(address.substr(10));
    ASSERT_GE(fd, 0);
    const auto send = [fd](const ByteString& ABytes) {
        EXPECT_EQ(write(fd, ABytes.data(), ABytes.size()), ssize_t(ABytes.size()));
        ByteString got;
        for (int i = 0; i < 20; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[64];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, size_t(n));
        }
        return got;
    };
    EXPECT_EQ(send(Frame("DSP" + Block("HI"))), "\x06" + Frame("DSP010")); // strict session
    EXPECT_EQ(send("\x18"), "");                                           // no EOT
    close(fd);
    EXPECT_EQ(program.Terminate(), 0);
}

TEST(SimProgram, BadArgumentsAreRefused) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--pty", "--tcp", "1"},
                                               {"--tcp", "99999"},
                                               {"--tcp", "1", "--link", "/tmp/x"},
                                               {"--pty", "--profile", "/nonexistent"},
                                               {"--pty", "--break", "everything"},
                                               {"--pty", "--set", "session"},
                                               {"--pty", "--set", "bogus=1"},
                                               // 2^44 M wraps to 0 in 64 bits
                                               {"--pty", "--set", "media_memory=17592186044416M"},
                                               {"--pty", "--seed", "4294967296"},
                                               {"--pty", "--baud", "-1"},
                                               {"--pty", "--time-scale", "nan"},
                                               {"--pty", "--time-scale", "1e400"},
                                               {"--pty", "--random-faults", "nan"},
                                               {"--pty", "--fault", "late:1000000"}}) {
        Program program(args);
        const int status = program.Wait(5000);
        EXPECT_NE(status, 0);
        EXPECT_NE(status, -1);
    }
}

} // namespace
} // namespace kestrel::sim::test
