#pragma once
#include <iosfwd>
#include <string>

namespace kestrel::sim {

class SimulatorRunner;

// The fastest line rate the simulator paces to (rate, --baud): the fastest serial line Linux sets.
constexpr unsigned kMaxLineRate = 4000000;

// The program's line-based control: one line from standard input (or a script) acted on the
// simulator, the answer written to AOut. False when the line asks to quit.
bool RunControlLine(SimulatorRunner& ARunner, const std::string& ALine, std::ostream& AOut);

// The control lines, for --help and the "help" line.
std::string ControlHelp();

} // namespace kestrel::sim
