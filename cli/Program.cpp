#include "cli/Program.h"

#include "cli/CommandSet.h"
#include "cli/Interrupt.h"
#include "cli/Session.h"
#include "pinpad/VexoAbecsPinPad.h"

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace kestrel::cli {

namespace {

std::string ReadScript(const std::string& AFile) {
    std::stringstream text;
    if (AFile == "-") {
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream in(AFile, std::ios::binary);
    if (!in) throw BadArguments("session: cannot read " + AFile);
    text << in.rdbuf();
    return text.str();
}

PreparedCommand PrepareLine(const ScriptLine& ALine) {
    const std::string where = "session line " + std::to_string(ALine.Number) + ": ";
    const std::string& first = ALine.Words.front();
    if (first == "session" || first == "check" || first == "detect" || first == "inventory" ||
        first == "replay")
        throw BadArguments(where + first + " cannot run inside a session");
    CLI::App app{"session line"};
    app.set_help_flag();
    CommandSet set(app);
    app.require_subcommand(1, 1);
    try {
        app.parse(std::vector<std::string>(ALine.Words.rbegin(), ALine.Words.rend()));
        return set.Prepare();
    } catch (const CLI::ParseError& e) {
        if (const std::string unknown = CommandSet::UnknownCommand(app); !unknown.empty())
            throw BadArguments(where + "unknown command '" + unknown + "'");
        throw BadArguments(where + e.what());
    } catch (const BadArguments& e) {
        throw BadArguments(where + e.what());
    } catch (const UnusableFile& e) {
        throw UnusableFile(where + e.what());
    }
}

CommandContext ContextFor(vexo::TVexoAbecsPinPad& APinPad, const LinkOptions& ALink,
                          const OutputOptions& AOutput) {
    return CommandContext{APinPad, ALink.Mask, !AOutput.Json && !AOutput.Quiet && isatty(STDERR_FILENO) == 1};
}

} // namespace

int RunOne(const PreparedCommand& ACommand, const LinkOptions& ALink, const OutputOptions& AOutput) {
    vexo::TVexoAbecsPinPad pinpad;
    Configure(pinpad, ALink);
    CatchInterrupt();
    if (ACommand.UsesPort) {
        if (const auto failure = OpenPort(pinpad, ALink, ACommand.Name)) {
            PrintResult(*failure, AOutput, std::cout, std::cerr);
            return failure->ExitCode();
        }
    }
    CommandContext context = ContextFor(pinpad, ALink, AOutput);
    const CommandResult result = Execute(ACommand, context);
    PrintResult(result, AOutput, std::cout, std::cerr);
    return Interrupted() ? kExitCancelled : result.ExitCode();
}

int RunSession(const std::string& AFile, bool AKeepGoing, const LinkOptions& ALink,
               const OutputOptions& AOutput) {
    std::vector<std::pair<int, PreparedCommand>> commands;
    bool usesPort = false;
    for (const ScriptLine& line : ParseScript(ReadScript(AFile))) {
        commands.emplace_back(line.Number, PrepareLine(line));
        usesPort = usesPort || commands.back().second.UsesPort;
    }
    vexo::TVexoAbecsPinPad pinpad;
    Configure(pinpad, ALink);
    CatchInterrupt();
    if (usesPort) {
        if (const auto failure = OpenPort(pinpad, ALink, "session")) {
            PrintResult(*failure, AOutput, std::cout, std::cerr);
            return failure->ExitCode();
        }
    }
    CommandContext context = ContextFor(pinpad, ALink, AOutput);
    int status = kExitOk;
    for (const auto& [number, command] : commands) {
        CommandResult result = Execute(command, context);
        result.Line = number;
        PrintResult(result, AOutput, std::cout, std::cerr);
        if (!result.Ok() && status == kExitOk) status = result.ExitCode();
        if (Interrupted()) return kExitCancelled;
        if (!result.Ok() && !AKeepGoing) break;
    }
    return status;
}

} // namespace kestrel::cli
