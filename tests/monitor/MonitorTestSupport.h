#pragma once
// What the monitor tests share: a temporary folder, the relay running in this process on a thread
// of its own, a byte tap that records what crosses one line, the real program as a child process,
// and the session a POS application runs.
#include "monitor/Ends.h"
#include "monitor/Outputs.h"
#include "monitor/Relay.h"
#include "monitor/Session.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"
#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kestrel::monitor::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using trace::TraceEvent;

inline std::string ReadFile(const fs::path& APath) {
    std::ifstream in(APath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string& AText) {
    std::vector<std::string> lines;
    std::istringstream in(AText);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "kestrel-monitor-XXXXXX").string();
        fPath = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(fPath, ignored);
    }
    fs::path operator/(const std::string& AName) const { return fPath / AName; }
    const fs::path& Path() const { return fPath; }

private:
    fs::path fPath;
};

// Keeps everything a session hands out, for the test to look at once the relay has stopped (or,
// under the lock, while it runs).
class Collector : public SessionOutput {
public:
    void OnItem(const RelayItem& AItem) override {
        std::lock_guard lock(fMutex);
        Items.push_back(AItem);
    }
    void OnEvent(const TraceEvent& AEvent) override {
        std::lock_guard lock(fMutex);
        Events.push_back(AEvent);
        fChanged.notify_all();
    }
    void OnNote(TraceClock::time_point, const std::string& AText) override {
        std::lock_guard lock(fMutex);
        Notes.push_back(AText);
        fChanged.notify_all();
    }
    void OnEnd(TraceClock::time_point, const trace::TraceStats& AStats) override {
        std::lock_guard lock(fMutex);
        Stats = AStats;
    }
    // Waits (bounded) until a note containing AText has come.
    bool WaitForNote(const std::string& AText, std::chrono::milliseconds ATimeout = 5000ms) {
        std::unique_lock lock(fMutex);
        return fChanged.wait_for(lock, ATimeout, [&] {
            for (const auto& note : Notes)
                if (note.find(AText) != std::string::npos) return true;
            return false;
        });
    }
    // The first note containing AText so far, or empty.
    std::string NoteWith(const std::string& AText) {
        std::lock_guard lock(fMutex);
        for (const auto& note : Notes)
            if (note.find(AText) != std::string::npos) return note;
        return {};
    }
    size_t Count(TraceEvent::Kind AKind) const {
        size_t n = 0;
        for (const auto& e : Events)
            n += e.What == AKind;
        return n;
    }
    // The bytes recorded in one direction, all chunks joined.
    ByteString Recorded(Direction ADir) const {
        ByteString all;
        for (const auto& item : Items)
            if (item.What == RelayItem::Kind::Bytes && item.Dir == ADir) all += item.Bytes;
        return all;
    }

    std::vector<RelayItem> Items;
    std::vector<TraceEvent> Events;
    std::vector<std::string> Notes;
    trace::TraceStats Stats;

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
};

// The relay on a thread of its own, between two ends described by their options, with a collector and
// optionally the program's file outputs.
class InProcessMonitor {
public:
    InProcessMonitor(const EndOptions& AHost, const EndOptions& APinPad, bool AMask = true,
                     std::vector<SessionOutput*> AMore = {})
        : fHost(MakeEnd(AHost, "the POS application")), fPinPad(MakeEnd(APinPad, "the PIN pad")) {
        SessionOptions options;
        options.Mask = AMask;
        AMore.insert(AMore.begin(), &Out);
        fSession = std::make_unique<Session>(options, AMore);
        fRelay = std::make_unique<Relay>(*fHost, *fPinPad, *fSession);
        fRelay->Start();
        fStop = ::eventfd(0, EFD_CLOEXEC);
        fThread = std::thread([this] { fRelay->Run(fStop); });
    }
    ~InProcessMonitor() { Stop(); }
    void Stop() {
        if (!fThread.joinable()) return;
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(fStop, &one, sizeof one);
        fThread.join();
        ::close(fStop);
    }
    Relay& GetRelay() { return *fRelay; }

    Collector Out;

private:
    std::unique_ptr<End> fHost, fPinPad;
    std::unique_ptr<Session> fSession;
    std::unique_ptr<Relay> fRelay;
    int fStop = -1;
    std::thread fThread;
};

// A plain byte bridge between a pseudo-terminal it creates (Path(), for one side to open) and a
// terminal path it opens (the other side), recording what goes each way. Knows nothing of ABECS.
class Tap {
public:
    explicit Tap(const std::string& AFar) {
        char name[128];
        int slave = -1;
        if (::openpty(&fMaster, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
        Raw(slave);
        ::close(slave);
        fPath = name;
        fFar = ::open(AFar.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fFar < 0) throw std::runtime_error("cannot open " + AFar);
        Raw(fFar);
        ::fcntl(fMaster, F_SETFL, O_NONBLOCK);
        fThread = std::thread([this] { Run(); });
    }
    ~Tap() {
        fStop = true;
        fThread.join();
        ::close(fMaster);
        ::close(fFar);
    }
    const std::string& Path() const { return fPath; }
    // What arrived at the tap from the opener of Path(), and from the far side.
    ByteString FromNear() {
        std::lock_guard lock(fMutex);
        return fFromNear;
    }
    ByteString FromFar() {
        std::lock_guard lock(fMutex);
        return fFromFar;
    }

private:
    static void Raw(int AFd) {
        termios tio{};
        ::tcgetattr(AFd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(AFd, TCSANOW, &tio);
    }
    static void WriteAll(int AFd, const char* AData, size_t ASize) {
        while (ASize > 0) {
            const ssize_t n = ::write(AFd, AData, ASize);
            if (n > 0) {
                AData += n;
                ASize -= size_t(n);
                continue;
            }
            pollfd p{AFd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return;
        }
    }
    void Run() {
        while (!fStop) {
            pollfd fds[2] = {{fMaster, POLLIN, 0}, {fFar, POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0) continue;
            char buffer[4096];
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) continue;
                {
                    std::lock_guard lock(fMutex);
                    (i == 0 ? fFromNear : fFromFar).append(buffer, size_t(n));
                }
                WriteAll(i == 0 ? fFar : fMaster, buffer, size_t(n));
            }
        }
    }

    int fMaster = -1, fFar = -1;
    std::string fPath;
    std::atomic<bool> fStop{false};
    std::mutex fMutex;
    ByteString fFromNear, fFromFar;
    std::thread fThread;
};

// The program as a child process, its standard output and error in files; killed if left running.
class Program {
public:
    Program(const std::vector<std::string>& AArgs, const fs::path& AOut, const fs::path& AErr) {
        kestrel::test::SpawnOptions options;
        options.OutFile = AOut.string();
        options.ErrFile = AErr.string();
        fPid = kestrel::test::Spawn(KESTREL_MONITOR_PROGRAM, AArgs, options);
    }
    ~Program() {
        if (fPid > 0 && !fExited) {
            ::kill(fPid, SIGKILL);
            ::waitpid(fPid, nullptr, 0);
        }
    }
    // Exit status, or -1 when it does not stop within the time given.
    int Wait(int ATimeoutMs = 10000) {
        if (fPid < 0) return 127; // it never started
        for (int waited = 0; waited < ATimeoutMs; waited += 10) {
            int status = 0;
            if (::waitpid(fPid, &status, WNOHANG) == fPid) {
                fExited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10000);
        }
        return -1;
    }
    int Terminate(int ATimeoutMs = 10000) {
        if (fPid > 0) ::kill(fPid, SIGTERM);
        return Wait(ATimeoutMs);
    }

private:
    pid_t fPid = -1;
    bool fExited = false;
};

// Waits (bounded) for a path to appear.
inline bool WaitForPath(const fs::path& APath, std::chrono::milliseconds ATimeout = 5000ms) {
    const auto until = std::chrono::steady_clock::now() + ATimeout;
    while (std::chrono::steady_clock::now() < until) {
        std::error_code ignored;
        if (fs::exists(APath, ignored)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// A 20 KB picture file: a PNG signature and bytes that hold every value, 13h, 16h and 17h among them.
inline fs::path Picture(const TempDir& ADir, size_t ASize = 20 * 1024) {
    std::string bytes = "\x89PNG\r\n\x1A\n";
    for (size_t i = bytes.size(); i < ASize; ++i)
        bytes += static_cast<char>(i * 31 % 251);
    const fs::path path = ADir / "picture.png";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// What a POS application's session came to, to compare with and without the monitor.
struct SessionResult {
    std::string Serial, Display, Stored;
    int Key = -1;
    std::vector<std::string> Log; // the PIN-pad component's log, time stamps taken off
    bool operator==(const SessionResult&) const = default;
};

// OPN, GIX, DSP, GKY with a key, an upload of a 20 KB picture, CLO.
inline SessionResult RunSession(vexo::TVexoAbecsPinPad& APinPad, sim::SimulatorRunner& ASim,
                                const fs::path& APicture) {
    SessionResult result;
    APinPad.SetLogLevel(4);
    APinPad.SetOnWriteLog([&result](const std::string& ALine, bool&) {
        const auto dash = ALine.find(" - ");
        result.Log.push_back(dash == std::string::npos ? ALine : ALine.substr(dash + 3));
    });
    APinPad.Enable();
    APinPad.OPN();
    APinPad.GIX();
    result.Serial = APinPad.Response().GetResponseFromTagValue(vexo::PP_SERNUM);
    APinPad.DSP("Through the", "monitor");
    ASim.PressKey(4);
    result.Key = APinPad.GKY();
    std::fstream file(APicture, std::ios::in | std::ios::out | std::ios::binary);
    APinPad.LoadMedia("PICTURE", file, vexo::TVexoAbecsPinPadMediaType::mtPNG);
    const auto stored = ASim.Media("PICTURE");
    result.Stored = stored ? stored->Data : "";
    result.Display = ASim.Display().Lines.empty() ? "" : ASim.Display().Lines[0];
    APinPad.CLO("Bye", "");
    APinPad.Disable();
    APinPad.SetOnWriteLog(nullptr);
    return result;
}

inline EndOptions PtyEnd(const fs::path& ALink) {
    return {EndOptions::Kind::Pty, ALink.string(), ""};
}
inline EndOptions SerialEnd(const std::string& APath, const std::string& AParams = "BAUD=115200") {
    return {EndOptions::Kind::Serial, APath, AParams};
}

} // namespace kestrel::monitor::test
