// kestrel-sim: a simulated ABECS PIN pad on a pseudo-terminal or a TCP port.
#include "monitor/RecordingFile.h"
#include "sim/ControlLine.h"
#include "sim/PtyChannel.h"
#include "sim/ReplayPinPad.h"
#include "sim/SimulatorRunner.h"
#include "sim/TcpChannel.h"
#include "util/FilesIO.h"
#include "util/HostPort.h"
#include "util/NumberText.h"
#include "util/Signals.h"
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <poll.h>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace kestrel::sim;

namespace {

struct Options {
    bool Pty = false;
    std::string Tcp, Link, ProfileName = "graphic", Script, ScenarioFile, Replay;
    std::vector<std::string> Faults, Breaks, Settings;
    double RandomFaults = 0, TimeScale = 1;
    std::string Seed = "1", Baud = "0"; // read with the range checks of ParseInteger
    bool Quiet = false, Strict = false;
};

constexpr double kMinTimeScale = 1e-6, kMaxTimeScale = 1000;

// A number from AMin to AMax; unlike CLI::Range it refuses NaN, which compares false to any bound.
CLI::Validator Between(double AMin, double AMax) {
    return CLI::Validator(
        [AMin, AMax](std::string& AText) -> std::string {
            double value = 0;
            if (CLI::detail::lexical_cast(AText, value) && value >= AMin && value <= AMax) return {};
            return "Value " + AText + " not in range " + CLI::detail::to_string(AMin) + " to " +
                   CLI::detail::to_string(AMax);
        },
        "NUMBER in [" + CLI::detail::to_string(AMin) + " - " + CLI::detail::to_string(AMax) + "]");
}

std::string ReadFile(const std::string& APath) {
    std::ifstream in(APath);
    if (!in) throw std::runtime_error("cannot read " + APath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

vexo::THostPort HostPort(const std::string& AText) {
    try {
        return vexo::ParseHostPort(AText, {"127.0.0.1", true, 0});
    } catch (const vexo::EHostPortError& e) {
        throw std::runtime_error(std::string("--tcp takes [HOST:]PORT, PORT from 0 to 65535 (") + e.what() +
                                 ")");
    }
}

void ControlLoop(SimulatorRunner& ARunner, int ASignals) {
    bool stdinOpen = true;
    std::string pending;
    for (;;) {
        pollfd fds[2] = {{ASignals, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, stdinOpen ? 2 : 1, -1) < 0) continue;
        if (fds[0].revents & POLLIN) return;
        if (!stdinOpen || !(fds[1].revents & (POLLIN | POLLHUP))) continue;
        char buffer[512];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            stdinOpen = false; // keep serving the host until a signal
            continue;
        }
        pending.append(buffer, static_cast<size_t>(n));
        for (auto eol = pending.find('\n'); eol != std::string::npos; eol = pending.find('\n')) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!RunControlLine(ARunner, line, std::cout)) return;
            std::cout.flush();
        }
    }
}

void WaitForSignal(int ASignals) {
    pollfd fd{ASignals, POLLIN, 0};
    while (poll(&fd, 1, -1) < 0 || !(fd.revents & POLLIN)) {
    }
}

// The PIN pad of a recording, on its own thread until a signal; the simulated PIN pad's model,
// cardholder and faults play no part.
void RunReplay(const Options& AOptions, int ASignals) {
    const auto recording = kestrel::monitor::LoadRecording(AOptions.Replay);
    ReplayScript script = BuildReplayScript(recording.Items);
    if (script.Steps.empty())
        throw std::runtime_error(AOptions.Replay + ": the host sent nothing in this recording");
    std::cerr << "kestrel-sim: replaying " << AOptions.Replay << ", " << script.Steps.size()
              << " things the host sent"
              << (recording.MaskKnown && recording.Masked ? ", card data masked as recorded" : "") << "\n";
    if (script.SkippedBytes > 0)
        std::cerr << "kestrel-sim: " << script.SkippedBytes
                  << " bytes the PIN pad sent before the host sent anything are not replayed\n";
    ReplayPinPad pinpad(std::move(script));
    pinpad.SetStrict(AOptions.Strict);
    pinpad.SetTimeScale(AOptions.TimeScale);
    pinpad.SetReport(
        [](const std::string& ALine) { std::cerr << "kestrel-sim: replay: " << ALine << std::endl; });
    if (!AOptions.Quiet)
        pinpad.SetTrace(
            [](const std::string& ALine) { std::cerr << vexo::LogTimeStamp() << " " << ALine << "\n"; });
    std::unique_ptr<Channel> channel;
    std::string address;
    if (AOptions.Pty) {
        auto pty = std::make_unique<PtyChannel>(AOptions.Link);
        address = pty->SlavePath();
        channel = std::move(pty);
    } else {
        const auto [host, port] = HostPort(AOptions.Tcp);
        auto tcp = std::make_unique<TcpChannel>(host, port);
        address = vexo::FormatHostPort(host, tcp->Port());
        channel = std::move(tcp);
    }
    std::cout << address << std::endl;
    std::atomic<bool> stop{false};
    std::thread thread([&] { pinpad.Run(*channel, stop); });
    WaitForSignal(ASignals);
    stop = true;
    channel->Wake();
    thread.join();
    std::cerr << "kestrel-sim: " << pinpad.StepsPlayed() << " recorded answers played, "
              << pinpad.Departures() << " departures from the recording\n";
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"kestrel-sim: a simulated ABECS PIN pad (the device side of the link)."};
    std::string faults =
        "\nFault SPEC: KIND[:N][@CMD][*TIMES]; TIMES commands (0: every one), CMD any when absent.\n";
    for (const auto& kind : FaultRule::Kinds()) {
        std::string name = kind.Name;
        name.resize(13, ' ');
        faults += "  " + name + kind.Description;
        if (*kind.ParamMeaning)
            faults +=
                " (N " + std::string(kind.ParamMeaning) + ", " + std::to_string(kind.DefaultParam) + ")";
        faults += "\n";
    }
    app.footer(
        faults +
        "Profiles: graphic (default; 320x240 colour, 8x16 text, PNG and JPEG), graphic-gif, text\n"
        "(2x16, no media), ppc930 (a Gertec PPC-930), rule-breaker (graphic breaking every rule of\n"
        "--break), or a file of \"key = value\" lines (base, name, PP_ items, text_rows, text_cols,\n"
        "pixel_width, pixel_height, display text|mono|color, contactless, media_formats,\n"
        "png_form smallest|rgb8, media_memory, open_commands, default_timeout, session implicit|strict,\n"
        "contactless_timeout, answer_delay CMD:MS ..., break_no_eot, break_ignore_nak, break_mle_crc,\n"
        "break_leftover, break_late_eot, break_answer_after_eot).\n"
        "Rules broken on purpose: no_eot (CAN gets no EOT), ignore_nak (a host's NAK gets no resend),\n"
        "mle_crc (MLE takes a file with a wrong CRC), leftover (the command CAN aborted still answers\n"
        "after the EOT), late_eot (EOT comes 3 s after CAN), answer_after_eot (a GKY aborted by CAN\n"
        "answers 1.5 s after the EOT).\n\n" +
        ControlHelp() +
        "\nThe PIN pad's address (pty path or HOST:PORT) is the first line on standard output; every\n"
        "frame both ways is traced on standard error. SIGINT or SIGTERM stop it and remove the link.");
    auto* transport = app.add_option_group("transport");
    transport->add_flag("--pty", o.Pty, "serve on a new pseudo-terminal and print the path to open");
    transport->add_option("--tcp", o.Tcp,
                          "serve on TCP, [HOST:]PORT (HOST 127.0.0.1 by default, PORT 0: any)");
    transport->require_option(1);
    app.add_option("--link", o.Link, "with --pty: make a symbolic link to the pty at PATH (removed on exit)");
    app.add_option("--profile", o.ProfileName, "built-in profile name or profile file")
        ->capture_default_str();
    app.add_option("--set", o.Settings, "set one profile key over the profile, KEY=VALUE (repeatable)");
    app.add_option("--break", o.Breaks,
                   "break one rule on purpose, for conformance checks (repeatable): "
                   "no_eot, ignore_nak, mle_crc, leftover, late_eot, answer_after_eot")
        ->check(CLI::IsMember(Profile::BreakNames()));
    app.add_option("--script", o.Script, "file of cardholder actions, one control line each");
    app.add_option("--fault", o.Faults, "add a fault, SPEC below (repeatable)");
    app.add_option("--scenario", o.ScenarioFile,
                   "YAML file of rules that answer the commands they match (docs/scenarios.md)");
    app.add_option("--replay", o.Replay,
                   "be the PIN pad of a kestrel-monitor recording (raw or JSON Lines): answer each "
                   "command as recorded, with the recorded delays times --time-scale");
    app.add_flag("--strict", o.Strict, "with --replay: refuse a command not in the recording (status 010)");
    app.add_option("--random-faults", o.RandomFaults, "probability of a random recoverable fault per command")
        ->check(Between(0.0, 1.0));
    app.add_option("--seed", o.Seed, "seed of the random faults, 0 to 4294967295")->capture_default_str();
    app.add_option("--baud", o.Baud,
                   "pace both directions to this line rate, 10 bits a byte (19200 is usual; 0 off; at most " +
                       std::to_string(kMaxLineRate) + ")");
    app.add_option("--time-scale", o.TimeScale,
                   "multiply cardholder delays and PIN-pad timeouts (recorded delays with --replay) by this")
        ->check(Between(kMinTimeScale, kMaxTimeScale))
        ->capture_default_str();
    app.add_flag("--quiet", o.Quiet, "no frame trace on standard error");
    CLI11_PARSE(app, argc, argv);
    uint32_t seed = 0;
    unsigned baud = 0;
    try {
        seed = static_cast<uint32_t>(
            vexo::ParseInteger(o.Seed, "--seed", 0, std::numeric_limits<uint32_t>::max()));
        baud = static_cast<unsigned>(vexo::ParseInteger(o.Baud, "--baud", 0, kMaxLineRate));
    } catch (const std::exception& e) {
        std::cerr << "kestrel-sim: " << e.what() << "\n";
        return 2;
    }
    if (!o.Link.empty() && !o.Pty) {
        std::cerr << "kestrel-sim: --link goes with --pty\n";
        return 2;
    }
    if (o.Strict && o.Replay.empty()) {
        std::cerr << "kestrel-sim: --strict goes with --replay\n";
        return 2;
    }
    if (!o.Replay.empty() &&
        (!o.ScenarioFile.empty() || !o.Script.empty() || !o.Faults.empty() || !o.Breaks.empty() ||
         o.RandomFaults > 0 || app.count("--profile") > 0 || !o.Settings.empty() || baud > 0)) {
        std::cerr
            << "kestrel-sim: --replay answers as recorded, at the recorded pace; it takes no --profile, "
               "--set, --scenario, --script, --fault, --random-faults, --break or --baud\n";
        return 2;
    }

    // Signals arrive on a descriptor so that the main loop waits on stdin and signals together and
    // leaves through the normal path, which removes the link.
    const int signals = vexo::BlockStopSignals();
    try {
        if (!o.Replay.empty()) {
            RunReplay(o, signals);
            return 0;
        }
        Profile profile = Profile::Load(o.ProfileName);
        for (const auto& setting : o.Settings) {
            const auto eq = setting.find('=');
            if (eq == std::string::npos) throw std::runtime_error("--set takes KEY=VALUE, not " + setting);
            profile.Set(setting.substr(0, eq), setting.substr(eq + 1));
        }
        for (const auto& rule : o.Breaks)
            profile.Set("break_" + rule, "yes");
        SimulatorRunner runner(profile);
        runner.SetTimeScale(o.TimeScale);
        runner.SetBaudRate(baud);
        for (const auto& fault : o.Faults)
            runner.AddFault(fault);
        if (o.RandomFaults > 0) runner.SetRandomFaults(o.RandomFaults, seed);
        if (!o.Script.empty()) runner.LoadScript(ReadFile(o.Script));
        if (!o.ScenarioFile.empty()) runner.SetScenario(Scenario::Load(o.ScenarioFile));
        if (!o.Quiet)
            runner.SetTrace(
                [](const std::string& ALine) { std::cerr << vexo::LogTimeStamp() << " " << ALine << "\n"; });
        std::string address;
        if (o.Pty) {
            address = runner.StartPty(o.Link);
        } else {
            const auto [host, port] = HostPort(o.Tcp);
            address = vexo::FormatHostPort(host, runner.StartTcp(host, port));
        }
        std::cout << address << std::endl;
        if (!o.Link.empty()) std::cerr << "kestrel-sim: " << o.Link << " -> " << address << "\n";
        if (!o.Pty) std::cerr << "kestrel-sim: Kestrel's port name for it is TCP:" << address << "\n";
        std::cerr << "kestrel-sim: profile " << runner.GetProfile().Name
                  << (runner.GetProfile().Breaks.Any() ? ", breaking rules on purpose" : "")
                  << "; type \"help\" for control lines\n";
        ControlLoop(runner, signals);
        runner.Stop();
    } catch (const std::exception& e) {
        std::cerr << "kestrel-sim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
