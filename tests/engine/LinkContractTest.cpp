// What the engine does with bytes that are not this command's: a line that talks before the
// command, an answer to another command, frames whose escapes double them on the wire.
#include "EngineTestSupport.h"

#include "pinpad/VexoAbecsPacket.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrel::test {
namespace {

using namespace vexo;

size_t Count(const std::vector<std::string>& ALog, const std::string& ALine) {
    return static_cast<size_t>(std::count(ALog.begin(), ALog.end(), ALine));
}

void Sleep(int AMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(AMs));
}

// A block of AData: three digits of length, then the bytes.
Bytes RawBlock(const Bytes& AData) {
    return Block(AData);
}

// ASize bytes, each of them one the frame must escape.
Bytes Escapable(size_t ASize) {
    static const char kBytes[] = {'\x13', '\x16', '\x17'};
    Bytes data;
    for (size_t i = 0; i < ASize; ++i)
        data += kBytes[i % 3];
    return data;
}

TEST_F(PinPadTest, WhatCameBeforeTheCommandIsDiscardedAndCounted) {
    pinpad.SetLogLevel(3);
    pinpad.SetTimeOut(1000);
    peer.Pause(300).Send("\x01\x02junk\x06");
    Answer("GIN00200", "GIN000");
    // A PIN pad that answers after the host gave up: the answer is discarded before the next command.
    peer.Expect(Frame("GIN00200")).Send(kACK).Pause(2600).Send(Frame("GIN000"));
    Answer("GIN00200", "GIN000");
    Go();
    Sleep(800);
    pinpad.GIN(0);
    EXPECT_EQ(Count(log, "  QuietLine: 7 Bytes discarded"), 1u);
    EXPECT_EQ(ErrorOf<EVexoAbecsPinPadTimeout>([&] { pinpad.GIN(0); }), "Timeout reading Response");
    Sleep(2500);
    log.clear();
    pinpad.GIN(0);
    EXPECT_EQ(Count(log, "  QuietLine: 10 Bytes discarded"), 1u);
    EXPECT_EQ(Count(log, "    RX <- 6"), 1u); // the ACK came from the PIN pad, not from the line's past
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, AnAnswerToAnotherCommandIsDroppedAndTheWaitKeepsItsDeadline) {
    pinpad.SetLogLevel(2);
    pinpad.SetTimeOut(1500);
    peer.Expect(Frame("GIN00200")).Send(kACK).Send(Frame("GKY000")).Pause(200).Send(Frame("GIN000"));
    // The protocol's error answer belongs to any command.
    peer.Expect(Frame("GIN00200")).Send(kACK).Send(Frame("ERR010"));
    // Other commands' answers, again and again: they never stretch the wait.
    peer.Expect(Frame("GIN00200")).Send(kACK);
    for (int i = 0; i < 8; ++i)
        peer.Send(Frame("GKY000")).Pause(400);
    Go();
    pinpad.GIN(0);
    EXPECT_EQ(pinpad.Response().ID(), "GIN");
    EXPECT_EQ(Count(log, "  Answer to another command: GKY, waiting for GIN"), 1u);

    EXPECT_NE(ErrorOf([&] { pinpad.GIN(0); }), "");
    EXPECT_EQ(pinpad.Response().ID(), "ERR");
    EXPECT_EQ(pinpad.Response().STAT(), 10);

    log.clear();
    EXPECT_EQ(ErrorOf<EVexoAbecsPinPadTimeout>([&] { pinpad.GIN(0); }), "Timeout reading Response");
    EXPECT_GE(Count(log, "  Answer to another command: GKY, waiting for GIN"), 2u);
    EXPECT_EQ(Count(log, "  TX -> NAK"), 0u); // good frames get no answer, whoever they are for
    EXPECT_EQ(peer.Finish(2000), "");
}

TEST_F(PinPadTest, ThePacketLimitCountsDataBytesNotBytesOnTheWire) {
    pinpad.SetLogLevel(3);
    // 1,997 data bytes, every one escaped: close to 4,000 bytes on the wire.
    const Bytes fits = "GIN000" + RawBlock(Escapable(999)) + RawBlock(Escapable(986));
    ASSERT_LE(fits.size(), MaxPacketData);
    ASSERT_GT(TVexoAbecsPacket::StuffData(fits).size(), 2 * MaxPacketData - 200);
    Answer("GIN00200", fits);
    // 2,053 data bytes and few escapes: too big, refused like a damaged frame, three times.
    const Bytes tooBig = "GIN000" + RawBlock(Bytes(999, 'A')) + RawBlock(Bytes(999, 'B')) +
                         RawBlock(Bytes(20, 'C') + Escapable(20));
    ASSERT_GT(tooBig.size(), MaxPacketData);
    peer.Expect(Frame("GIN00200")).Send(kACK);
    for (int i = 0; i < 3; ++i)
        peer.Send(Frame(tooBig)).Expect(kNAK);
    Go();
    pinpad.GIN(0);
    ASSERT_EQ(pinpad.Response().Blocks().Count(), 2);
    EXPECT_EQ(pinpad.Response().Blocks().Items(0).Data(), Escapable(999));
    EXPECT_EQ(pinpad.Response().Blocks().Items(1).Data(), Escapable(986));
    EXPECT_EQ(ErrorOf([&] { pinpad.GIN(0); }), "Error reading Response");
    EXPECT_EQ(Count(log, "    EVexoAbecsPinPadError: Data Packet is Larger than 2048"), 3u);
    EXPECT_EQ(peer.Finish(), "");
}

// A PIN pad that never acknowledges: the same error whatever the port, and not the timeout class that
// hosts take for a cardholder who was too slow.
TEST_F(PinPadTest, NoAcknowledgementIsAnErrorOfTheLinkNotATimeout) {
    peer.Expect(Frame("GIN00200"));
    Go();
    try {
        pinpad.GIN(0);
        ADD_FAILURE() << "no error";
    } catch (const EVexoAbecsPinPadTimeout& e) {
        ADD_FAILURE() << "timeout class: " << e.Message();
    } catch (const EVexoAbecsPinPadError& e) {
        EXPECT_EQ(e.Message(), "Error reading ACK");
    }
    EXPECT_EQ(peer.Finish(), "");
}

} // namespace
} // namespace kestrel::test
