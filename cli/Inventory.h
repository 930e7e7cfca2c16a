#pragma once
// Every PIN pad on the bench at once: the ports that can hold one are tried in parallel, each in its own
// thread with its own component, so a port that stays silent costs its own timeouts and nobody else's.
#include "cli/Check.h"
#include "cli/Result.h"
#include "cli/Runner.h"
#include "pinpad/PinPadDetection.h"
#include <functional>
#include <string>
#include <vector>

namespace kestrel::cli {

// A port that may hold a PIN pad, as detection lists them (KESTREL_SERIAL_PORTS in place of the serial
// ports).
using CandidatePort = vexo::TPinPadCandidate;
std::vector<CandidatePort> CandidatePorts();

// What one PIN pad says of itself.
struct InventoryRow {
    CandidatePort Where;
    bool Answered = false;
    std::string Problem; // why not, when it did not answer
    std::string Manufacturer, Model, SerialNumber, AppVersion, KernelVersion, AbecsVersion, Display, Media;
};

// Opens the port, asks (OPN, GIX), closes the session (CLO) and the port.
InventoryRow ProbePinPad(const LinkOptions& ALink, const CandidatePort& APort);

// Runs AWork on every candidate at once, one thread each; returns when all have ended.
void ForEachInParallel(const std::vector<CandidatePort>& APorts,
                       const std::function<void(size_t AIndex, const CandidatePort&)>& AWork);

int RunInventory(const LinkOptions& ALink, const OutputOptions& AOutput);

// check --all: the conformance run on every PIN pad that answers, all at once; one JUnit suite each.
int RunCheckAll(const CheckOptions& ACheck, const LinkOptions& ALink, const OutputOptions& AOutput);

// The renderings of an inventory.
std::string InventoryTable(const std::vector<InventoryRow>& ARows);
JsonValue InventoryJson(const std::vector<InventoryRow>& ARows);

} // namespace kestrel::cli
