#pragma once
// The host's side of a test: the real PIN-pad component, whose calls block, on a thread of its own, so
// that the window's thread stays free to show the PIN pad and press its keys.
#include "pinpad/VexoAbecsPinPad.h"
#include <QTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::test {

class THostThread {
public:
    // A command still waiting for the cardholder this long is cancelled, so no test can hang.
    static constexpr std::chrono::seconds kGiveUp{20};

    THostThread() {
        PinPad.SetLogLevel(2);
        PinPad.SetTimeOut(5000);
        PinPad.SetOnWriteLog([this](const std::string& ALine, bool& ATratado) {
            std::lock_guard lock(fMutex);
            fLog.push_back(ALine);
            ATratado = true;
        });
        PinPad.SetOnWaitForResponse([this](bool& ACancel) {
            ACancel = fGiveUp || std::chrono::steady_clock::now() - fStarted > kGiveUp;
        });
    }
    ~THostThread() {
        fGiveUp = true;
        if (fThread.joinable()) fThread.join();
        PinPad.Disable();
    }

    // Runs AWork on the host's thread; what it raises is kept as the outcome's text.
    void Run(std::function<std::string(vexo::TVexoAbecsPinPad&)> AWork) {
        if (fThread.joinable()) fThread.join();
        fDone = false;
        fStarted = std::chrono::steady_clock::now();
        fThread = std::thread([this, AWork] {
            std::string outcome;
            try {
                outcome = AWork(PinPad);
            } catch (const std::exception& E) {
                outcome = std::string("error: ") + E.what();
            }
            {
                std::lock_guard lock(fMutex);
                fOutcome = outcome;
            }
            fDone = true;
        });
    }
    // Waits (letting the window's events run) for the work to end; its outcome, or "still running".
    std::string Outcome(int ATimeoutMs = 15000) {
        if (!QTest::qWaitFor([this] { return fDone.load(); }, ATimeoutMs)) return "still running";
        fThread.join();
        std::lock_guard lock(fMutex);
        return fOutcome;
    }
    std::string RunAndWait(std::function<std::string(vexo::TVexoAbecsPinPad&)> AWork) {
        Run(std::move(AWork));
        return Outcome();
    }
    bool Done() const { return fDone; }
    bool LogHas(const std::string& AText) {
        std::lock_guard lock(fMutex);
        for (const auto& line : fLog)
            if (line.find(AText) != std::string::npos) return true;
        return false;
    }
    std::string LogText() {
        std::lock_guard lock(fMutex);
        std::string text;
        for (const auto& line : fLog)
            text += line + "\n";
        return text;
    }

    vexo::TVexoAbecsPinPad PinPad;

private:
    std::thread fThread;
    std::atomic<bool> fDone{true}, fGiveUp{false};
    std::chrono::steady_clock::time_point fStarted{};
    std::mutex fMutex;
    std::vector<std::string> fLog;
    std::string fOutcome;
};

} // namespace kestrel::test
