#pragma once
#include <string>

namespace kestrel::sim {
class SimulatorRunner;
}

namespace kestrel::cli {

// What a check needs the person at the PIN pad to do while its command waits.
struct CardholderTask {
    enum class Kind { Key, Digits, Choice };
    Kind What = Kind::Key;
    int Number = 0; // key code (0 ENTER, 4 to 7 F1 to F4, 8 CLEAR, 13 CANCEL) or option from 1
    std::string Digits;
    std::string Instruction; // said to a person: "press F1"
};

// Who plays the cardholder in a check run: nobody (those checks are skipped), a person at the
// terminal, or the simulator this program started, which is scripted directly.
class CheckCardholder {
public:
    virtual ~CheckCardholder() = default;
    virtual bool Available() const = 0;
    // Why the checks that need a cardholder are skipped.
    virtual std::string Absence() const { return {}; }
    // Called just before the waiting command goes out.
    virtual void Prepare(const CardholderTask& ATask) = 0;
    // How long the check waits for the cardholder before it gives up (and cancels).
    virtual int PatienceMs() const = 0;
};

class NoCardholder : public CheckCardholder {
public:
    bool Available() const override { return false; }
    std::string Absence() const override {
        return "needs a cardholder: run with --interactive, or with --sim to check the simulator";
    }
    void Prepare(const CardholderTask&) override {}
    int PatienceMs() const override { return 0; }
};

// Asks the operator on the terminal (standard error) to act on the PIN pad.
class TerminalCardholder : public CheckCardholder {
public:
    bool Available() const override { return true; }
    void Prepare(const CardholderTask& ATask) override;
    int PatienceMs() const override { return 60000; }
};

// Queues the action in the simulator this program runs.
class SimulatedCardholder : public CheckCardholder {
public:
    explicit SimulatedCardholder(kestrel::sim::SimulatorRunner& ARunner) : fRunner(ARunner) {}
    bool Available() const override { return true; }
    void Prepare(const CardholderTask& ATask) override;
    int PatienceMs() const override { return 10000; }

private:
    kestrel::sim::SimulatorRunner& fRunner;
};

} // namespace kestrel::cli
