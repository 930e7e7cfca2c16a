// inventory and check --all against a bench of eight PIN pads on pseudo-terminals: six that follow the
// rules, one that breaks one (DSP never answered), and one that stays silent.
#include "CliTestSupport.h"

#include <cstdlib>
#include <set>

namespace kestrel::cli::test {
namespace {

// A pseudo-terminal that nobody answers on: the port opens and every frame sent to it is lost.
class SilentPort {
public:
    SilentPort() {
        fMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fMaster >= 0 && grantpt(fMaster) == 0 && unlockpt(fMaster) == 0) fPath = ptsname(fMaster);
    }
    ~SilentPort() {
        if (fMaster >= 0) close(fMaster);
    }
    const std::string& Path() const { return fPath; }

private:
    int fMaster = -1;
    std::string fPath;
};

class Bench : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 7; ++i) {
            fSims.push_back(std::make_unique<kestrel::sim::SimulatorRunner>());
            fPorts.push_back(fSims.back()->StartPty());
        }
        fSims[4]->AddFault("silent@DSP*0");
        ASSERT_FALSE(fSilent.Path().empty());
        fPorts.insert(fPorts.begin() + 2, fSilent.Path());
    }
    std::map<std::string, std::string> Env() const {
        std::string list;
        for (const auto& port : fPorts)
            list += (list.empty() ? "" : ":") + port;
        return {{"KESTREL_SERIAL_PORTS", list}};
    }
    std::string BreakerPort() const { return fPorts[5]; }
    std::set<std::string> Answering() const {
        std::set<std::string> ports(fPorts.begin(), fPorts.end());
        ports.erase(fSilent.Path());
        return ports;
    }
    static std::set<std::string> Set(const std::string& ALines) {
        std::set<std::string> set;
        std::istringstream in(ALines);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) set.insert(line);
        return set;
    }

    std::vector<std::unique_ptr<kestrel::sim::SimulatorRunner>> fSims;
    std::vector<std::string> fPorts;
    SilentPort fSilent;
};

TEST_F(Bench, InventoryListsTheSevenThatAnswerAndNamesTheSilentOne) {
    const Finished json = RunCli({"--json", "inventory"}, Env(), {}, 120s);
    ASSERT_EQ(json.Status, 0) << json.Out << json.Err;
    EXPECT_EQ(JsonGet(json.Out, "len(d['pinpads'])"), "7");
    EXPECT_EQ(Set(JsonGet(json.Out, "'\\n'.join(p['port'] for p in d['pinpads'])")), Answering());
    EXPECT_EQ(JsonGet(json.Out, "[p['port'] for p in d['not_answering']]"), "['" + fSilent.Path() + "']");
    // Every row holds what the PIN pad said of itself, not blanks.
    EXPECT_EQ(JsonGet(json.Out, "sorted({k for p in d['pinpads'] for k in ('model', 'serial', 'app_version', "
                                "'kernel_version', 'abecs_version', 'display', 'media') if not p[k]})"),
              "[]");
    EXPECT_EQ(JsonGet(json.Out, "sorted({p['media'] for p in d['pinpads']})"), "['PNG JPEG']");

    const Finished text = RunCli({"inventory"}, Env(), {}, 120s);
    EXPECT_EQ(text.Status, 0) << text.Err;
    EXPECT_NE(text.Out.find("7 PIN pad(s) answered on 8 port(s) tried"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("Not answering:\n  " + fSilent.Path() + ": no answer"), std::string::npos)
        << text.Out;
}

TEST_F(Bench, CheckAllGivesOneSuiteEachAndTheRuleBreakerFailsAlone) {
    const std::string junit = TempPath("bench.xml");
    const Finished run = RunCli({"--timeout", "1500", "--json", "check", "--all", "--only",
                                 "opn,information,dsp-limits", "--junit", junit},
                                Env(), {}, 180s);
    EXPECT_EQ(run.Status, 6) << run.Out << run.Err;
    EXPECT_EQ(JsonGet(run.Out, "len(d['pinpads'])"), "7");
    EXPECT_EQ(JsonGet(run.Out, "[p['port'] for p in d['not_answering']]"), "['" + fSilent.Path() + "']");
    EXPECT_EQ(JsonGet(run.Out, "[p['port'] for p in d['pinpads'] if p['failed'] + p['errors']]"),
              "['" + BreakerPort() + "']");
    EXPECT_EQ(
        JsonGet(run.Out, "[c['id'] for p in d['pinpads'] for c in p['checks'] if c['result'] == 'fail']"),
        "['dsp-limits']");
    // One suite a PIN pad, named by its port; only the rule breaker's has a failure.
    EXPECT_EQ(Python("import sys, xml.etree.ElementTree as ET\n"
                     "root = ET.fromstring(sys.stdin.buffer.read())\n"
                     "suites = root.findall('testsuite')\n"
                     "bad = [s.find('properties/property[@name=\"port\"]').get('value') for s in suites"
                     " if int(s.get('failures')) > 0]\n"
                     "print(len(suites), len({s.get('name') for s in suites}), root.get('failures'), *bad)",
                     ReadFile(junit)),
              "7 7 1 " + BreakerPort());

    // With the rule breaker mended, the same bench passes.
    fSims[4]->ClearFaults();
    const Finished clean = RunCli({"check", "--all", "--only", "opn,information"}, Env(), {}, 180s);
    EXPECT_EQ(clean.Status, 0) << clean.Out << clean.Err;
    EXPECT_NE(clean.Out.find("7 PIN pad(s) checked, 0 failing, 1 port(s) not answering"), std::string::npos)
        << clean.Out;
}

TEST(CliBench, NoPinPadAnywhereIsAnErrorAndAllRefusesTheOnePadOptions) {
    const std::map<std::string, std::string> none{{"KESTREL_SERIAL_PORTS", TempPath("no-such-tty")}};
    EXPECT_EQ(RunCli({"inventory"}, none).Status, 3);
    EXPECT_EQ(RunCli({"check", "--all"}, none).Status, 3);
    const Finished both = RunCli({"check", "--all", "--sim", "graphic"}, none);
    EXPECT_EQ(both.Status, 2);
    EXPECT_NE(both.Err.find("--all"), std::string::npos) << both.Err;
}

} // namespace
} // namespace kestrel::cli::test
