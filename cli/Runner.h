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
    bool DemoLink = false; // the port is the default demo link, named by neither --port nor KESTREL_PORT
};

// KESTREL_PORT when set, else the link the simulator's demo makes:
// ${XDG_RUNTIME_DIR:-/tmp}/kestrel-pinpad.
std::string DefaultPort();

// Sets the component up from the options (port, serial parameters, timeout, log, cancel on
// Ctrl-C) without opening anything. Raises BadArguments for a parameter string or a log file that
// cannot be used.
void Configure(vexo::TVexoAbecsPinPad& APinPad, const LinkOptions& AOptions);

// Why the port cannot be the simulator's demo link: the link is not there (so nothing would open
// but a plain file of that name). Empty when the port is another or the link exists.
std::string MissingDemoLink(const LinkOptions& AOptions);

// Opens the port. On failure, the result to report for ACommand (outcome PortNotOpen).
std::optional<CommandResult> OpenPort(vexo::TVexoAbecsPinPad& APinPad, const LinkOptions& AOptions,
                                      const std::string& ACommand);

// Runs one prepared command, timed, and sorts whatever it raised into an outcome.
CommandResult Execute(const PreparedCommand& ACommand, CommandContext& AContext);

} // namespace kestrel::cli
