#pragma once
// The kestrel-cli program run as a child process against a simulator in this process, with every
// wait bounded; python3 reads back the JSON and XML it writes.
#include "sim/SimulatorRunner.h"
#include "tests/support/Spawn.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrel::cli::test {

using namespace std::chrono_literals;

struct Finished {
    int Status = -1; // exit status; 128 + signal when killed by one; -1 when it did not end in time
    std::string Out, Err;
};

// A child process with pipes on its three standard streams.
class Child {
public:
    Child(const std::string& AProgram, const std::vector<std::string>& AArgs,
          const std::map<std::string, std::string>& AEnv = {}, const std::string& AInput = {}) {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            fSpawnError = std::string("no pipes: ") + std::strerror(errno);
            return;
        }
        // Nothing from the test's own surroundings picks the port.
        kestrel::test::SpawnOptions options;
        options.Env = {{"KESTREL_PORT", std::nullopt}, {"KESTREL_SERIAL_PORTS", std::nullopt}};
        options.In = in[0];
        options.Out = out[1];
        options.Err = err[1];
        for (const auto& [name, value] : AEnv)
            options.Env[name] = value;
        fPid = kestrel::test::Spawn(AProgram, AArgs, options);
        if (fPid < 0) fSpawnError = std::string("cannot start ") + AProgram + ": " + std::strerror(errno);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        if (fPid > 0 && !AInput.empty()) {
            [[maybe_unused]] const ssize_t n = write(in[1], AInput.data(), AInput.size());
        }
        close(in[1]);
        fOut = out[0];
        fErr = err[0];
    }
    ~Child() {
        if (fPid > 0 && !fDone) {
            kill(fPid, SIGKILL);
            waitpid(fPid, nullptr, 0);
        }
        if (fOut >= 0) close(fOut);
        if (fErr >= 0) close(fErr);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return fPid; }

    // One line of standard output while the child runs, within ATimeout ("" when none came).
    std::string ReadLine(std::chrono::milliseconds ATimeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + ATimeout;
        while (fLine.find('\n') == std::string::npos && fOut >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{fOut, POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) return {};
            char chunk[512];
            const ssize_t n = read(fOut, chunk, sizeof chunk);
            if (n <= 0) return {};
            fLine.append(chunk, static_cast<size_t>(n));
        }
        const size_t eol = fLine.find('\n');
        if (eol == std::string::npos) return {};
        std::string line = fLine.substr(0, eol);
        fLine.erase(0, eol + 1);
        return line;
    }
    void Signal(int ASignal) {
        if (fPid > 0) kill(fPid, ASignal);
    }

    // Output until both pipes close and the exit status, within ATimeout (killed after it).
    Finished Finish(std::chrono::milliseconds ATimeout = 30s) {
        Finished result;
        if (fPid < 0) return {127, "", fSpawnError}; // as a shell says a program is not there
        const auto deadline = std::chrono::steady_clock::now() + ATimeout;
        while (fOut >= 0 || fErr >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd fds[2] = {{fOut, POLLIN, 0}, {fErr, POLLIN, 0}};
            if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char chunk[4096];
                const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
                if (n <= 0) {
                    close(fds[i].fd);
                    (i == 0 ? fOut : fErr) = -1;
                    continue;
                }
                (i == 0 ? result.Out : result.Err).append(chunk, static_cast<size_t>(n));
            }
        }
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(fPid, &status, WNOHANG) == fPid) {
                fDone = true;
                result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return result;
            }
            std::this_thread::sleep_for(10ms);
        }
        return result;
    }

private:
    pid_t fPid = -1;
    int fOut = -1, fErr = -1;
    bool fDone = false;
    std::string fLine, fSpawnError;
};

inline Finished RunProgram(const std::string& AProgram, const std::vector<std::string>& AArgs,
                           const std::map<std::string, std::string>& AEnv = {},
                           const std::string& AInput = {}, std::chrono::milliseconds ATimeout = 60s) {
    Child child(AProgram, AArgs, AEnv, AInput);
    return child.Finish(ATimeout);
}

inline Finished RunCli(const std::vector<std::string>& AArgs,
                       const std::map<std::string, std::string>& AEnv = {}, const std::string& AInput = {},
                       std::chrono::milliseconds ATimeout = 60s) {
    return RunProgram(KESTREL_CLI_PROGRAM, AArgs, AEnv, AInput, ATimeout);
}

// What python3 prints for AScript, run with ADocument on standard input; "PYTHON FAILED: ..." when
// it raised (a JSON or XML document that does not parse, a field that is missing).
inline std::string Python(const std::string& AScript, const std::string& ADocument) {
    const Finished run = RunProgram("python3", {"-c", AScript}, {}, ADocument, 20s);
    if (run.Status != 0) return "PYTHON FAILED: " + run.Err;
    std::string out = run.Out;
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// AExpression of the JSON object d, printed by python ("d['result']['value']").
inline std::string JsonGet(const std::string& AJson, const std::string& AExpression) {
    return Python("import json,sys\nd=json.loads(sys.stdin.read())\nprint(" + AExpression + ")", AJson);
}

// Every line of AText is a JSON object of its own: their number, or -1 when one does not parse.
inline int JsonLines(const std::string& AText) {
    const std::string n = Python("import json,sys\nlines=[l for l in sys.stdin.read().split('\\n') if l]\n"
                                 "[json.loads(l) for l in lines]\nprint(len(lines))",
                                 AText);
    return n.starts_with("PYTHON FAILED") ? -1 : std::stoi(n);
}

// A path in a folder of this test process's own, so names stay as the test gives them.
inline std::string TempPath(const std::string& AName) {
    const std::string folder = ::testing::TempDir() + "kestrel-cli-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    return folder + "/" + AName;
}

inline void WriteFile(const std::string& APath, const std::string& AData) {
    std::ofstream(APath, std::ios::binary) << AData;
}

inline std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

enum class Transport { Pty, Tcp };

// A simulated PIN pad on a pseudo-terminal or loopback TCP, run by this test process, that counts
// every byte the host sends it.
class SimulatorFixture : public ::testing::TestWithParam<Transport> {
public:
    void SetUp() override { Start(kestrel::sim::Profile::Graphic()); }

    void Start(kestrel::sim::Profile AProfile) {
        fSim = std::make_unique<kestrel::sim::SimulatorRunner>(std::move(AProfile));
        fSim->SetTrace([this](const std::string& ALine) {
            if (ALine.starts_with("<-")) ++fReceived;
            std::lock_guard lock(fTraceMutex);
            fTrace.push_back(ALine);
        });
        if (GetParam() == Transport::Pty)
            fPort = fSim->StartPty();
        else
            fPort = "TCP:127.0.0.1:" + std::to_string(fSim->StartTcp());
    }

    kestrel::sim::SimulatorRunner& Sim() { return *fSim; }
    const std::string& Port() const { return fPort; }
    // Pieces of host traffic the simulator has seen (frames, control bytes, noise).
    int Received() const { return fReceived; }
    // The simulator's whole trace, for a failure message: what it saw shows who sent it.
    std::string TraceText() {
        std::lock_guard lock(fTraceMutex);
        std::string text = "\nsimulator trace:\n";
        for (const std::string& line : fTrace)
            text += "  " + line + "\n";
        return text;
    }
    // Lines of the simulator's trace that are exactly ALine.
    int Traced(const std::string& ALine) {
        std::lock_guard lock(fTraceMutex);
        return static_cast<int>(std::count(fTrace.begin(), fTrace.end(), ALine));
    }

    // kestrel-cli with --port set to the simulator.
    Finished Cli(std::vector<std::string> AArgs, const std::map<std::string, std::string>& AEnv = {},
                 const std::string& AInput = {}) {
        AArgs.insert(AArgs.begin(), {"--port", fPort});
        // A whole check run watches the line after every check: minutes, not seconds.
        return RunCli(AArgs, AEnv, AInput, 300s);
    }

    // Waits (bounded) until the simulator's blocking command AName waits for the cardholder.
    bool WaitingFor(const std::string& AName, std::chrono::milliseconds ATimeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + ATimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (fSim->WaitingFor() == AName) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

private:
    // Before fSim: the simulator's thread writes them until fSim is gone.
    std::atomic<int> fReceived{0};
    std::mutex fTraceMutex;
    std::vector<std::string> fTrace;
    std::unique_ptr<kestrel::sim::SimulatorRunner> fSim;
    std::string fPort;
};

inline std::string TransportName(const ::testing::TestParamInfo<Transport>& AInfo) {
    return AInfo.param == Transport::Pty ? "Pty" : "Tcp";
}

} // namespace kestrel::cli::test
