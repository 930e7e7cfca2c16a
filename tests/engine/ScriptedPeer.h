#pragma once
// A scripted PIN pad on the far side of a real pseudo-terminal: it expects given bytes and answers
// given bytes, in order, and records the first thing that differs (a wrong byte, a missing byte,
// or anything extra). The component under test opens Path() as its serial port.
//
//     ScriptedPeer peer;
//     peer.Expect(Frame("OPN")).Send("\x06").Send(Frame("OPN000"));
//     peer.Start();
//     pinpad.SetPort(peer.Path()); ...
//     EXPECT_EQ(peer.Finish(), "");

#include "pinpad/VexoAbecsPacket.h"
#include "util/Strings.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrel::test {

using Bytes = std::string;

// The complete frame of a data field.
inline Bytes Frame(std::string_view AData) {
    return vexo::TVexoAbecsPacket(Bytes(AData)).AsString();
}

inline const Bytes kACK(1, '\x06');
inline const Bytes kNAK(1, '\x15');
inline const Bytes kCAN(1, '\x18');
inline const Bytes kEOT(1, '\x04');

class ScriptedPeer {
public:
    ScriptedPeer() {
        char name[256] = {};
        if (::openpty(&fMaster, &fSlave, name, nullptr, nullptr) != 0)
            throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
        fPath = name;
        termios tio{};
        ::tcgetattr(fSlave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fSlave, TCSANOW, &tio);
        ::fcntl(fMaster, F_SETFL, ::fcntl(fMaster, F_GETFL) | O_NONBLOCK);
        ::fcntl(fMaster, F_SETFD, FD_CLOEXEC);
        ::fcntl(fSlave, F_SETFD, FD_CLOEXEC);
    }
    ~ScriptedPeer() {
        fStop = true;
        if (fThread.joinable()) fThread.join();
        if (fMaster >= 0) ::close(fMaster);
        if (fSlave >= 0) ::close(fSlave);
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    const std::string& Path() const { return fPath; }

    // Waits up to ATimeOutMs for exactly these bytes.
    ScriptedPeer& Expect(Bytes ABytes, int ATimeOutMs = 5000) {
        fSteps.push_back({TStep::Expect, std::move(ABytes), ATimeOutMs});
        return *this;
    }
    ScriptedPeer& Send(Bytes ABytes) {
        fSteps.push_back({TStep::Send, std::move(ABytes), 0});
        return *this;
    }
    // Stays silent for AMs; any byte arriving meanwhile is a failure.
    ScriptedPeer& Pause(int AMs) {
        fSteps.push_back({TStep::Pause, {}, AMs});
        return *this;
    }
    // A BREAK on the line from the PIN pad's side (tcsendbreak on the master).
    ScriptedPeer& Break() {
        fSteps.push_back({TStep::Break, {}, 0});
        return *this;
    }
    // Closes the master side: the link is dead from the component's point of view.
    ScriptedPeer& Hangup() {
        fSteps.push_back({TStep::Hangup, {}, 0});
        return *this;
    }

    void Start() {
        fThread = std::thread([this] { Run(); });
    }

    // Waits (bounded) for the script to end, then for AGraceMs of silence; returns "" when every
    // step matched and nothing else arrived, else a description of the first difference.
    std::string Finish(int AGraceMs = 200, int AMaxWaitMs = 30000) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMaxWaitMs);
        while (!fDone && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!fDone) {
            fStop = true;
            if (fThread.joinable()) fThread.join();
            return fError.empty() ? "script did not finish" : fError;
        }
        if (fThread.joinable()) fThread.join();
        if (!fError.empty()) return fError;
        if (fMaster >= 0) {
            const Bytes extra = ReadFor(AGraceMs, 0);
            if (!extra.empty())
                return "unexpected bytes after the script: " + vexo::EscaparNaoImprimiveis(extra);
        }
        return {};
    }

    // Everything the component sent, in order.
    const Bytes& Received() const { return fReceived; }

private:
    struct TStep {
        enum Kind { Expect, Send, Pause, Break, Hangup } kind;
        Bytes bytes;
        int ms;
    };

    // Reads until AWant bytes came (0: until the time is up) or AMs passed.
    Bytes ReadFor(int AMs, size_t AWant) {
        Bytes got;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
        while (!fStop && (AWant == 0 || got.size() < AWant)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                limit - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fMaster, POLLIN, 0};
            const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
            if (r <= 0) continue;
            char buf[4096];
            const size_t room = AWant == 0 ? sizeof buf : std::min(sizeof buf, AWant - got.size());
            const ssize_t n = ::read(fMaster, buf, room);
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
                fReceived.append(buf, static_cast<size_t>(n));
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10)); // slave closed for now
            }
        }
        return got;
    }

    void WriteAll(const Bytes& ABytes) {
        size_t done = 0;
        while (done < ABytes.size() && !fStop) {
            const ssize_t n = ::write(fMaster, ABytes.data() + done, ABytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{fMaster, POLLOUT, 0};
                ::poll(&p, 1, 50);
            } else if (n < 0 && errno != EINTR) {
                fError = std::string("write to the pseudo-terminal failed: ") + std::strerror(errno);
                return;
            }
        }
    }

    void Run() {
        for (size_t i = 0; i < fSteps.size() && fError.empty() && !fStop; ++i) {
            const TStep& step = fSteps[i];
            const std::string where = "step " + std::to_string(i + 1) + ": ";
            switch (step.kind) {
            case TStep::Expect: {
                const Bytes got = ReadFor(step.ms, step.bytes.size());
                if (got != step.bytes)
                    fError = where + "expected " + vexo::EscaparNaoImprimiveis(step.bytes) + ", got " +
                             (got.empty() ? "nothing" : vexo::EscaparNaoImprimiveis(got));
                break;
            }
            case TStep::Send:
                WriteAll(step.bytes);
                break;
            case TStep::Pause: {
                const Bytes got = ReadFor(step.ms, 0);
                if (!got.empty()) fError = where + "unexpected bytes: " + vexo::EscaparNaoImprimiveis(got);
                break;
            }
            case TStep::Break:
                if (::tcsendbreak(fMaster, 0) != 0)
                    fError = where + "tcsendbreak failed: " + std::strerror(errno);
                break;
            case TStep::Hangup:
                ::close(fMaster);
                fMaster = -1;
                break;
            }
        }
        fDone = true;
    }

    int fMaster = -1;
    int fSlave = -1;
    std::string fPath;
    std::vector<TStep> fSteps;
    std::thread fThread;
    std::atomic<bool> fStop{false};
    std::atomic<bool> fDone{false};
    std::string fError;
    Bytes fReceived;
};

} // namespace kestrel::test
