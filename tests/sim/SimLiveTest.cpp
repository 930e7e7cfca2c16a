// The PIN pad as a screen and a keypad: live keys and card actions, the display's modes, change
// notifications and the byte tap, as a virtual PIN pad window drives them.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"
#include <atomic>
#include <thread>

namespace kestrel::sim::test {
namespace {

using namespace vexo;
using Mode = VirtualDisplay::Mode;

class SimLive : public SimSessionFixture {
protected:
    // Live input is taken by the simulator thread; then its effects can be seen.
    void Settle() {
        ASSERT_TRUE(Eventually([&] { return Sim().LiveLeft() == 0; }));
    }
};

TEST(SimKeys, NamesAndCodesOfTheKeypad) {
    EXPECT_EQ(AllKeys().size(), 19u);
    for (Key key : AllKeys())
        EXPECT_EQ(KeyFromName(KeyName(key)), key) << KeyName(key);
    EXPECT_EQ(KeyFromName("anula"), Key::Cancel);
    EXPECT_EQ(KeyFromName("OK"), Key::Enter);
    EXPECT_EQ(KeyFromName("F5"), std::nullopt);
    EXPECT_EQ(DigitKey(7), Key::Digit7);
    EXPECT_EQ(KeyDigit(Key::Digit0), 0);
    EXPECT_EQ(KeyDigit(Key::F1), -1);
    EXPECT_EQ(KeyEventCode(Key::Digit3), std::nullopt);
    EXPECT_EQ(KeyEventCode(Key::Cancel), 13);
    // Scripts name keys by their GKY codes; those are the same keys.
    EXPECT_EQ(CardholderAction::Key(0).PressedKey(), Key::Enter);
    EXPECT_EQ(CardholderAction::Key(8).PressedKey(), Key::Clear);
    EXPECT_EQ(CardholderAction::Parse("key UP").PressedKey(), Key::Up);
    EXPECT_EQ(CardholderAction::Parse("press 5").PressedKey(), Key::Digit5);
    EXPECT_EQ(CardholderAction::Parse("press 5").Describe(), "press 5");
    EXPECT_THROW(CardholderAction::Parse("press 10"), std::invalid_argument);
    EXPECT_THROW(DigitKey(10), std::invalid_argument);
}

TEST(SimKeys, TracesNeverShowCardDataInClear) {
    const auto swipe = CardholderAction::Swipe("B4761739001010010^SILVA/JOAO^3012", "4761739001010010=3012");
    EXPECT_EQ(swipe.Describe().find("4761739001010010"), std::string::npos) << swipe.Describe();
    EXPECT_EQ(swipe.Describe().find("SILVA"), std::string::npos) << swipe.Describe();
    EXPECT_EQ(CardholderAction::Digits("4761739001010010").Describe(), "digits 476173******0010");
    EXPECT_EQ(CardholderAction::Parse("swipe none").Describe(), "swipe none");
}

TEST_F(SimLive, GkyTakesAPressedKeyAtOnceAndIgnoresDigitsAndArrows) {
    const std::pair<Key, const char*> cases[] = {{Key::Enter, "GKY000"},
                                                 {Key::F1, "GKY004"},
                                                 {Key::F4, "GKY007"},
                                                 {Key::Clear, "GKY008"},
                                                 {Key::Cancel, "GKY013"}};
    for (const auto& [key, expected] : cases) {
        Begin("GKY");
        Sim().Press(Key::Digit5);
        Sim().Press(Key::Up);
        Settle();
        EXPECT_EQ(Sim().WaitingFor(), "GKY");
        Sim().Press(key);
        EXPECT_EQ(Response(), expected);
    }
}

TEST_F(SimLive, KeyPressedWhileNothingWaitsIsDroppedAndTheScriptStaysQueued) {
    Sim().PressKey(5); // queued: F2 for the next GKY
    Sim().Press(Key::F1);
    Sim().Act(CardholderAction::Tap());
    Settle();
    EXPECT_EQ(Sim().ScriptLeft(), 1u);
    EXPECT_EQ(Command("GKY"), "GKY005");
    // A live key is not kept for a later command either.
    Begin("GKY");
    ExpectSilence();
    Sim().Press(Key::F3);
    EXPECT_EQ(Response(), "GKY006");
}

TEST_F(SimLive, GcdTakesDigitsOneByOneWithClearAndTheLimits) {
    Begin("GCD" + Block(TLV(SPE_MSGIDX, U16(7)) + TLV(SPE_MINDIG, "\x03") + TLV(SPE_MAXDIG, "\x04")));
    auto display = Sim().Display();
    EXPECT_EQ(display.What, Mode::Prompt);
    EXPECT_EQ(display.Prompt, "DIGITE O CPF");
    EXPECT_EQ(display.Lines[0], "DIGITE O CPF");
    EXPECT_EQ(display.MinDigits, 3);
    EXPECT_EQ(display.MaxDigits, 4);
    for (Key key : {Key::Digit1, Key::Digit2, Key::Clear, Key::Digit3, Key::Enter, Key::F1})
        Sim().Press(key);
    Settle();
    // ENTER with two digits is refused: the entry goes on.
    EXPECT_EQ(Sim().WaitingFor(), "GCD");
    display = Sim().Display();
    EXPECT_EQ(display.Typed, "13");
    EXPECT_EQ(display.Lines[1], std::string(14, ' ') + "13");
    for (Key key : {Key::Digit4, Key::Digit5, Key::Digit6})
        Sim().Press(key);
    Settle();
    EXPECT_EQ(Sim().Display().Typed, "1345"); // the sixth digit did not fit
    Sim().Press(Key::Enter);
    EXPECT_EQ(Response(), "GCD000" + Block(TLV(PP_VALUE, "1345")));

    Begin("GCD" + Block(TLV(SPE_MSGIDX, U16(1))));
    Sim().Press(Key::Digit9);
    Sim().Press(Key::Cancel);
    EXPECT_EQ(Response(), "GCD013");
}

TEST_F(SimLive, MenuMovesItsHighlightAndChoosesByEnterOrDigit) {
    const ByteString mnu = "MNU" + Block(TLV(SPE_DSPMSG, "PAGAR COM\r") + TLV(SPE_MNUOPT, "CREDITO") +
                                         TLV(SPE_MNUOPT, "2 DEBITO") + TLV(SPE_MNUOPT, "VOUCHER"));
    Begin(mnu);
    auto display = Sim().Display();
    EXPECT_EQ(display.What, Mode::Menu);
    EXPECT_EQ(display.MenuTitle, std::vector<std::string>{"PAGAR COM"});
    EXPECT_EQ(display.MenuOptions, (std::vector<std::string>{"CREDITO", "2 DEBITO", "VOUCHER"}));
    EXPECT_EQ(display.Highlight, 0);
    Sim().Press(Key::Up); // round to the last
    Settle();
    EXPECT_EQ(Sim().Display().Highlight, 2);
    Sim().Press(Key::Down);
    Sim().Press(Key::Down);
    Sim().Press(Key::F2);
    Settle();
    EXPECT_EQ(Sim().Display().Highlight, 1);
    Sim().Press(Key::Enter);
    EXPECT_EQ(Response().substr(0, 6), "MNU000");

    // A digit chooses the option that begins with it; a digit no option begins with does nothing.
    Begin(mnu);
    Sim().Press(Key::Digit7);
    Settle();
    EXPECT_EQ(Sim().WaitingFor(), "MNU");
    Sim().Press(Key::Digit2);
    const std::string chosen = Response();
    EXPECT_EQ(chosen.substr(0, 6), "MNU000");
    EXPECT_EQ(Sim().Display().Highlight, 1);

    Begin(mnu);
    Sim().Press(Key::Cancel);
    EXPECT_EQ(Response(), "MNU013");
}

TEST_F(SimLive, CardActionsAreLiveToo) {
    // The slot follows the card even when nothing waits.
    Sim().Act(CardholderAction::Insert());
    Settle();
    EXPECT_TRUE(Sim().CardInserted());
    Begin("CEX" + Block(TLV(SPE_CEXOPT, "012100")));
    Sim().Act(CardholderAction::Tap());
    EXPECT_EQ(Response(), "CEX000" + Block(TLV(PP_EVENT, "94")));
    Begin("CEX" + Block(TLV(SPE_CEXOPT, "002000")));
    Sim().Act(CardholderAction::Remove());
    EXPECT_EQ(Response(), "CEX000" + Block(TLV(PP_EVENT, "91")));
    EXPECT_FALSE(Sim().CardInserted());
    Begin("CEX" + Block(TLV(SPE_CEXOPT, "110000")));
    Sim().Press(Key::F2);
    EXPECT_EQ(Response(), "CEX000" + Block(TLV(PP_EVENT, "05")));
}

TEST_F(SimLive, DisplayModesFollowTheCommands) {
    Start(); // a fresh PIN pad: idle until something is shown
    EXPECT_EQ(Sim().Display().What, Mode::Idle);
    EXPECT_EQ(Sim().Display().Rows, 8);
    EXPECT_EQ(Sim().Display().Cols, 16);
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Command("DSP" + Block("HELLO")), "DSP000");
    EXPECT_EQ(Sim().Display().What, Mode::Text);
    EXPECT_EQ(Command("CLO"), "CLO000");
    EXPECT_EQ(Sim().Display().What, Mode::Idle);
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Command("CLO" + Block("BYE")), "CLO000");
    EXPECT_EQ(Sim().Display().What, Mode::Text);
    EXPECT_EQ(Sim().Display().Summary(), "text");

    // While the response is held back the PIN pad is processing, over what it showed.
    Sim().AddFault("late:300@GIN");
    Host().Write(Frame("GIN" + Block("00")));
    ASSERT_EQ(HexOf(Host().Read(1, 2000ms)), "06 ");
    ASSERT_TRUE(Eventually([&] { return Sim().Display().What == Mode::Processing; }));
    EXPECT_EQ(Sim().Display().Busy, "GIN");
    EXPECT_EQ(Sim().Display().Beneath, Mode::Text);
    EXPECT_EQ(Sim().Display().Lines[0], "BYE");
    EXPECT_EQ(Response().substr(0, 6), "GIN000");
    EXPECT_TRUE(Eventually([&] { return Sim().Display().What == Mode::Text; }));
    EXPECT_EQ(Sim().Display().Busy, "");
}

TEST_F(SimLive, ChangesAreNotifiedOnTheSimulatorThread) {
    std::atomic<int> changes{0};
    std::atomic<bool> otherThread{true};
    const auto testThread = std::this_thread::get_id();
    Sim().SetOnChange([&] {
        if (std::this_thread::get_id() == testThread) otherThread = false;
        ++changes;
    });
    EXPECT_EQ(Command("DSP" + Block("ONE")), "DSP000");
    ASSERT_TRUE(Eventually([&] { return changes > 0; }));
    Begin("GCD" + Block(TLV(SPE_MSGIDX, U16(2))));
    ASSERT_TRUE(Eventually([&] { return Sim().Display().What == Mode::Prompt; }));
    const int before = changes;
    Sim().Press(Key::Digit4);
    EXPECT_TRUE(Eventually([&] { return changes > before; }));
    // The first change after the press may be another one (the processing indicator): wait for the digit.
    EXPECT_TRUE(Eventually([&] { return Sim().Display().Typed == "4"; })) << Sim().Display().Typed;
    // A key nobody takes changes nothing.
    const int after = changes;
    Sim().Press(Key::F1);
    Settle();
    ExpectSilence(50ms);
    EXPECT_EQ(changes, after);
    EXPECT_TRUE(otherThread);
    Sim().SetOnChange(nullptr);
}

TEST_F(SimLive, ByteTapSeesEveryChunkInOrder) {
    std::mutex mutex;
    ByteString fromHost, toHost;
    std::string order;
    Sim().SetByteTap([&](bool AFromHost, const ByteString& ABytes) {
        std::lock_guard lock(mutex);
        (AFromHost ? fromHost : toHost) += ABytes;
        order += AFromHost ? 'H' : 'D';
    });
    EXPECT_EQ(Command("GIN" + Block("00")).substr(0, 6), "GIN000");
    Host().Write("\x15"); // NAK: the response again
    EXPECT_FALSE(Host().ReadUntilQuiet(100ms, 2000ms).empty());
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard lock(mutex);
        return fromHost.size() == Frame("GIN" + Block("00")).size() + 1;
    }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(fromHost, Frame("GIN" + Block("00")) + "\x15");
    const ByteString response = toHost.substr(1, (toHost.size() - 1) / 2);
    EXPECT_EQ(toHost, "\x06" + response + response);
    order.erase(std::unique(order.begin(), order.end()), order.end());
    EXPECT_EQ(order, "HDHD");
}

TEST_F(SimLive, AnotherProfileOnlyWhileStopped) {
    EXPECT_THROW(Sim().SetProfile(Profile::TextOnly()), std::logic_error);
    Sim().Stop();
    Sim().SetProfile(Profile::TextOnly());
    EXPECT_EQ(Sim().GetProfile().Name, "text");
    EXPECT_FALSE(Sim().SessionOpen()); // a new PIN pad
    EXPECT_EQ(Sim().Display().Lines.size(), 2u);
    fHost.emplace(Sim().StartInProcess());
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, U16(PP_DSPTXTSZ)))),
              "GIX000" + Block(TLV(PP_DSPTXTSZ, "0216")));
}

TEST(SimFaultKinds, EveryKindIsListedDescribedAndParsed) {
    const auto& kinds = SimulatorRunner::FaultKinds();
    EXPECT_EQ(kinds.size(), 11u);
    for (const auto& kind : kinds) {
        EXPECT_NE(std::string(kind.Description), "");
        const FaultRule rule = FaultRule::Parse(std::string(kind.Name) + "@GKY*2");
        EXPECT_EQ(rule.What, kind.What) << kind.Name;
        EXPECT_EQ(rule.Param, kind.DefaultParam) << kind.Name;
    }
}

} // namespace
} // namespace kestrel::sim::test
