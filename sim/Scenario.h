#pragma once
#include "sim/Cardholder.h"
#include "sim/Faults.h"
#include "sim/PinPadModel.h"
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrel::sim {

// A scenario file that cannot be used; the message names the file, the line and the rule.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What one rule does to the command it matched.
struct ScenarioStep {
    std::optional<SimReply> Reply;           // none: the PIN pad answers as it always does
    int DelayMs = 0;                         // working time before the answer (times the time scale)
    std::vector<std::string> Display;        // text rows shown while it answers
    std::string ShowMedia;                   // a media file in the PIN pad's memory, shown as DSI does
    std::optional<CardholderAction> WaitFor; // the answer waits until the cardholder does this
    std::optional<FaultRule> Fault;          // a link fault for this command
    std::optional<FaultRule> After;          // a fault plan entry added once this command is answered
};

struct ScenarioRule {
    int Number = 0;                                          // from 1, in the file's order
    int Line = 0;                                            // of the rule in the file, from 1
    std::string Command;                                     // three letters, or "*" for any
    std::vector<std::pair<uint16_t, vexo::ByteString>> When; // items the command must carry
    std::vector<ScenarioStep> Steps; // one answer, or a sequence taken one match at a time
    bool Repeat = false;             // a sequence starts again after its last step
};

// The match of a command: the rule and the step it answers with.
struct ScenarioMatch {
    int Rule = 0; // index in Rules()
    ScenarioStep Step;
    std::string Describe() const; // "rule 2 (line 7)"
    int Line = 0;
    int Number = 0;
};

// Rules tried in order; the first that matches answers. Thread-safe.
class Scenario {
public:
    // Reads a YAML scenario; raises ScenarioError with "FILE:LINE: rule N: ..." for any mistake.
    static Scenario Load(const std::string& APath);
    static Scenario Parse(const std::string& AText, const std::string& AFileName = "scenario");

    Scenario() = default;
    Scenario(const Scenario& AOther);
    Scenario& operator=(const Scenario& AOther);

    const std::string& Name() const { return fName; }
    std::vector<ScenarioRule> Rules() const;

    // The rule and step that answer ACommand, leaving the sequences where they are.
    std::optional<ScenarioMatch> Peek(const SimCommand& ACommand) const;
    // The command was taken: its rule's sequence moves on.
    void Commit(const ScenarioMatch& AMatch);

private:
    static bool Matches(const ScenarioRule& ARule, const SimCommand& ACommand);
    mutable std::mutex fMutex;
    std::string fName;
    std::vector<ScenarioRule> fRules;
    std::vector<size_t> fNext; // the next step of each rule
};

} // namespace kestrel::sim
