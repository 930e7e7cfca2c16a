// send: any command by name against the simulated PIN pad, its items named in the output, card data
// masked, parameters in the order typed, and every malformed parameter refused before a byte is sent.
#include "CliTestSupport.h"

namespace kestrel::cli::test {
namespace {

class CliSend : public SimulatorFixture {};

TEST_P(CliSend, ItemsGoOutAndComeBackByName) {
    const Finished gix = Cli({"--json", "send", "gix", "--hex", "SPE_IDLIST=8004 8001"});
    EXPECT_EQ(gix.Status, 0) << gix.Err;
    EXPECT_EQ(JsonGet(gix.Out, "d['command'], d['response'], d['return_code'], d['result']['sent']"),
              "send GIX 0 GIX");
    EXPECT_EQ(JsonGet(gix.Out, "[(i['name'], i['id'], i['value']) for i in d['result']['items']]"),
              "[('PP_MNNAME', '0x8004', 'KESTREL'), ('PP_SERNUM', '0x8001', 'KS20260000000001')]");
    const Finished text = Cli({"send", "GIX", "--hex", "0x0001=8004"});
    EXPECT_NE(text.Out.find("GIX 000 Command executed successfully."), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("  PP_MNNAME = \"KESTREL\""), std::string::npos) << text.Out;
    EXPECT_EQ(Cli({"-q", "send", "GIX", "--hex", "SPE_IDLIST=8004"}).Out, "KESTREL\n");
    // A raw block of a fixed-layout command, as text; its answer is a raw block too.
    const Finished dsp = Cli({"send", "DSP", "--block", "     HELLO           WORLD      "});
    EXPECT_EQ(dsp.Status, 0) << dsp.Err;
    EXPECT_EQ(Sim().Display().Lines[1], "     WORLD      ");
    EXPECT_EQ(
        JsonGet(Cli({"--json", "send", "GIN", "--block-hex", "3030"}).Out,
                "d['result']['blocks'][0]['block'], 'KESTREL SIM' in d['result']['blocks'][0]['value']"),
        "1 True");
}

TEST_P(CliSend, StatusesAndWaitsAreThoseOfEveryCommand) {
    // Unknown to the PIN pad: ERR 010, exit 10 + 10.
    const Finished unknown = Cli({"send", "XYZ", "SPE_DSPMSG=hi"});
    EXPECT_EQ(unknown.Status, 20) << unknown.Err;
    EXPECT_NE(unknown.Out.find("ERR 010"), std::string::npos) << unknown.Out;
    // CEX waits for the cardholder by the command table.
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    Sim().PressKey(0);
    const Finished key = Cli({"--json", "send", "CEX", "SPE_CEXOPT=100000"});
    EXPECT_EQ(key.Status, 0) << key.Err;
    EXPECT_EQ(JsonGet(key.Out, "[(i['name'], i['value']) for i in d['result']['items']]"),
              "[('PP_EVENT', '00')]");
    // Nobody presses a key: --wait ends the wait with CAN, a timeout of the host.
    const Finished nobody = Cli({"send", "CEX", "SPE_CEXOPT=100000", "--wait", "1"});
    EXPECT_EQ(nobody.Status, 4) << nobody.Err;
    EXPECT_NE(nobody.Err.find("cancelled with CAN"), std::string::npos) << nobody.Err;
}

TEST_P(CliSend, CardDataIsMaskedUnlessAskedFor) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    Sim().SwipeCard();
    const Finished masked = Cli({"--json", "send", "CEX", "SPE_CEXOPT=010000", "SPE_PANMASK=1604"});
    EXPECT_EQ(masked.Status, 0) << masked.Err;
    EXPECT_EQ(masked.Out.find("4761739001010010"), std::string::npos) << masked.Out;
    EXPECT_NE(masked.Out.find("PP_TRK1INC"), std::string::npos) << masked.Out;
    Sim().SwipeCard();
    const Finished clear = Cli({"--no-mask", "send", "CEX", "SPE_CEXOPT=010000", "SPE_PANMASK=1604"});
    EXPECT_NE(clear.Out.find("4761739001010010"), std::string::npos) << clear.Out;
}

TEST_P(CliSend, MalformedParametersAreRefusedBeforeAnythingIsSent) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"send", "GI"},
             {"send", "G-X"},
             {"send", "GIX", "SPE_NOSUCH=1"},
             {"send", "GIX", "PP_SERNUM=1"},
             {"send", "GIX", "SPE_IDLIST"},
             {"send", "GIX", "=8001"},
             {"send", "GIX", "--hex", "SPE_IDLIST=800"},
             {"send", "GIX", "--hex", "SPE_IDLIST=80G1"},
             {"send", "GIX", "--hex", "0x10000=00"},
             {"send", "DSP", "--block-hex", "4"},
             {"send", "DSP", "--block", std::string(1000, 'x')},
             {"send", "DSP", "SPE_DSPMSG=\xE2\x98\x83"},
             {"send", "CEX", "SPE_CEXOPT=100000", "--wait", "-1"},
             {"send", "CEX", "SPE_CEXOPT=100000", "--wait", "nan"},
         }) {
        const Finished run = Cli(args);
        EXPECT_EQ(run.Status, 2) << args.back() << run.Err;
        EXPECT_NE(run.Err.find("kestrel-cli: "), std::string::npos) << run.Err;
    }
    EXPECT_EQ(Received(), 0) << TraceText();
}

TEST_P(CliSend, ParametersKeepTheOrderTypedAndWorkInSessions) {
    std::mutex mutex;
    std::string fromHost;
    Sim().SetByteTap([&](bool AFromHost, const std::string& ABytes) {
        std::lock_guard lock(mutex);
        if (AFromHost) fromHost += ABytes;
    });
    const std::string script = TempPath("send.txt");
    WriteFile(script, "opn\n"
                      "send DSP --block '     FIRST          SECOND      '\n"
                      "send GIX --hex SPE_IDLIST=8003 --block-hex 00 --hex SPE_IDLIST=8004 --block X\n");
    const Finished run = Cli({"--json", "session", script});
    Sim().SetByteTap(nullptr);
    EXPECT_EQ(run.Status, 21) << run.Err; // the simulator wants one id list: 011
    ASSERT_EQ(JsonLines(run.Out), 3) << run.Out << run.Err;
    EXPECT_EQ(Sim().Display().Lines[0], "     FIRST      ");
    // Items before and after raw blocks: four blocks, in the order typed.
    std::lock_guard lock(mutex);
    EXPECT_NE(fromHost.find(std::string("GIX006\x00\x01\x00\x02\x80\x03"
                                        "001\x00"
                                        "006\x00\x01\x00\x02\x80\x04"
                                        "001X",
                                        29)),
              std::string::npos);
}

// The simulator program with a shipped scenario answers commands it has no model of.
TEST(CliSendScenario, AScenarioAnswersWhatTheSimulatorDoesNotKnow) {
    Child sim(KESTREL_SIM_PROGRAM,
              {"--tcp", "127.0.0.1:0", "--quiet", "--scenario",
               KESTREL_SOURCE_DIR "/examples/scenarios/card-read-emv-test-card.yaml"},
              {}, "insert\n");
    const std::string address = sim.ReadLine();
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << address;
    const std::string port = "TCP:" + address;
    // Matched by its amount: refused with 077, exit 10 + 77.
    EXPECT_EQ(RunCli({"--port", port, "send", "GCX", "SPE_AMOUNT=000000000000"}).Status, 87);
    // Any other amount: the inserted card's data, card numbers masked.
    const Finished gcx = RunCli({"--port", port, "--json", "send", "GCX", "SPE_AMOUNT=000000001000"});
    EXPECT_EQ(gcx.Status, 0) << gcx.Err;
    EXPECT_EQ(JsonGet(gcx.Out, "[i['value'] for i in d['result']['items'] if i['name'] == 'PP_CARDTYPE']"),
              "['03']");
    EXPECT_EQ(gcx.Out.find("4761739001010010"), std::string::npos) << gcx.Out;
    const Finished gox = RunCli({"--port", port, "--json", "send", "GOX"});
    EXPECT_EQ(gox.Status, 0) << gox.Err;
    EXPECT_EQ(JsonGet(gox.Out, "[(i['name'], i.get('hex', False)) for i in d['result']['items']]"),
              "[('PP_GOXRES', False), ('PP_EMVDATA', True)]");
    // Commands no rule takes are served as before.
    EXPECT_EQ(RunCli({"--port", port, "-q", "gix", "PP_MNNAME"}).Out, "KESTREL\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Finish(10s).Status, 0);
}

INSTANTIATE_TEST_SUITE_P(Transports, CliSend, ::testing::Values(Transport::Pty, Transport::Tcp),
                         TransportName);

} // namespace
} // namespace kestrel::cli::test
