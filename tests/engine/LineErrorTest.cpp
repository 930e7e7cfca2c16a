// Damaged bytes and BREAKs on the line while the component waits for a response.
//
// What a pseudo-terminal does with a BREAK, found by trying it (Linux 6.x, raw termios as the serial
// port sets it, and with IGNBRK, BRKINT, PARMRK or INPCK|PARMRK on the slave): tcsendbreak succeeds on
// either side and nothing at all arrives on the other, as the pty driver has no break to pass on. A
// pty also keeps no line-error counters (TIOCGICOUNT answers ENOTTY). So a BREAK is tested here for
// real, and the driver's report of a damaged byte, which only a UART can make, comes from the one
// place it lives: the counters that TIOCGICOUNT returns for the component's own descriptor.
#include "EngineTestSupport.h"

#include "device/BlockSerial.h"
#include "device/VexoDevice.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

std::atomic<int> gCountedFd{-1};
std::atomic<int> gFrameErrors{0};

} // namespace

// The test binary's own ioctl: line-error counters for the descriptor under test, everything else
// passed on to the real one.
extern "C" int ioctl(int AFd, unsigned long ARequest, ...) __THROW {
    va_list args;
    va_start(args, ARequest);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (ARequest == TIOCGICOUNT && AFd >= 0 && AFd == gCountedFd.load()) {
        auto* counters = static_cast<serial_icounter_struct*>(argument);
        *counters = {};
        counters->frame = gFrameErrors.load();
        return 0;
    }
    using Real = int (*)(int, unsigned long, ...);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "ioctl"));
    return real(AFd, ARequest, argument);
}

namespace kestrel::test {
namespace {

using namespace vexo;

size_t Count(const std::vector<std::string>& ALog, const std::string& ALine) {
    return static_cast<size_t>(std::count(ALog.begin(), ALog.end(), ALine));
}

const std::string kFramingError = "    ESerialPortError: Communication error 9999: Receive framing error";

class LineErrorTest : public PinPadTest {
protected:
    void TearDown() override {
        gCountedFd = -1;
        gFrameErrors = 0;
        PinPadTest::TearDown();
    }

    // From the moment the component logs ALine, the driver counts one framing error more: the next
    // bytes the port reads are the damaged ones. The log line comes from the component's own thread
    // before its next read, so the timing is exact.
    void DamageTheReadAfter(const std::string& ALine) {
        pinpad.SetOnWriteLog([this, ALine](const std::string& ALogLine, bool&) {
            const std::string text =
                ALogLine.size() >= kStampLength ? ALogLine.substr(kStampLength) : ALogLine;
            log.push_back(text);
            if (text == ALine && gFrameErrors == 0) gFrameErrors = 1;
        });
        gCountedFd = pinpad.Device().Serial().Handle();
    }
};

// A UART reads a BREAK or a byte with a framing error as 00h and flags the error. Before SYN that byte
// is noise: dropped, logged, and the response that follows is read as usual, with no NAK and no CAN.
TEST_F(LineErrorTest, ADamagedByteBeforeSynIsDroppedAndTheWaitGoesOn) {
    pinpad.SetLogLevel(3);
    peer.Expect(Frame("GIN00200")).Send(kACK).Pause(100).Send(Bytes(1, '\0') + "\x7F" + Frame("GIN000"));
    Go();
    DamageTheReadAfter("  WaitForSYN");
    EXPECT_NO_THROW(pinpad.GIN(0));
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, kFramingError), 1u);
    EXPECT_EQ(Count(log, "    RX <- 127"), 1u);
    EXPECT_EQ(Count(log, "  TX -> NAK"), 0u);
    EXPECT_EQ(pinpad.Response().STAT(), 0);
}

// The same while a blocking command waits for the cardholder: the wait does not end, and the handler
// keeps being polled until the response comes.
TEST_F(LineErrorTest, ADamagedByteDoesNotEndABlockingWait) {
    peer.Expect(Frame("GKY")).Send(kACK).Pause(100).Send(Bytes(1, '\0')).Pause(1500).Send(Frame("GKY000"));
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = ++polls > 20; });
    Go();
    DamageTheReadAfter("  WaitForSYN");
    pinpad.Command().Clear();
    pinpad.Command().SetID("GKY");
    pinpad.Command().SetIsBlocking(true);
    pinpad.SetLogLevel(3);
    EXPECT_NO_THROW(pinpad.ExecCommand(false));
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, kFramingError), 1u);
    EXPECT_GE(polls, 2);
    EXPECT_EQ(Count(log, "  TX -> CAN"), 0u);
}

// Inside a frame a damaged byte spoils the frame: it is answered like any damaged frame, by NAK, and
// the repeated frame is taken.
TEST_F(LineErrorTest, ADamagedByteInsideTheFrameIsAnsweredByNak) {
    pinpad.SetLogLevel(3);
    const Bytes frame = Frame("GIN000");
    peer.Expect(Frame("GIN00200")).Send(kACK).Send(frame.substr(0, 1)).Pause(300).Send(frame.substr(1));
    peer.Expect(kNAK).Send(frame);
    Go();
    DamageTheReadAfter("  WaitForDataPacket");
    EXPECT_NO_THROW(pinpad.GIN(0));
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, kFramingError), 1u);
    EXPECT_EQ(Count(log, "  TX -> NAK"), 1u);
}

// A real BREAK from the far end of a pseudo-terminal, and garbage (00h bytes, the FF 00 00 that a
// port with PARMRK would make of a BREAK, DEL) before the response: the response is read intact.
TEST_F(LineErrorTest, ABreakAndGarbageBeforeTheResponseLeaveItIntact) {
    pinpad.SetLogLevel(3);
    peer.Expect(Frame("GKY")).Send(kACK).Pause(200).Break().Send(Bytes("\0\xFF\0\0\x7F\0", 6)).Break();
    peer.Send(Frame("GKY000"));
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = ++polls > 20; });
    Go();
    pinpad.Command().Clear();
    pinpad.Command().SetID("GKY");
    pinpad.Command().SetIsBlocking(true);
    EXPECT_NO_THROW(pinpad.ExecCommand(false));
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, "    RX <- 255"), 1u);
    EXPECT_EQ(Count(log, "    RX <- 127"), 1u);
    EXPECT_EQ(Count(log, "  DataPacket: GKY000"), 1u);
}

// A line that has really gone still ends the wait at once, damaged bytes or not.
TEST_F(LineErrorTest, AGoneLineStillEndsTheWait) {
    peer.Expect(Frame("GKY")).Send(kACK).Send(Bytes(1, '\0')).Pause(300).Hangup();
    int polls = 0;
    pinpad.SetOnWaitForResponse([&](bool& ACancel) { ACancel = ++polls > 10; });
    pinpad.SetLogLevel(3);
    Go();
    DamageTheReadAfter("  WaitForSYN");
    pinpad.Command().Clear();
    pinpad.Command().SetID("GKY");
    pinpad.Command().SetIsBlocking(true);
    try {
        pinpad.ExecCommand(false);
        ADD_FAILURE() << "no error";
    } catch (const ESerialPortError& e) {
        EXPECT_FALSE(TBlockSerial::IsLineError(e.ErrorCode())) << e.Message();
        EXPECT_NE(e.ErrorCode(), ErrTimeout);
    }
    EXPECT_LE(polls, 4);
}

} // namespace
} // namespace kestrel::test
