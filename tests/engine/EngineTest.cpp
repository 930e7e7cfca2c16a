#include "EngineTestSupport.h"

#include "device/BlockSerial.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kestrel::test {
namespace {

using namespace vexo;
using Clock = std::chrono::steady_clock;

// A damaged copy of a frame: the last CRC byte is off by one.
Bytes Damaged(Bytes AFrame) {
    AFrame.back() = static_cast<char>(AFrame.back() + 1);
    return AFrame;
}

size_t Count(const std::vector<std::string>& ALog, const std::string& ALine) {
    return static_cast<size_t>(std::count(ALog.begin(), ALog.end(), ALine));
}

void SetBlockingCommand(TestPinPad& APinPad, const std::string& AID) {
    APinPad.Command().Clear();
    APinPad.Command().SetID(AID);
    APinPad.Command().SetIsBlocking(true);
}

TEST_F(PinPadTest, OpnExchangeIsLoggedLineForLineAtLevelThree) {
    pinpad.SetLogLevel(3);
    Answer("OPN", "OPN000");
    Answer(CapabilityRequest(), CapabilityResponse());
    Go();
    pinpad.OPN();
    EXPECT_EQ(peer.Finish(), "");
    const std::vector<std::string> expected = {
        "OPN",
        "ExecCommand: OPN",
        "  SendCommand: OPN, BlockStart: 0",
        "    DataPacket, 3 Bytes, 1 Blocks",
        "  TX -> \\x16OPN\\x17\\xA8\\xA9",
        "    WaitForACK",
        "    RX <- 6",
        "  WaitForResponse",
        "  WaitForSYN",
        "    RX <- 22",
        "  WaitForDataPacket",
        "  DataPacket: OPN000",
        "    CRC: w^",
        "  Response.STAT: 0",
        "  EvaluateResponse: 0",
        "- GetPinPadCapabilities",
        "GIX",
        "   \\x80\\x01\\x80\\x02\\x80\\x03\\x80\\x04\\x80\\x05\\x80\\x07\\x80 \\x80!\\x80\"",
        "ExecCommand: GIX",
    };
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + static_cast<long>(expected.size())),
              expected);
    EXPECT_EQ(pinpad.PinPadCapabilities().SerialNumber, "SN123");
}

struct AckCase {
    const char* name;
    std::vector<Bytes> answers; // one answer byte per send
    bool succeeds;
};

class AckAnswers : public PinPadTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(AckAnswers, ResendsAfterNakAtMostThreeTimes) {
    const AckCase& c = GetParam();
    for (const Bytes& answer : c.answers)
        peer.Expect(Frame("GIN00200")).Send(answer);
    if (c.succeeds) peer.Send(Frame("GIN000"));
    int ends = 0;
    pinpad.SetOnEndCommand([&](TComponent*) {
        ++ends;
        EXPECT_FALSE(pinpad.IsBusy());
    });
    Go();
    if (c.succeeds) {
        EXPECT_NO_THROW(pinpad.GIN(0));
    } else {
        EXPECT_EQ(ErrorOf([&] { pinpad.GIN(0); }), "Error reading ACK");
    }
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(ends, 1);
}

INSTANTIATE_TEST_SUITE_P(Engine, AckAnswers,
                         ::testing::Values(AckCase{"NakNakAck", {kNAK, kNAK, kACK}, true},
                                           AckCase{"ThreeNaks", {kNAK, kNAK, kNAK}, false},
                                           AckCase{"NakThenOther", {kNAK, "A"}, false},
                                           AckCase{"Other", {kEOT}, false}),
                         [](const auto& AInfo) { return std::string(AInfo.param.name); });

TEST_F(PinPadTest, NoiseBeforeSynIsDropped) {
    pinpad.SetLogLevel(3);
    peer.Expect(Frame("GIN00200")).Send(kACK).Send(Bytes("\x00\x41\x42", 3) + Frame("GIN000"));
    Go();
    pinpad.GIN(0);
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, "    RX <- 65"), 1u);
    EXPECT_EQ(Count(log, "    RX <- 66"), 1u);
    EXPECT_EQ(Count(log, "    RX <- 0"), 1u); // a NUL that came is a byte like any other
}

TEST_F(PinPadTest, DamagedResponseIsAnsweredByNakThenAccepted) {
    pinpad.SetLogLevel(3);
    peer.Expect(Frame("GIN00200")).Send(kACK).Send(Damaged(Frame("GIN000")));
    peer.Expect(kNAK).Send(Frame("GIN000"));
    Go();
    pinpad.GIN(0);
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, "    EVexoAbecsPinPadError: Packet has invalid CRC"), 1u);
    EXPECT_EQ(Count(log, "  TX/RX - Purge"), 1u);
}

TEST_F(PinPadTest, ThreeDamagedResponsesEndTheCommand) {
    peer.Expect(Frame("GIN00200")).Send(kACK);
    for (int i = 0; i < 3; ++i)
        peer.Send(Damaged(Frame("GIN000"))).Expect(kNAK);
    Go();
    EXPECT_EQ(ErrorOf([&] { pinpad.GIN(0); }), "Error reading Response");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, ReturnCodesBecomeErrorsUnlessEvaluationIsOff) {
    Answer("GIN00200", "GIN012");
    Answer("GIN00200", "GIN013");
    Answer("GKY", "GKY013");
    Go();
    EXPECT_EQ(ErrorOf<EVexoAbecsPinPadTimeout>([&] { pinpad.GIN(0); }),
              "Error: 12 - " + ReturnStatusMessage(12));
    try {
        pinpad.GIN(0);
        ADD_FAILURE() << "no error";
    } catch (const EVexoAbecsPinPadTimeout&) {
        ADD_FAILURE() << "13 is not a timeout";
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Error: 13 - " + ReturnStatusMessage(13));
    }
    SetBlockingCommand(pinpad, "GKY");
    EXPECT_NO_THROW(pinpad.ExecCommand(false));
    EXPECT_EQ(pinpad.Response().STAT(), 13);
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, CancelSendsCanAndEotConfirmsIt) {
    peer.Expect(Frame("GKY")).Send(kACK).Expect(kCAN, 10000).Send(kEOT);
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = ++polls >= 2; });
    std::vector<std::string> events;
    pinpad.SetOnStartCommand(
        [&](TComponent*) { events.push_back(pinpad.IsBusy() ? "start busy" : "start"); });
    pinpad.SetOnEndCommand([&](TComponent*) { events.push_back(pinpad.IsBusy() ? "end busy" : "end"); });
    Go();
    SetBlockingCommand(pinpad, "GKY");
    EXPECT_EQ(ErrorOf([&] { pinpad.ExecCommand(false); }), "Cancelled by User");
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "end"}));
}

TEST_F(PinPadTest, CancelWithoutEotGivesUpAfterThreeCans) {
    peer.Expect(Frame("GKY")).Send(kACK).Expect(kCAN, 10000).Expect(kCAN, 5000).Expect(kCAN, 5000);
    pinpad.SetOnWaitForResponse([](bool& ACancel) { ACancel = true; });
    Go();
    SetBlockingCommand(pinpad, "GKY");
    EXPECT_EQ(ErrorOf([&] { pinpad.ExecCommand(false); }), "Error waiting for CAN response");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, CancelWaitingInsideTheHandlerDoesNotCancelByItself) {
    peer.Expect(Frame("GKY")).Send(kACK).Pause(1500).Send(Frame("GKY000"));
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool&) {
        if (++polls == 1) pinpad.CancelWaiting();
    });
    Go();
    SetBlockingCommand(pinpad, "GKY");
    EXPECT_NO_THROW(pinpad.ExecCommand(false));
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_GE(polls, 2);
}

// Disable from inside the handler closes the port but is no cancel: the closed port ends the wait
// with its own error, and no CAN is attempted.
TEST_F(PinPadTest, DisableInsideTheHandlerIsNotACancel) {
    peer.Expect(Frame("GKY")).Send(kACK);
    int polls = 0;
    int ends = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) {
        if (++polls == 1) pinpad.Disable();
        ACancel = polls > 3; // bounds the test should the closed port read as silence
    });
    pinpad.SetOnEndCommand([&](TComponent*) { ++ends; });
    Go();
    SetBlockingCommand(pinpad, "GKY");
    EXPECT_THROW(pinpad.ExecCommand(false), ESerialPortError);
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(Count(log, "  CancelWaiting"), 1u);
    EXPECT_EQ(Count(log, "    UserCancelled"), 0u);
    EXPECT_FALSE(pinpad.IsBusy() || pinpad.IsEnabled());
}

TEST_F(PinPadTest, NonBlockingCommandTimesOutWithoutCanOrNak) {
    pinpad.SetTimeOut(1000);
    peer.Expect(Frame("GIN00200")).Send(kACK);
    Go();
    EXPECT_THROW(pinpad.GIN(0), EVexoAbecsPinPadTimeout);
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_TRUE(pinpad.IsEnabled());
}

TEST_F(PinPadTest, DefaultResponseTimeoutIsTenSeconds) {
    peer.Expect(Frame("GIN00200")).Send(kACK);
    Go();
    const auto start = Clock::now();
    EXPECT_EQ(ErrorOf<EVexoAbecsPinPadTimeout>([&] { pinpad.GIN(0); }), "Timeout reading Response");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(10000));
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, ThreeBlockCommandGoesInTwoPacketsAndStopsOnAnError) {
    const Bytes full(999, 'A');
    const Bytes first = "XYZ" + Block(full) + Block(full);
    const Bytes second = "XYZ" + Block(full);
    Answer(first, "XYZ000");
    Answer(second, "XYZ000");
    Answer(first, "XYZ010"); // the second packet of this run must not go
    std::vector<std::pair<int, int>> progress;
    pinpad.SetOnProgress([&](TComponent*, int ADone, int ATotal) { progress.emplace_back(ADone, ATotal); });
    Go();
    for (int run = 0; run < 2; ++run) {
        pinpad.Command().Clear();
        pinpad.Command().SetID("XYZ");
        for (int i = 0; i < 3; ++i)
            pinpad.Command().AddParamFromData(full);
        if (run == 0)
            pinpad.ExecCommand(true);
        else
            EXPECT_THROW(pinpad.ExecCommand(true), EVexoAbecsPinPadError);
    }
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_TRUE(progress.empty()); // progress is the media upload's alone
}

// Tracks and card numbers reach the log masked, whatever the level; the response keeps them as the
// PIN pad sent them. The second track's card number has 12 digits, so only its tag marks it.
TEST_F(PinPadTest, CardDataIsMaskedInTheLogButNotInTheResponse) {
    const Bytes track1 = "B4111111111111111^DOE/JOHN^2512101";
    const Bytes track2 = "412345678901=2512101";
    const Bytes response =
        "CEX000" + Block(Tlv(PP_EVENT, "01") + Tlv(PP_TRK1INC, track1) + Tlv(PP_TRK2INC, track2));
    const Bytes command = "CEX" + Block(Tlv(SPE_CEXOPT, "010000"));
    Answer(command, response);
    Answer(command, response);
    EXPECT_TRUE(TVexoAbecsPinPad().LogMaskCardData());
    pinpad.SetLogLevel(5);
    Go();
    auto joined = [this] {
        std::string all;
        for (const auto& line : log)
            all += line + "\n";
        return all;
    };
    pinpad.CEX("010000", 0, "");
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_TRK1INC), track1);
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_TRK2INC), track2);
    const std::string masked = joined();
    for (const char* clear : {"4111111111111111", "DOE/JOHN", "2512101", "345678901"})
        EXPECT_EQ(masked.find(clear), std::string::npos) << clear << " in\n" << masked;
    EXPECT_EQ(Count(log, "      PP_TRK2INC, Size: 20, Data: 412345**8901=*******"), 1u) << masked;
    EXPECT_EQ(Count(log, "      PP_TRK1INC, Size: 34, Data: B411111******1111^***/****^*******"), 1u);
    EXPECT_NE(masked.find("  DataPacket: CEX000"), std::string::npos);

    // Asked for, the log shows them in clear.
    pinpad.SetLogMaskCardData(false);
    log.clear();
    pinpad.CEX("010000", 0, "");
    EXPECT_NE(joined().find(track1), std::string::npos);
    EXPECT_EQ(Count(log, "      PP_TRK2INC, Size: 20, Data: " + track2), 1u);
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, ClosedPortIsRefusedAndLogged) {
    pinpad.SetLogLevel(1);
    EXPECT_EQ(ErrorOf([&] { pinpad.GIN(0); }), "Communication is not Enabled");
    EXPECT_EQ(Count(log, "EVexoAbecsPinPadError: Communication is not Enabled"), 1u);
    EXPECT_FALSE(pinpad.IsBusy());
}

TEST_F(PinPadTest, LevelZeroWritesNothingAndEnableTwiceChangesNothing) {
    pinpad.SetLogLevel(0);
    Answer("GIN00200", "GIN000");
    Go();
    pinpad.GIN(0);
    EXPECT_TRUE(log.empty());
    pinpad.SetLogLevel(5);
    pinpad.Enable();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, LogFileGetsOnlyTheLinesTheHandlerLeavesUnhandled) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kestrel-engine-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    const std::string file = (dir / "sub" / "pinpad.log").string();
    pinpad.SetLogFile(file);
    pinpad.SetLogLevel(1);
    bool handled = true;
    pinpad.SetOnWriteLog([&](const std::string&, bool& ATratado) {
        if (!handled) ATratado = false;
    });
    Answer("GIN00200", "GIN000");
    Answer("GIN00200", "GIN000");
    Go();
    pinpad.GIN(0);
    EXPECT_FALSE(std::filesystem::exists(file));
    handled = false;
    pinpad.GIN(0);
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_NE(content.str().find(" - GIN( 0 )\r\n"), std::string::npos) << content.str();
    EXPECT_NE(content.str().find(" - ExecCommand: GIN\r\n"), std::string::npos);
    EXPECT_EQ(content.str().rfind("-- ", 0), 0u);
    EXPECT_EQ(peer.Finish(), "");
    std::filesystem::remove_all(dir);
}

TEST_F(PinPadTest, DeadLinkEndsABlockingCommandPromptly) {
    peer.Expect(Frame("GKY")).Send(kACK).Pause(300).Hangup();
    int polls = 0;
    // Without the check of the link this would wait for ever; the handler bounds the test.
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = ++polls > 10; });
    int ends = 0;
    pinpad.SetOnEndCommand([&](TComponent*) { ++ends; });
    Go();
    SetBlockingCommand(pinpad, "GKY");
    try {
        pinpad.ExecCommand(false);
        ADD_FAILURE() << "no error";
    } catch (const ESerialPortError& e) {
        EXPECT_NE(e.ErrorCode(), ErrTimeout);
        EXPECT_FALSE(e.ErrorMessage().empty());
    }
    EXPECT_LE(polls, 3);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(pinpad.IsBusy());
}

} // namespace
} // namespace kestrel::test
