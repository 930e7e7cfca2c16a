#pragma once
#include "cli/Result.h"
#include "cli/Runner.h"
#include "util/Json.h"
#include <string>
#include <vector>

namespace kestrel::cli {

struct CheckOptions {
    std::string JUnitFile;         // JUnit XML of the run, for CI
    bool Interactive = false;      // a person at the PIN pad plays the cardholder
    std::string SimProfile;        // check a simulator started in this process, with this profile
    std::vector<std::string> Only; // these checks (or groups) alone
    bool List = false;             // name the checks and their rules, run nothing
    bool All = false;              // every PIN pad found, in parallel, rather than the one on --port
    // How long the line must stay quiet after each check before the next begins: the longest window
    // a check watches. Lower only for a PIN pad known never to answer late.
    int SettleMs = 2000;
    bool Verbose = false;          // the exchange of passing checks too, not only of failures
};

enum class CheckStatus { Pass, Fail, Skip, Error };
const char* CheckStatusName(CheckStatus AStatus); // "pass", "FAIL", "skip", "ERROR"

// One check as it ran: what it sent, what it expected and by which rule, and what came back.
struct CheckReport {
    std::string Id, Group, Title;
    std::string Rule;     // the ABECS rule, in a sentence
    std::string Expected; // what should come back
    CheckStatus Status = CheckStatus::Pass;
    std::string Diagnosis; // why it failed, or why it was skipped
    std::vector<std::string> Sent, Got;
    std::vector<std::string> Exchange; // both, in the order they happened: "-> " sent, "<- " came
    double Seconds = 0;
};

struct CheckRun {
    std::string Port;
    std::string PinPad; // who answered: manufacturer, model, serial number, ABECS version
    std::vector<CheckReport> Reports;
    double Seconds = 0;
    int Count(CheckStatus AStatus) const;
};

// The checks without running them, in the order they run.
std::vector<CheckReport> CheckList();

// Runs the checks against the PIN pad on the port (or a simulator of our own), prints the table
// (or one JSON object) and writes the JUnit file. Returns the exit status.
int RunChecks(const CheckOptions& ACheck, LinkOptions ALink, const OutputOptions& AOutput);

// The renderings of a run.
// The text report: the rows, the details (of every check with AVerbose, else of the checks that did
// not pass), the failures gathered with their reasons, and the summary.
std::string CheckTable(const CheckRun& ARun, bool AVerbose = false);
std::string CheckJUnit(const CheckRun& ARun);
JsonValue CheckJson(const CheckRun& ARun);

} // namespace kestrel::cli
