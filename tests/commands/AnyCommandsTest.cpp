// Any command by name through the component, byte for byte against the scripted peer.
#include "EngineTestSupport.h"

namespace kestrel::test {
namespace {

using namespace vexo;
using P = TVexoAbecsAnyParam;

TEST_F(PinPadTest, AnyCommandGoesOutAsBuiltAndComesBackNamed) {
    Answer("GTK" + Block(Tlv(SPE_TRACKS, "\x02") + Tlv(SPE_PANMASK, "0604")),
           "GTK000" + Block(Tlv(PP_TRACK2, "4761739001010010=2512") + Tlv(PP_CARDTYPE, "01")));
    Answer("GCX" + Block(Tlv(SPE_AMOUNT, "000000000150")), "GCX079");
    Go();
    const TVexoAbecsAnyAnswer answer =
        pinpad.ExecAny({"GTK", {P::Bytes(SPE_TRACKS, "\x02"), P::Text(SPE_PANMASK, "0604")}});
    EXPECT_EQ(answer.Name, "GTK");
    ASSERT_EQ(answer.Items().size(), 2u);
    EXPECT_EQ(answer.Items()[0].Name, "PP_TRACK2");
    EXPECT_EQ(answer.Value(PP_CARDTYPE), "01");
    // A return code raises as for any command, and the answer is still there to read.
    pinpad.SetOnWaitForResponse([](bool&) {});
    EXPECT_EQ(ErrorOf([&] {
                  pinpad.ExecAny({"GCX", {P::Text(SPE_AMOUNT, "000000000150")}});
              }),
              "Error: 79 - Card is blocked.");
    EXPECT_EQ(pinpad.LastAnswer().STAT, 79);
    EXPECT_EQ(peer.Finish(), "");
    // The value of a card item never reaches the log in clear.
    for (const auto& line : log)
        EXPECT_EQ(line.find("4761739001010010"), std::string::npos) << line;
}

TEST_F(PinPadTest, AnyCommandThatWaitsForTheCardholderIsCancelledWithCan) {
    peer.Expect(Frame("GOX" + Block(Tlv(SPE_TIMEOUT, "\x05")))).Send(kACK).Expect(kCAN, 10000).Send(kEOT);
    peer.Expect(Frame("ZZZ")).Send(kACK).Expect(kCAN, 10000).Send(kEOT);
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = ++polls % 2 == 0; });
    Go();
    EXPECT_EQ(ErrorOf([&] {
                  pinpad.ExecAny({"GOX", {P::Bytes(SPE_TIMEOUT, "\x05")}});
              }),
              "Cancelled by User");
    // Not in the command table, but the caller says it waits.
    EXPECT_EQ(ErrorOf([&] {
                  pinpad.ExecAny({"ZZZ", {}, TVexoAbecsWaitMode::wmBlocking});
              }),
              "Cancelled by User");
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(polls, 4);
}

TEST_F(PinPadTest, AnyCommandWithABadParameterSendsNothing) {
    Go();
    int started = 0;
    pinpad.SetOnStartCommand([&](TComponent*) { ++started; });
    EXPECT_EQ(ErrorOf([&] {
                  pinpad.ExecAny({"DSP", {P::Block(std::string(1200, 'x'))}});
              }),
              "parameter 1: a block holds at most 999 bytes, not 1200");
    EXPECT_EQ(ErrorOf([&] {
                  pinpad.ExecAny({"ds", {}});
              }),
              "\"ds\" is not a command name: three upper-case letters or digits");
    EXPECT_EQ(started, 0);
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "EVexoAbecsPinPadError: parameter 1: a block holds at most 999 bytes, not 1200"),
              log.end());
}

} // namespace
} // namespace kestrel::test
