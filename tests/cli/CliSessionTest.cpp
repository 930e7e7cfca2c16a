// Session scripts: one port for every line, the first failure's status, and a script that is
// refused whole, before anything is sent, when one line is wrong.
#include "CliTestSupport.h"

namespace kestrel::cli::test {
namespace {

class CliSession : public SimulatorFixture {};

const char* const kScript = "# a short payment\n"
                            "opn\n"
                            "dsp 'KESTREL' \"SESSION\"\n"
                            "gky\n"
                            "dsi NOTHERE   # fails: no such media file\n"
                            "gix PP_MNNAME\n";

TEST_P(CliSession, LinesRunInOrderAndStopAtTheFirstFailure) {
    const std::string script = TempPath("session.txt");
    WriteFile(script, kScript);
    Sim().PressKey(5);
    const Finished run = Cli({"--json", "session", script});
    EXPECT_EQ(run.Status, 110) << run.Err;
    ASSERT_EQ(JsonLines(run.Out), 4) << run.Out;
    const std::string lines =
        Python("import json,sys\n"
               "for l in sys.stdin.read().split('\\n'):\n"
               "  if l: d=json.loads(l); print(d['line'], d['command'], d['exit_code'])",
               run.Out);
    EXPECT_EQ(lines, "2 opn 0\n3 dsp 0\n4 gky 0\n5 dsi 110");
    EXPECT_EQ(Sim().Display().Lines[1], "    SESSION     ");
}

TEST_P(CliSession, KeepGoingRunsEveryLineAndKeepsTheFirstFailure) {
    Sim().PressKey(0);
    // The script on standard input; text output names the failing line.
    const Finished run = Cli({"session", "-", "--keep-going"}, {}, kScript);
    EXPECT_EQ(run.Status, 110);
    EXPECT_NE(run.Out.find("PP_MNNAME = \"KESTREL\""), std::string::npos) << run.Out;
    EXPECT_NE(run.Err.find("kestrel-cli: line 5: dsi: Error: 100"), std::string::npos) << run.Err;
}

TEST_P(CliSession, AWrongLineRefusesTheWholeScriptUnsent) {
    const std::string script = TempPath("bad.txt");
    for (const char* text : {"opn\ndsp 'FINE'\ngin 999\n", "opn\nnosuch\n", "opn\ndsp 'unclosed\n",
                             "opn\nsession other.txt\n", "opn\ncheck\n", "opn\n--port /dev/null opn\n"}) {
        WriteFile(script, text);
        const Finished run = Cli({"session", script});
        EXPECT_EQ(run.Status, 2) << text << run.Err;
        EXPECT_NE(run.Err.find("line "), std::string::npos) << text << run.Err;
    }
    EXPECT_EQ(Received(), 0) << TraceText();
    // Ports and comments alone need no PIN pad at all.
    WriteFile(script, "# nothing to send\nports\n");
    // The serial probe must never reach the machine's own /dev/ttyS* (the console).
    EXPECT_EQ(Cli({"session", script}, {{"KESTREL_SERIAL_PORTS", TempPath("no-such-tty")}}).Status, 0);
    EXPECT_EQ(Received(), 0) << TraceText();
}

INSTANTIATE_TEST_SUITE_P(Transports, CliSession, ::testing::Values(Transport::Pty, Transport::Tcp),
                         TransportName);

} // namespace
} // namespace kestrel::cli::test
