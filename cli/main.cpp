// kestrel-cli: every PIN-pad command from a shell, session scripts, and a conformance check.
#include "cli/Check.h"
#include "cli/CommandSet.h"
#include "cli/ExitCodes.h"
#include "cli/Inventory.h"
#include "cli/Program.h"
#include "cli/Replay.h"
#include "cli/Runner.h"
#include "device/VexoDeviceSerial.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

using namespace kestrel::cli;

namespace {

const char* const kDescription =
    "kestrel-cli: drive an ABECS PIN pad from a shell or a script, one command at a time or from a\n"
    "session file, and check whether a PIN pad (or an emulator of one) follows the ABECS protocol.\n"
    "Text output by default; --json gives one JSON object per command. Card data (card numbers,\n"
    "tracks, cardholder names) is masked in every output and log unless --no-mask is given.";

std::string Footer() {
    return "\nPorts:\n"
           "  Any port name the device layer takes: a serial device (/dev/ttyACM0, /dev/ttyUSB0, COM1), a\n"
           "  pseudo-terminal or a link to one, TCP:HOST:PORT, and the USB:, BTH:, LPT and file names.\n"
           "  The serial parameter string (--params) has the keys BAUD, DATA, PARITY, STOP, HANDSHAKE,\n"
           "  HARDFLOW, SOFTFLOW, MAXBANDWIDTH, SENDBYTESCOUNT and SENDBYTESINTERVAL, as in\n"
           "  \"BAUD=19200 DATA=8 PARITY=N STOP=1\".\n"
           "\nCtrl-C:\n"
           "  A command that waits for the cardholder (gky, gcd, mnu, cex, rmc) is cancelled at once: the\n"
           "  PIN pad gets CAN and confirms with EOT; then the program stops with status 130. Any other\n"
           "  command ends first. A second Ctrl-C stops the program at once.\n"
           "\nSession scripts:\n"
           "  One subcommand a line, with its arguments quoted as in a shell ('...', \"...\", \\), # for\n"
           "  comments. Every line is checked before the port opens; the commands then run on one open port\n"
           "  and the run stops at the first failure unless --keep-going is given. session, check and "
           "detect\n"
           "  do not run inside a session.\n"
           "\n" +
           ExitStatusHelp() +
           "\nEnvironment:\n"
           "  KESTREL_PORT          the port when --port is not given\n"
           "  XDG_RUNTIME_DIR       the folder of the simulator's demo link, the port when KESTREL_PORT is "
           "not\n"
           "                        set either: ${XDG_RUNTIME_DIR:-/tmp}/kestrel-pinpad\n"
           "  KESTREL_SERIAL_PORTS  device paths separated by colons that ports, detect, inventory and\n"
           "                        check --all try in place of the system's serial devices\n"
           "\nExamples:\n"
           "  kestrel-cli opn && kestrel-cli dsp 'HELLO' 'WORLD'\n"
           "  kestrel-cli --json gix PP_SERNUM PP_MODEL\n"
           "  key=$(kestrel-cli -q gky)\n"
           "  kestrel-cli upload logo.png --show\n"
           "  kestrel-cli session payment.txt --keep-going\n"
           "  kestrel-cli --port /dev/ttyACM0 check --junit abecs.xml\n"
           "  kestrel-cli check --sim graphic\n"
           "  kestrel-cli inventory --json\n"
           "  kestrel-cli check --all --junit bench.xml\n"
           "  kestrel-cli --port /dev/ttyACM0 replay certified.raw --ignore PP_RNDNUM --junit replay.xml\n";
}

std::vector<std::string> SplitPaths(const std::string& AList) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start <= AList.size()) {
        const size_t colon = AList.find(':', start);
        const std::string path =
            AList.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!path.empty()) paths.push_back(path);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return paths;
}

} // namespace

int main(int argc, char** argv) {
    LinkOptions link;
    OutputOptions output;
    bool noMask = false;
    std::string sessionFile;
    bool keepGoing = false;
    CheckOptions check;
    ReplayOptions replay;

    CLI::App app{kDescription, "kestrel-cli"};
    app.set_version_flag("--version", std::string("kestrel-cli ") + KESTREL_VERSION);
    app.fallthrough();
    app.add_option("-p,--port", link.Port,
                   "the PIN pad's port (default: $KESTREL_PORT, else the simulator's demo link " +
                       DefaultPort() + ")");
    app.add_option("--params", link.Params, "serial parameter string, e.g. \"BAUD=115200\"");
    app.add_option("--timeout", link.TimeOutMs,
                   "milliseconds to wait for a response to a command that does not wait for the cardholder")
        ->capture_default_str()
        ->check(CLI::Range(1, 3600000));
    app.add_option("--log-level", link.LogLevel, "detail of the PIN pad's log, 0 to 5")
        ->capture_default_str()
        ->check(CLI::Range(0, 255));
    app.add_option("--log-file", link.LogFile, "write the PIN pad's log to FILE (\"-\": standard error)");
    app.add_flag("--json", output.Json, "one JSON object per command on standard output");
    app.add_flag("-q,--quiet", output.Quiet,
                 "print only the command's main result (the key, the value typed)");
    app.add_flag("--no-mask", noMask, "show card numbers, tracks and cardholder names in clear");

    CommandSet commands(app);
    CLI::App* session = app.add_subcommand("session", "run a script of these subcommands, one per line");
    session->fallthrough();
    session->add_option("FILE", sessionFile, "the script (\"-\": standard input)")->required();
    session->add_flag("--keep-going", keepGoing, "run every line, even after a failure");
    CLI::App* checkCommand = app.add_subcommand(
        "check", "conformance run: each ABECS rule tested against the PIN pad on the port, as a table");
    checkCommand->fallthrough();
    checkCommand->add_option("--junit", check.JUnitFile, "also write the results as JUnit XML to FILE");
    checkCommand->add_flag("--interactive", check.Interactive,
                           "a person at the PIN pad plays the cardholder (asked on the terminal)");
    checkCommand->add_option("--sim", check.SimProfile,
                             "check a simulator started inside this program, with this profile (graphic, "
                             "graphic-gif, text, or a profile file); it plays the cardholder itself");
    checkCommand->add_option("--only", check.Only, "run only these checks or groups")->delimiter(',');
    checkCommand->add_flag("--list", check.List, "list the checks and their rules; run nothing");
    checkCommand->add_flag(
        "--all", check.All,
        "check every PIN pad found on the serial ports and the PIN-pad makers' USB devices, "
        "all at once, in place of the one on --port (one JUnit test suite each)");
    CLI::App* replayCommand = app.add_subcommand(
        "replay", "play the host side of a kestrel-monitor recording against the PIN pad on the port and "
                  "report every response that differs from the recorded one");
    replayCommand->fallthrough();
    replayCommand->add_option("RECORDING", replay.Recording, "raw recording or JSON Lines of kestrel-monitor")
        ->required();
    replayCommand->add_option("--ignore", replay.Ignore,
                              "an item whose value changes by nature, such as PP_RNDNUM (repeatable)");
    replayCommand
        ->add_option("--slower", replay.Slower,
                     "report a response more than N times slower than recorded (over 100 ms)")
        ->capture_default_str();
    replayCommand->add_option("--junit", replay.JUnitFile, "also write the results as JUnit XML to FILE");
    replayCommand->add_option("--sim", replay.SimProfile,
                              "play against a simulator started inside this program, with this profile");
    CLI::App* inventory = app.add_subcommand(
        "inventory",
        "try every port that can hold a PIN pad, all at once, and list the PIN pads that answer");
    inventory->fallthrough();
    checkCommand
        ->add_option("--settle", check.SettleMs,
                     "milliseconds the line must stay quiet after each check (default 2000, the longest "
                     "window a check watches); bytes that come meanwhile fail the check that ended")
        ->check(CLI::Range(100, 60000));
    checkCommand->add_flag("--verbose", check.Verbose,
                           "print the exchange of the checks that passed too (failures always carry theirs)");
    app.require_subcommand(1, 1);
    app.footer(Footer());

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        // The program's own help shows every subcommand in full, so a manual page made from it
        // (help2man) lacks nothing.
        const auto chosen = app.get_subcommands();
        std::cout << (chosen.empty() ? app.help("", CLI::AppFormatMode::All) : chosen.front()->help());
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        if (const std::string unknown = CommandSet::UnknownCommand(app); !unknown.empty()) {
            std::cerr << "kestrel-cli: unknown command '" << unknown
                      << "'\nRun kestrel-cli --help for the commands and options.\n";
            return kExitBadArguments;
        }
        std::cerr << "kestrel-cli: " << e.what()
                  << "\nRun kestrel-cli --help for the commands and options.\n";
        return kExitBadArguments;
    }
    link.Mask = !noMask;
    if (const char* ports = std::getenv("KESTREL_SERIAL_PORTS"); ports && *ports) {
        const std::vector<std::string> paths = SplitPaths(ports);
        vexo::TVexoDeviceSerial::CandidatasPortasSeriais = [paths] { return paths; };
    }
    if (link.Port.empty()) {
        link.Port = DefaultPort();
        link.DemoLink = !std::getenv("KESTREL_PORT") || !*std::getenv("KESTREL_PORT");
    }
    if (output.Json && output.Quiet) {
        std::cerr << "kestrel-cli: --json and --quiet exclude each other\n";
        return kExitBadArguments;
    }

    try {
        if (session->parsed()) return RunSession(sessionFile, keepGoing, link, output);
        if (inventory->parsed()) return RunInventory(link, output);
        if (replayCommand->parsed()) {
            if (output.Json)
                throw BadArguments("replay: no --json output; --junit FILE writes the results for tools");
            return RunReplay(replay, link);
        }
        if (checkCommand->parsed() && check.All && !check.List) return RunCheckAll(check, link, output);
        if (checkCommand->parsed()) return RunChecks(check, link, output);
        return RunOne(commands.Prepare(), link, output);
    } catch (const BadArguments& e) {
        std::cerr << "kestrel-cli: " << e.what() << "\n";
        return kExitBadArguments;
    } catch (const UnusableFile& e) {
        std::cerr << "kestrel-cli: " << e.what() << "\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        std::cerr << "kestrel-cli: " << e.what() << "\n";
        return kExitFailure;
    }
}
