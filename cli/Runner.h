#pragma once
#include "cli/Commands.h"
#include "cli/Result.h"
#include <optional>
#include <string>

namespace vexo {
class TVexoAbecsPinPad;
}

namespace kestrel::cli {

struct LinkOptions {
    std::string Port;   // empty: DefaultPort()
    std::string Params; // serial parameter string
    int TimeOutMs = 10000;
    int LogLevel = 2;
    std::string LogFile; // "-": standard error
    bool Mask = true;
};

// KESTREL_PORT when set, else the link the simulator's demo makes:
// ${XDG_RUNTIME_DIR:-/tmp}/kestrel-pinpad.
std::string DefaultPort();

// Sets the component up from the options (port, serial parameters, timeout, log, cancel on
// Ctrl-C) without opening anything. Raises BadArguments for a parameter string or a log file that
// cannot be used.
void Configure(vexo::TVexoAbecsPinPad& APinPad, const LinkOptions& AOptions);

// Opens the port. On failure, the result to report for ACommand (outcome PortNotOpen).
std::optional<CommandResult> OpenPort(vexo::TVexoAbecsPinPad& APinPad, const std::string& ACommand);

// Runs one prepared command, timed, and sorts whatever it raised into an outcome.
CommandResult Execute(const PreparedCommand& ACommand, CommandContext& AContext);

} // namespace kestrel::cli
