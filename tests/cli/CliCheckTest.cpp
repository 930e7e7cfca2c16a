// kestrel-cli check: the simulator passes every check, JUnit XML that parses, and checks that send
// nothing when only listed.
#include "CliTestSupport.h"

namespace kestrel::cli::test {
namespace {

// Results of a JSON check run as "id result" lines, for the checks whose result is not APass.
std::string NotPassing(const std::string& AJson) {
    return JsonGet(AJson,
                   "' '.join(c['id'] + ':' + c['result'] for c in d['checks'] if c['result'] != 'pass')");
}

TEST(CliCheck, TheSimulatorInThisProgramPassesEveryCheckWithItsCardholder) {
    const std::string junit = TempPath("check.xml");
    const Finished run =
        RunCli({"check", "--sim", "graphic", "--junit", junit, "--verbose", "--settle", "300"}, {}, {}, 300s);
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_NE(run.Out.find("30 checks: 30 passed, 0 failed, 0 skipped"), std::string::npos) << run.Out;
    // The table says, for each check, what went out, what was expected by which rule, what came.
    for (const char* word :
         {"rule:", "expected:", "link:", "-> frame GKY", "<- EOT", "-> CAN (the host aborts GKY)"})
        EXPECT_NE(run.Out.find(word), std::string::npos) << word;
    const std::string xml = ReadFile(junit);
    EXPECT_EQ(Python("import sys, xml.etree.ElementTree as ET\n"
                     "root = ET.fromstring(sys.stdin.buffer.read())\n"
                     "cases = root.findall('.//testcase')\n"
                     "print(root.tag, len(cases), root.get('failures'), root.get('skipped'),"
                     " sum(1 for c in cases if c.find('system-out') is not None))",
                     xml),
              "testsuites 30 0 0 30");
}

class CliCheckPort : public SimulatorFixture {};

TEST_P(CliCheckPort, APinPadOnThePortPassesAndCardholderChecksAreSkipped) {
    const Finished run = Cli({"--json", "check", "--settle", "300"}, {}, {});
    EXPECT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(JsonLines(run.Out), 1);
    EXPECT_EQ(NotPassing(run.Out),
              "gky-key:skip gcd-digits:skip mnu-choice:skip cex-key:skip gcd-cancel-key:skip");
    EXPECT_EQ(JsonGet(run.Out, "d['command'], d['passed'], d['failed']"), "check 25 0");
    EXPECT_NE(JsonGet(run.Out, "d['checks'][-1]['diagnosis']").find("--interactive"), std::string::npos);
    EXPECT_TRUE(Sim().MediaNames().empty()) << "the media checks leave no file behind";
}

TEST_P(CliCheckPort, ListingAndChoosingChecks) {
    const Finished list = Cli({"check", "--list"});
    EXPECT_EQ(list.Status, 0);
    for (const char* id :
         {"opn",           "opn-000",         "unknown-command", "nak-damaged-frame", "resend-after-nak",
          "cancel-gky",    "cancel-mnu",      "cancel-gcd",      "cancel-cex",        "abort-by-command",
          "gix-order",     "gix-repeat",      "gix-unknown",     "gix-odd-length",    "pp-dsptxtsz",
          "pp-dspgrsz",    "pp-mfsup",        "dsp-limits",      "dex-limits",        "media-load",
          "media-bad-crc", "mlr-without-mli", "dsi-missing",     "lmf-after-dmf",     "clo-then-command"})
        EXPECT_NE(list.Out.find(id), std::string::npos) << id;
    EXPECT_EQ(Received(), 0) << "listing sends nothing" << TraceText();
    const Finished some = Cli({"--json", "check", "--only", "information,opn"});
    EXPECT_EQ(some.Status, 0) << some.Err;
    EXPECT_EQ(
        JsonGet(some.Out, "[c['id'] for c in d['checks']]"),
        "['opn', 'gix-order', 'gix-repeat', 'gix-unknown', 'gix-odd-length', 'pp-dsptxtsz', 'pp-dspgrsz', "
        "'pp-mfsup']");
}

TEST_P(CliCheckPort, AFailureSaysWhatCameAndTheStatusTellsCi) {
    // A PIN pad that answers nothing after acknowledging GIX.
    Sim().AddFault("silent@GIX*0");
    const std::string junit = TempPath("failing.xml");
    const Finished run =
        Cli({"--timeout", "1000", "--json", "check", "--only", "gix-order", "--junit", junit});
    EXPECT_EQ(run.Status, 6) << run.Out << run.Err;
    EXPECT_EQ(NotPassing(run.Out), "gix-order:fail");
    EXPECT_EQ(JsonGet(run.Out, "d['checks'][0]['diagnosis']"), "GIX: no response within 1000 ms of the ACK");
    EXPECT_EQ(Python("import sys, xml.etree.ElementTree as ET\n"
                     "f = ET.fromstring(sys.stdin.read()).find('.//failure')\n"
                     "print(f.get('message'))",
                     ReadFile(junit)),
              "GIX: no response within 1000 ms of the ACK");
}

TEST_P(CliCheckPort, InteractiveAsksThePersonAtThePinPad) {
    // The person here is the test, which presses the keys ahead of the prompts.
    Sim().PressKey(4);
    Sim().PressKey(13);
    const Finished run = Cli({"check", "--interactive", "--only", "gky-key,gcd-cancel-key"});
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_NE(run.Err.find("kestrel-cli check: on the PIN pad, press F1"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("kestrel-cli check: on the PIN pad, press CANCEL"), std::string::npos) << run.Err;
    EXPECT_NE(run.Out.find("2 checks: 2 passed"), std::string::npos) << run.Out;
}

INSTANTIATE_TEST_SUITE_P(Transports, CliCheckPort, ::testing::Values(Transport::Pty, Transport::Tcp),
                         TransportName);

// The text report gathers the failures, with their reasons, before the summary; the exchange of a
// passing check is printed only when asked for.
TEST(CliCheck, TheTextReportGathersTheFailuresAndShowsPassingExchangesOnlyWhenVerbose) {
    const std::string profile = TempPath("answer-after-eot.profile");
    WriteFile(profile, "base = graphic\nbreak_answer_after_eot = yes\n");
    const Finished plain = RunCli({"check", "--sim", profile, "--only", "cancel-gky,opn"}, {}, {}, 300s);
    EXPECT_EQ(plain.Status, 6) << plain.Out << plain.Err;
    const size_t gathered =
        plain.Out.find("Failed checks (1):\n  FAIL cancel-gky: late bytes after the check "
                       "ended: frame GKY 013\n");
    ASSERT_NE(gathered, std::string::npos) << plain.Out;
    EXPECT_LT(gathered, plain.Out.find("2 checks: 1 passed, 1 failed")) << plain.Out;
    // The failure carries its exchange, the late frame marked as such; the passing opn has none.
    EXPECT_NE(plain.Out.find("<- after the check: frame GKY 013"), std::string::npos) << plain.Out;
    EXPECT_EQ(plain.Out.find("pass opn:"), std::string::npos) << plain.Out;
    const Finished verbose = RunCli({"check", "--sim", profile, "--only", "opn", "--verbose"}, {}, {}, 300s);
    EXPECT_EQ(verbose.Status, 0) << verbose.Out << verbose.Err;
    EXPECT_NE(verbose.Out.find("pass opn: OPN without parameters\n    rule:"), std::string::npos)
        << verbose.Out;
    EXPECT_EQ(verbose.Out.find("Failed checks"), std::string::npos) << verbose.Out;
}

// A simulator that breaks one rule on purpose fails the checks of that rule, and only those, and
// says why.
struct BrokenRule {
    const char* Key;
    const char* Failing;   // ids of the checks that fail, in run order
    const char* Diagnosis; // what the first of them says
};

class CliCheckBroken : public ::testing::TestWithParam<BrokenRule> {};

TEST_P(CliCheckBroken, FailsExactlyTheChecksOfTheBrokenRule) {
    const BrokenRule& rule = GetParam();
    std::string profile = rule.Key;
    if (profile != "rule-breaker") {
        profile = TempPath(std::string(rule.Key) + ".profile");
        WriteFile(profile, std::string("base = graphic\nbreak_") + rule.Key + " = yes\n");
    }
    const std::string junit = TempPath(std::string(rule.Key) + ".xml");
    std::vector<std::string> args{"--json", "check", "--sim", profile, "--junit", junit};
    // Only these two answer after a check has ended; the others are checked on a shorter watch, as a
    // full run at the default one costs a minute each.
    const std::string key = rule.Key;
    if (key != "late_eot" && key != "answer_after_eot") args.insert(args.end(), {"--settle", "300"});
    const Finished run = RunCli(args, {}, {}, 300s);
    EXPECT_EQ(run.Status, 6) << run.Err;
    EXPECT_EQ(JsonGet(run.Out, "' '.join(c['id'] for c in d['checks'] if c['result'] != 'pass')"),
              rule.Failing);
    EXPECT_EQ(JsonGet(run.Out, "[c['diagnosis'] for c in d['checks'] if c['result'] != 'pass'][0]"),
              rule.Diagnosis);
    EXPECT_EQ(
        Python(
            "import sys, xml.etree.ElementTree as ET\n"
            "root = ET.fromstring(sys.stdin.read())\n"
            "print(' '.join(c.get('name') for c in root.iter('testcase') if c.find('failure') is not None))",
            ReadFile(junit)),
        rule.Failing);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CliCheckBroken,
    ::testing::Values(
        BrokenRule{"no_eot", "cancel-gky cancel-mnu cancel-gcd cancel-cex", "no EOT within 2000 ms of CAN"},
        BrokenRule{"ignore_nak", "resend-after-nak",
                   "the response was not sent again within 2000 ms of the host's NAK"},
        BrokenRule{"mle_crc", "media-bad-crc",
                   "MLE accepted a file whose data do not match the CRC declared in MLI"},
        BrokenRule{"leftover", "cancel-gky cancel-mnu cancel-gcd cancel-cex",
                   "bytes came after EOT, where the line must stay quiet: frame GKY 013"},
        BrokenRule{"late_eot", "cancel-gky cancel-mnu cancel-gcd cancel-cex", "no EOT within 2000 ms of CAN"},
        BrokenRule{"answer_after_eot", "cancel-gky", "late bytes after the check ended: frame GKY 013"},
        BrokenRule{"rule-breaker",
                   "resend-after-nak cancel-gky cancel-mnu cancel-gcd cancel-cex media-bad-crc",
                   "the response was not sent again within 2000 ms of the host's NAK"}),
    [](const auto& AInfo) {
        std::string name = AInfo.param.Key;
        for (char& c : name)
            if (c == '-' || c == '_') c = 'X';
        return name;
    });

} // namespace
} // namespace kestrel::cli::test
