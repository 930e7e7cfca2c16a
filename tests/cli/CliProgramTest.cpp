// The program as a whole: its help, bad arguments that send nothing, a port that will not open,
// Ctrl-C during a blocking command, the log file, and the simulator program over both transports.
#include "CliTestSupport.h"

namespace kestrel::cli::test {
namespace {

TEST(CliProgram, HelpNamesEveryCommandOptionAndExitStatus) {
    const Finished help = RunCli({"--help"});
    EXPECT_EQ(help.Status, 0);
    for (const char* word :
         {"opn",          "clo",          "clx",           "gin",       "gix",     "caps",
          "dsp",          "dex",          "rmc",           "gky",       "gcd",     "mnu",
          "cex",          "lmf",          "dsi",           "dmf",       "upload",  "qr",
          "ports",        "detect",       "session",       "check",     "--port",  "--params",
          "--timeout",    "--log-level",  "--log-file",    "--json",    "--quiet", "--no-mask",
          "--min",        "--max",        "--wait",        "--title",   "--key",   "--mag",
          "--insert",     "--remove",     "--ctls",        "--panmask", "--name",  "--show",
          "--keep-going", "--junit",      "--interactive", "--sim",     "--only",  "--list",
          "Exit status:", "Environment:", "KESTREL_PORT",  "Examples:", "130"})
        EXPECT_NE(help.Out.find(word), std::string::npos) << word;
    const Finished sub = RunCli({"gcd", "--help"});
    EXPECT_EQ(sub.Status, 0);
    EXPECT_NE(sub.Out.find("--min"), std::string::npos);
    EXPECT_EQ(sub.Out.find("upload"), std::string::npos) << "a subcommand's help is its own";
    EXPECT_EQ(RunCli({"--version"}).Out, "kestrel-cli 0.1\n");
}

TEST(CliProgram, Help2manMakesAManualPageOfTheHelp) {
    if (RunProgram("sh", {"-c", "command -v help2man"}).Status != 0)
        GTEST_SKIP() << "help2man is not installed";
    const Finished page = RunProgram("help2man", {"--no-info", "--no-discard-stderr", KESTREL_CLI_PROGRAM});
    ASSERT_EQ(page.Status, 0) << page.Err;
    for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS",
                                ".SS \"Exit status:\"", ".SH ENVIRONMENT", ".SH EXAMPLES"})
        EXPECT_NE(page.Out.find(section), std::string::npos) << section;
}

class CliArguments : public SimulatorFixture {};

TEST_P(CliArguments, BadArgumentsAreRefusedBeforeAnythingIsSent) {
    const std::string script = TempPath("bad-session.txt");
    WriteFile(script, "opn\ndsp 'FINE'\ngcd msgNoSuchPrompt\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"gin", "300"},
             {"gin"},
             {"cex"},
             {"cex", "--key", "--panmask", "60"},
             {"cex", "--insert", "--remove"},
             {"gcd", "msgNoSuchPrompt"},
             {"gcd", "7", "--min", "9", "--max", "3"},
             {"mnu", "ONE", std::string(25, 'X')},
             {"mnu", "ONE", ""},
             {"dsi", "..."},
             {"dmf"},
             {"dsp", "A", "B", "C"},
             {"gix", "PP_NOSUCH"},
             {"upload", TempPath("no-such-file.png"), "--name", "waytoolongname"},
             {"qr", "TEXT", "--name", "QR-CODE"},
             {"dsp", "--strict", "THIS LINE IS WAY TOO LONG FOR 16 CHARS"},
             {"qr", ""},
             {"--params", "BAUD=40", "opn"},
             {"--timeout", "0", "opn"},
             {"--log-file", "/proc/no-such-dir/log.txt", "opn"},
             {"--json", "--quiet", "opn"},
             {"nosuchcommand"},
             {},
             {"session", script},
             {"session", TempPath("no-such-script.txt")},
             {"check", "--only", "no-such-check"},
             {"check", "--sim", TempPath("no-such-profile")},
             {"check", "--interactive", "--sim", "graphic"},
             {"--params", "BAUD=40", "check"},
             {"check", "--junit", "/proc/no-such-dir/report.xml"},
         }) {
        const Finished run = Cli(args);
        std::string shown;
        for (const auto& a : args)
            shown += " [" + a + "]";
        EXPECT_EQ(run.Status, 2) << shown << "\n" << run.Out << run.Err;
        EXPECT_FALSE(run.Err.empty()) << shown;
        EXPECT_EQ(run.Err.find("terminate called"), std::string::npos) << shown;
    }
    EXPECT_EQ(Received(), 0) << "the simulator saw host traffic" << TraceText();
}

// A command that does not exist is named, on the command line and in a session; a file that cannot
// be uploaded, missing or not a picture, has the one status the help and the manual give it.
TEST_P(CliArguments, UnknownCommandsAreNamedAndUnusableFilesFailAlike) {
    const Finished unknown = Cli({"frobnicate"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_NE(unknown.Err.find("kestrel-cli: unknown command 'frobnicate'"), std::string::npos)
        << unknown.Err;
    const std::string script = TempPath("bogus-session.txt");
    WriteFile(script, "opn\nbogus line\n");
    const Finished session = Cli({"session", script});
    EXPECT_EQ(session.Status, 2);
    EXPECT_NE(session.Err.find("session line 2: unknown command 'bogus'"), std::string::npos) << session.Err;

    const std::string notPicture = TempPath("not-a-picture.png");
    WriteFile(notPicture, "just text");
    const Finished missing = Cli({"upload", TempPath("no-such-file.png")});
    const Finished text = Cli({"upload", notPicture});
    EXPECT_EQ(missing.Status, 1) << missing.Err;
    EXPECT_EQ(text.Status, 1) << text.Err;
    EXPECT_NE(Cli({"--help"})
                  .Out.find("1        any other failure (an unreadable file, a picture that cannot be "
                            "made)"),
              std::string::npos);
    EXPECT_EQ(Received(), 0) << "the simulator saw host traffic" << TraceText();
}

INSTANTIATE_TEST_SUITE_P(Transports, CliArguments, ::testing::Values(Transport::Pty, Transport::Tcp),
                         TransportName);

TEST(CliProgram, APortThatDoesNotOpenHasItsOwnStatus) {
    const Finished missing = RunCli({"--port", "/dev/ttyKESTRELNOSUCH7", "--json", "opn"});
    EXPECT_EQ(missing.Status, 3) << missing.Out << missing.Err;
    EXPECT_EQ(JsonGet(missing.Out, "d['outcome'], d['exit_code']"), "port-not-open 3");
    EXPECT_NE(JsonGet(missing.Out, "d['error']").find("/dev/ttyKESTRELNOSUCH7"), std::string::npos);
    // Nobody listens on a port of our own that we just closed.
    const Finished refused = RunCli({"--port", "TCP:127.0.0.1:1", "opn"});
    EXPECT_EQ(refused.Status, 3) << refused.Err;
    EXPECT_NE(refused.Err.find("cannot open TCP:127.0.0.1:1"), std::string::npos) << refused.Err;
    // The default port is the simulator's demo link, or KESTREL_PORT. A link that is not there is
    // no file to write frames into.
    const std::string runtime = TempPath("no-runtime");
    std::filesystem::create_directories(runtime);
    const Finished byDefault = RunCli({"opn"}, {{"XDG_RUNTIME_DIR", runtime}}, {}, 30s);
    EXPECT_EQ(byDefault.Status, 3);
    EXPECT_NE(byDefault.Err.find(runtime + "/kestrel-pinpad"), std::string::npos) << byDefault.Err;
    EXPECT_NE(byDefault.Err.find("kestrel-sim --pty --link"), std::string::npos) << byDefault.Err;
    EXPECT_FALSE(std::filesystem::exists(runtime + "/kestrel-pinpad"));
    const Finished byEnvironment = RunCli({"opn"}, {{"KESTREL_PORT", "TCP:127.0.0.1:1"}});
    EXPECT_NE(byEnvironment.Err.find("TCP:127.0.0.1:1"), std::string::npos) << byEnvironment.Err;
}

class CliInterrupt : public SimulatorFixture {};

TEST_P(CliInterrupt, CtrlCCancelsTheWaitingCommandWithCanAndEot) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    int aborts = 0;
    for (const char* command : {"gky", "gcd", "mnu", "cex"}) {
        std::vector<std::string> args{"--port", Port(), "--json", command};
        if (std::string(command) == "gcd") args.push_back("7");
        if (std::string(command) == "mnu") args.insert(args.end(), {"ONE", "TWO"});
        if (std::string(command) == "cex") args.push_back("--key");
        Child child(KESTREL_CLI_PROGRAM, args);
        std::string waiting = command;
        for (char& c : waiting)
            c = static_cast<char>(c - 'a' + 'A');
        ASSERT_TRUE(WaitingFor(waiting)) << command;
        child.Signal(SIGINT);
        const Finished run = child.Finish(15s);
        EXPECT_EQ(run.Status, 130) << command << run.Out << run.Err;
        EXPECT_EQ(JsonGet(run.Out, "d['outcome'], d['error']"), "cancelled Cancelled by User") << command;
        EXPECT_EQ(Sim().WaitingFor(), "") << command;
        ++aborts;
        EXPECT_EQ(Traced("<- CAN"), aborts) << command;
        EXPECT_EQ(Traced("-> EOT"), aborts) << command;
    }
    // The link serves the next command at once.
    EXPECT_EQ(Cli({"gix", "PP_SERNUM"}).Status, 0);
}

TEST_P(CliInterrupt, CtrlCWhenThePinPadNeverConfirmsStillEnds) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    Sim().AddFault("noeot@GKY");
    Child child(KESTREL_CLI_PROGRAM, {"--port", Port(), "gky"});
    ASSERT_TRUE(WaitingFor("GKY"));
    child.Signal(SIGINT);
    const Finished run = child.Finish(20s); // three CAN tries of 2 s each
    EXPECT_EQ(run.Status, 130) << run.Err;
    EXPECT_NE(run.Err.find("Error waiting for CAN response"), std::string::npos) << run.Err;
}

INSTANTIATE_TEST_SUITE_P(Transports, CliInterrupt, ::testing::Values(Transport::Pty, Transport::Tcp),
                         TransportName);

class CliLog : public SimulatorFixture {};

TEST_P(CliLog, TheLogFileHidesCardDataUnlessAskedNotTo) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const std::string masked = TempPath("masked.log"), clear = TempPath("clear.log");
    std::filesystem::remove(masked);
    std::filesystem::remove(clear);
    Sim().SwipeCard();
    ASSERT_EQ(Cli({"--log-file", masked, "--log-level", "5", "cex", "--mag", "--panmask", "1604"}).Status, 0);
    Sim().SwipeCard();
    ASSERT_EQ(Cli({"--log-file", clear, "--log-level", "5", "--no-mask", "cex", "--mag", "--panmask", "1604"})
                  .Status,
              0);
    const std::string maskedLog = ReadFile(masked), clearLog = ReadFile(clear);
    EXPECT_NE(maskedLog.find("ExecCommand: CEX"), std::string::npos) << maskedLog;
    EXPECT_NE(maskedLog.find("\r\n"), std::string::npos) << "lines end as the component's own log file";
    EXPECT_EQ(maskedLog.find("4761739001010010"), std::string::npos) << maskedLog;
    EXPECT_EQ(maskedLog.find("KESTREL/TEST CARD"), std::string::npos) << maskedLog;
    EXPECT_NE(clearLog.find("4761739001010010"), std::string::npos);
    EXPECT_NE(clearLog.find("KESTREL/TEST CARD"), std::string::npos);
    // "-" is standard error; the progress bar never goes where no terminal is.
    const std::string picture = TempPath("log.png");
    WriteFile(picture, ReadFile(KESTREL_SOURCE_DIR "/docs/kestrel-window.png"));
    const Finished upload = Cli({"--log-file", "-", "--log-level", "1", "upload", picture});
    EXPECT_EQ(upload.Status, 0) << upload.Err;
    EXPECT_NE(upload.Err.find("ExecCommand: MLR"), std::string::npos) << upload.Err;
    EXPECT_EQ(upload.Err.find('\r'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Pty, CliLog, ::testing::Values(Transport::Pty), TransportName);

// The simulator program itself, as a user starts it.
TEST(CliProgram, TalksToTheKestrelSimProgramOverAPtyLinkAndTcp) {
    const std::string link = TempPath("sim-link");
    std::filesystem::remove(link);
    {
        Child sim(KESTREL_SIM_PROGRAM, {"--pty", "--link", link, "--quiet"});
        for (int i = 0; i < 500 && !std::filesystem::exists(link); ++i)
            std::this_thread::sleep_for(10ms);
        const Finished opn = RunCli({"--json", "opn"}, {{"KESTREL_PORT", link}});
        EXPECT_EQ(opn.Status, 0) << opn.Err;
        EXPECT_EQ(JsonGet(opn.Out, "d['response'], d['return_code']"), "OPN 0");
        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.Finish(10s).Status, 0);
    }
    Child sim(KESTREL_SIM_PROGRAM, {"--tcp", "127.0.0.1:0", "--quiet"});
    const std::string address = sim.ReadLine(); // the first line says where it listens
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << address;
    const Finished gix = RunCli({"--port", "TCP:" + address, "-q", "gix", "PP_MNNAME"});
    EXPECT_EQ(gix.Status, 0) << gix.Err;
    EXPECT_EQ(gix.Out, "KESTREL\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Finish(10s).Status, 0);
}

} // namespace
} // namespace kestrel::cli::test
