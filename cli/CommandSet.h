#pragma once
#include "cli/Commands.h"
#include "cli/SendCommand.h"
#include <memory>
#include <string>

namespace CLI {
class App;
}

namespace kestrel::cli {

// The PIN-pad subcommands registered on one CLI11 app: the program's own command line, or a fresh
// app for each line of a session script, so both take exactly the same arguments.
class CommandSet {
public:
    explicit CommandSet(CLI::App& AApp);
    ~CommandSet();
    CommandSet(const CommandSet&) = delete;
    CommandSet& operator=(const CommandSet&) = delete;

    // The subcommand given, if it is one of these.
    bool Chosen() const;
    // Its arguments checked and turned into a command; raises BadArguments.
    PreparedCommand Prepare() const;

private:
    struct Arguments;
    SendArgs SendInOrder() const;
    CLI::App& fApp;
    std::unique_ptr<Arguments> fArgs;
};

} // namespace kestrel::cli
