#pragma once
#include "cli/Commands.h"
#include "cli/Result.h"
#include "cli/Runner.h"
#include <string>

namespace kestrel::cli {

// One subcommand from the command line: the port is opened for it (when it needs one) and closed
// after it. Returns the exit status.
int RunOne(const PreparedCommand& ACommand, const LinkOptions& ALink, const OutputOptions& AOutput);

// A session script (AFile, or standard input for "-"): every line is checked before the port
// opens, then the commands run in order on one open port. The run stops at the first failure unless
// AKeepGoing; the exit status is that of the first failure.
int RunSession(const std::string& AFile, bool AKeepGoing, const LinkOptions& ALink,
               const OutputOptions& AOutput);

} // namespace kestrel::cli
