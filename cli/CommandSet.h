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

    // After a parse that failed: the first word of the command line that names no command, when no
    // command was recognised ("frobnicate"); empty otherwise.
    static std::string UnknownCommand(const CLI::App& AApp);

private:
    struct Arguments;
    SendArgs SendInOrder() const;
    CLI::App& fApp;
    std::unique_ptr<Arguments> fArgs;
};

} // namespace kestrel::cli
