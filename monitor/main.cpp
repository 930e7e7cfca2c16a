// kestrel-monitor: a transparent relay between a POS application and a PIN pad that decodes and
// records both directions.
#include "monitor/Ends.h"
#include "monitor/Outputs.h"
#include "monitor/RawRecording.h"
#include "monitor/RecordingFile.h"
#include "monitor/Relay.h"
#include "monitor/Session.h"
#include "sim/Scenario.h"
#include "sim/ScenarioWriter.h"
#include "util/Signals.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <unistd.h>

using namespace kestrel::monitor;

namespace {

struct Options {
    std::string HostPty, HostSerial, HostListen, HostConnect, HostParams;
    std::string Device, DevicePty, DeviceListen, DeviceConnect, Params;
    std::string Jsonl, Raw, Replay, ToScenario;
    bool NoMask = false, Quiet = false, Bytes = false;
    int ResponseTimeout = 10000;
};

const char* kDescription =
    "kestrel-monitor: watch, decode and record what a POS application says to a PIN pad.\n\n"
    "A transparent relay between two ends, the POS application's (host) and the PIN pad's. Every\n"
    "byte passes unchanged, in order, both ways, as soon as it arrives; then both directions are\n"
    "decoded as the ABECS link: frames (CRC checked), ACK, NAK, CAN, EOT and stray bytes, every\n"
    "command with its blocks and SPE_/PP_ items, every response with its return code and how long\n"
    "the PIN pad took, resends, aborts and silences. Card data (tracks, card numbers, cardholder\n"
    "names, card-number-like digit runs) is masked in every output, keeping the first 6 and last 4\n"
    "digits, unless --no-mask is given.";

const char* kFooter =
    "\nEnds:\n"
    "  Give one host end and one PIN-pad end. A pseudo-terminal end creates the terminal and a\n"
    "  symbolic link to it; the program on that side opens the link, and may close and open it\n"
    "  again at any speed: the terminal stays the same for the whole session, and what the program\n"
    "  wrote before it closed is still relayed. A serial end is opened by the device layer with its\n"
    "  parameter string, e.g. \"BAUD=19200 DATA=8 PARITY=N STOP=1\" (keys BAUD, DATA, PARITY, STOP,\n"
    "  HANDSHAKE, HARDFLOW, SOFTFLOW; 9600 8N1 when empty). A TCP end listens for one connection at\n"
    "  a time (a second one is told so and closed; one that comes as the first leaves is taken) or\n"
    "  connects. An end that goes away is waited for (serial ports are opened again every second);\n"
    "  bytes for it meanwhile are not delivered, and a note says so.\n"
    "\nTrace and JSON Lines:\n"
    "  Standard output: the live trace, one event per line (time stamp \"dd/mm hh:nn:ss:zzz\", -> for\n"
    "  the host's bytes, <- for the PIN pad's, !! for aborts and timeouts, == for the relay's own\n"
    "  notes), the blocks and items of each message indented below it; a summary when it stops\n"
    "  (commands by name, errors by return code, retries, slowest command, bytes each way as they\n"
    "  crossed the line, and what the recording holds when masking changed a frame's length).\n"
    "  --jsonl: one JSON object per line: every event (\"event\": command, response, bad-frame, ACK,\n"
    "  NAK, CAN, EOT, stray, aborted, timeout), every note (\"relay\") and the summary (\"summary\").\n"
    "  Every output is written behind the relay: a reader that falls behind (a paused pager, a full\n"
    "  pipe) costs lines of that output, never bytes on the line. The output says \"N events not\n"
    "  shown: the reader fell behind\" where they were left out, and its summary and standard error\n"
    "  say how many.\n"
    "\nRaw recording (--raw):\n"
    "  A text file. Line 1: \"kestrel-monitor raw 1\"; line 2: \"masked yes\" or \"masked no\"; line 3:\n"
    "  \"response-timeout MS\", the --response-timeout of the session. Then one record a line: the\n"
    "  time in seconds since 1970-01-01 UTC with six decimals, then\n"
    "  \"-> HEX\" (bytes from the host, as one read got them), \"<- HEX\" (bytes from the PIN pad),\n"
    "  \"== TEXT\" (a note of the relay) or \"end\". Lines starting with # are comments. When card data\n"
    "  is masked, it is masked in the bytes themselves: each frame holding card data is rebuilt\n"
    "  with the digits masked and its CRC recomputed (as wrong as before, if it was damaged), so the\n"
    "  recording decodes exactly as the live session did; a comment \"# wire-bytes N M\" before the\n"
    "  end keeps the bytes to the PIN pad and to the host as they crossed the line. --replay FILE\n"
    "  decodes a recording again and gives the same trace, JSON and summary as the live session.\n"
    "  The recording keeps every byte; if the disk fails (or falls 64 MB behind the line), it stops\n"
    "  there, saying so in the file and on standard error, and the relay goes on.\n"
    "\nExamples:\n"
    "  kestrel-monitor --host-pty /tmp/pinpad --device /dev/ttyACM0 --params \"BAUD=19200\"\n\n"
    "  kestrel-monitor --host-listen 4000 --device-connect 192.168.0.50:4000 --raw session.raw\n\n"
    "  kestrel-monitor --replay session.raw --jsonl session.jsonl\n"
    "\nSignals and exit status:\n"
    "  SIGINT, SIGTERM and SIGHUP stop the relay: the summary is written and the link removed.\n"
    "  Exit status 0 when all went well, 1 when an end could not start, a recording could not be\n"
    "  read or an output could not be written, 2 for a bad command line.";

// The one end the options name on one side.
std::optional<EndOptions> EndOf(const std::string& APty, const std::string& ASerial,
                                const std::string& AListen, const std::string& AConnect,
                                const std::string& AParams, int& ACount) {
    std::optional<EndOptions> end;
    const auto take = [&](const std::string& ATarget, EndOptions::Kind AKind) {
        if (ATarget.empty()) return;
        ++ACount;
        end = EndOptions{AKind, ATarget, AParams};
    };
    take(APty, EndOptions::Kind::Pty);
    take(ASerial, EndOptions::Kind::Serial);
    take(AListen, EndOptions::Kind::Listen);
    take(AConnect, EndOptions::Kind::Connect);
    return end;
}

struct Outputs {
    std::unique_ptr<TraceTextOutput> Trace;
    std::unique_ptr<JsonLinesOutput> Json;
    std::unique_ptr<RawOutput> Raw;
    bool Failed = false;

    std::vector<SessionOutput*> List() const {
        std::vector<SessionOutput*> list{Trace.get()};
        if (Json) list.push_back(Json.get());
        if (Raw) list.push_back(Raw.get());
        return list;
    }
};

Outputs MakeOutputs(const Options& AOptions, bool ARawMasked, int AResponseTimeout) {
    Outputs outputs;
    outputs.Trace = std::make_unique<TraceTextOutput>(STDOUT_FILENO, !AOptions.Quiet, AOptions.Bytes);
    if (!AOptions.Jsonl.empty()) outputs.Json = std::make_unique<JsonLinesOutput>(AOptions.Jsonl);
    if (!AOptions.Raw.empty())
        outputs.Raw = std::make_unique<RawOutput>(AOptions.Raw, ARawMasked, AResponseTimeout);
    return outputs;
}

// What the outputs left out is said where the user looks when the trace is behind: on stderr.
void ReportNotShown(const Outputs& AOutputs, const Options& AOptions) {
    if (AOutputs.Trace && AOutputs.Trace->NotShown() > 0)
        std::cerr << "kestrel-monitor: the trace on standard output: "
                  << NotShownText(AOutputs.Trace->NotShown()) << "\n";
    if (AOutputs.Json && AOutputs.Json->NotShown() > 0)
        std::cerr << "kestrel-monitor: " << AOptions.Jsonl << ": " << NotShownText(AOutputs.Json->NotShown())
                  << "\n";
}

void ReportOutputErrors(Session& ASession, Outputs& AOutputs) {
    ASession.SetOnOutputError([&AOutputs](const std::string& AError) {
        std::cerr << "kestrel-monitor: " << AError << "\n";
        AOutputs.Failed = true;
    });
}

int Replay(const Options& AOptions, bool ATimeoutGiven) {
    std::ifstream in(AOptions.Replay, std::ios::binary);
    if (!in) {
        std::cerr << "kestrel-monitor: cannot read " << AOptions.Replay << "\n";
        return 1;
    }
    try {
        RawReader reader(in);
        if (reader.Masked() && AOptions.NoMask)
            std::cerr << "kestrel-monitor: " << AOptions.Replay
                      << " was recorded with card data masked; it cannot be shown in clear\n";
        const bool mask = !reader.Masked() && !AOptions.NoMask;
        // The live session's timeout, so that its silences are reported again, unless asked otherwise.
        const int timeout = ATimeoutGiven ? AOptions.ResponseTimeout
                                          : reader.ResponseTimeout().value_or(AOptions.ResponseTimeout);
        Outputs outputs = MakeOutputs(AOptions, reader.Masked() || mask, timeout);
        SessionOptions options;
        options.Mask = mask;
        options.Tracker.ResponseTimeout = kestrel::trace::Millis(timeout);
        Session session(options, outputs.List());
        ReportOutputErrors(session, outputs);
        RelayItem item;
        TraceClock::time_point last{};
        int status = 0;
        try {
            while (!session.Ended() && reader.Next(item)) {
                last = item.At;
                session.Take(std::move(item));
            }
        } catch (const ERawFormat& e) {
            std::cerr << "kestrel-monitor: " << AOptions.Replay << ": " << e.what() << "\n";
            status = 1;
        }
        if (!session.Ended()) session.Take(RelayItem::Ending(last));
        ReportNotShown(outputs, AOptions);
        return outputs.Failed ? 1 : status;
    } catch (const std::exception& e) {
        std::cerr << "kestrel-monitor: " << AOptions.Replay << ": " << e.what() << "\n";
        return 1;
    }
}

int Live(const Options& AOptions, const EndOptions& AHost, const EndOptions& APinPad) {
    const int signals = vexo::BlockStopSignals();
    try {
        std::unique_ptr<End> host = MakeEnd(AHost, "the POS application");
        std::unique_ptr<End> pinpad = MakeEnd(APinPad, "the PIN pad");
        Outputs outputs = MakeOutputs(AOptions, !AOptions.NoMask, AOptions.ResponseTimeout);
        SessionOptions options;
        options.Mask = !AOptions.NoMask;
        options.Tracker.ResponseTimeout = kestrel::trace::Millis(AOptions.ResponseTimeout);
        Session session(options, outputs.List());
        ReportOutputErrors(session, outputs);
        Relay relay(*host, *pinpad, session);
        relay.Start();
        std::cerr << "kestrel-monitor: relaying " << host->Describe() << " and " << pinpad->Describe()
                  << (AOptions.NoMask ? " (card data NOT masked)" : "") << "; Ctrl-C stops\n";
        relay.Run(signals);
        ReportNotShown(outputs, AOptions);
        return outputs.Failed ? 1 : 0;
    } catch (const std::exception& e) {
        std::cerr << "kestrel-monitor: " << e.what() << "\n";
        return 1;
    }
}

// The scenario is read back before it is printed: a file the simulator would refuse is a fault of
// this program, not something to hand the user.
int ToScenario(const Options& AOptions) {
    try {
        const auto recording = LoadRecording(AOptions.ToScenario);
        const auto commands =
            kestrel::sim::RecordedCommands(kestrel::sim::BuildReplayScript(recording.Items));
        if (commands.empty()) throw std::runtime_error(AOptions.ToScenario + " holds no command");
        const std::string text = kestrel::sim::ScenarioFromRecording(commands, AOptions.ToScenario,
                                                                     recording.MaskKnown && recording.Masked);
        kestrel::sim::Scenario::Parse(text, "the written scenario");
        std::cout << text << std::flush;
        std::cerr << "kestrel-monitor: " << commands.size() << " commands written as a scenario\n";
        return std::cout ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "kestrel-monitor: " << e.what() << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    // A trace piped into a program that quits must not stop the relay: the write fails and is told.
    std::signal(SIGPIPE, SIG_IGN);
    Options o;
    CLI::App app{kDescription, "kestrel-monitor"};
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("kestrel-monitor ") + KESTREL_VERSION);
    app.get_formatter()->column_width(34);

    app.add_option("--host-pty", o.HostPty,
                   "host end: create a pseudo-terminal, with a symbolic link at LINK")
        ->option_text("LINK")
        ->group("Host end (the POS application)");
    app.add_option("--host-serial", o.HostSerial, "host end: a serial port (the POS application's cable)")
        ->option_text("PATH")
        ->group("Host end (the POS application)");
    app.add_option("--host-listen", o.HostListen, "host end: TCP, wait for the POS application to connect")
        ->option_text("[HOST:]PORT")
        ->group("Host end (the POS application)");
    app.add_option("--host-connect", o.HostConnect, "host end: TCP, connect to the POS application")
        ->option_text("HOST:PORT")
        ->group("Host end (the POS application)");
    app.add_option("--host-params", o.HostParams, "serial parameters of --host-serial")
        ->option_text("STRING")
        ->group("Host end (the POS application)");

    app.add_option("--device", o.Device, "PIN-pad end: the PIN pad's serial port, e.g. /dev/ttyACM0")
        ->option_text("PATH")
        ->group("PIN-pad end");
    app.add_option("--device-pty", o.DevicePty, "PIN-pad end: create a pseudo-terminal, link at LINK")
        ->option_text("LINK")
        ->group("PIN-pad end");
    app.add_option("--device-listen", o.DeviceListen, "PIN-pad end: TCP, wait for the PIN pad to connect")
        ->option_text("[HOST:]PORT")
        ->group("PIN-pad end");
    app.add_option("--device-connect", o.DeviceConnect, "PIN-pad end: TCP, connect to the PIN pad")
        ->option_text("HOST:PORT")
        ->group("PIN-pad end");
    app.add_option("--params", o.Params,
                   "serial parameters of --device, e.g. \"BAUD=19200 DATA=8 PARITY=N STOP=1\"")
        ->option_text("STRING")
        ->group("PIN-pad end");

    app.add_option("--jsonl", o.Jsonl, "write every event as one JSON object per line to FILE")
        ->option_text("FILE")
        ->group("Output");
    app.add_option("--raw", o.Raw, "record the bytes both ways, with their times, to FILE (see below)")
        ->option_text("FILE")
        ->group("Output");
    app.add_flag("--no-mask", o.NoMask, "show and record card data in clear (lab cards only)")
        ->group("Output");
    app.add_flag("-q,--quiet", o.Quiet, "no live trace on standard output, only the summary")
        ->group("Output");
    app.add_flag("--bytes", o.Bytes, "show the bytes of every event in hexadecimal under it")
        ->group("Output");
    app.add_option("--response-timeout", o.ResponseTimeout,
                   "report a command that does not wait for the cardholder as unanswered after MS (10000; a "
                   "replay takes the recording's)")
        ->option_text("MS")
        ->check(CLI::Range(1, 3600000))
        ->capture_default_str()
        ->group("Output");
    app.add_option("--replay", o.Replay, "decode a recording made with --raw again, instead of relaying")
        ->option_text("FILE")
        ->group("Replay");
    app.add_option("--to-scenario", o.ToScenario,
                   "write a kestrel-sim scenario file (YAML, on standard output) that answers as the "
                   "PIN pad of this recording (raw or JSON Lines) did")
        ->option_text("FILE")
        ->group("Replay");
    CLI11_PARSE(app, argc, argv);

    int hosts = 0, pinpads = 0;
    const auto host = EndOf(o.HostPty, o.HostSerial, o.HostListen, o.HostConnect, o.HostParams, hosts);
    const auto pinpad = EndOf(o.DevicePty, o.Device, o.DeviceListen, o.DeviceConnect, o.Params, pinpads);
    if (!o.ToScenario.empty()) {
        if (hosts + pinpads > 0 || !o.Replay.empty()) {
            std::cerr << "kestrel-monitor: --to-scenario takes no ends and no --replay\n";
            return 2;
        }
        return ToScenario(o);
    }
    if (!o.Replay.empty()) {
        if (hosts + pinpads > 0) {
            std::cerr << "kestrel-monitor: --replay takes no ends\n";
            return 2;
        }
        return Replay(o, app.count("--response-timeout") > 0);
    }
    if (hosts != 1 || pinpads != 1) {
        std::cerr << "kestrel-monitor: give one host end (--host-pty, --host-serial, --host-listen or "
                     "--host-connect) and one PIN-pad end (--device, --device-pty, --device-listen or "
                     "--device-connect); --help tells more\n";
        return 2;
    }
    if (!o.HostParams.empty() && host->What != EndOptions::Kind::Serial) {
        std::cerr << "kestrel-monitor: --host-params goes with --host-serial\n";
        return 2;
    }
    if (!o.Params.empty() && pinpad->What != EndOptions::Kind::Serial) {
        std::cerr << "kestrel-monitor: --params goes with --device\n";
        return 2;
    }
    return Live(o, *host, *pinpad);
}
