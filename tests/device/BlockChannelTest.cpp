// The channel's counted and terminated reads over a scripted packet source: the timeout bounds the
// whole read, a damaged packet is never handed out as good bytes, and nothing that arrived is lost.
#include "device/BlockChannel.h"
#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>

using namespace vexo;

namespace {

constexpr int kTimeout = 9;
constexpr int kDamaged = 7;

class EScripted : public EChannelError {
public:
    EScripted(int ACode, std::string AText) : EChannelError("Scripted", ACode, std::move(AText)) {}
};

// Each packet read takes the next scripted packet; a packet with a code sets that error. With
// Trickle, every read waits 30 ms (or what it is given, if less) and brings one byte, 40 times.
class TScriptedChannel : public TBlockChannel {
public:
    std::deque<std::pair<ByteString, int>> Packets;
    bool Trickle = false;
    int Trickled = 0;

    int TimeoutCode() const override { return kTimeout; }
    ByteString RecvPacket(int ATimeOut) override {
        ClearError();
        if (!LineBuffer.empty()) return std::exchange(LineBuffer, {});
        if (Trickle && Trickled < 40) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ATimeOut, 30)));
            if (ATimeOut < 30) return Timeout();
            ++Trickled;
            return "b";
        }
        if (Packets.empty()) return Timeout();
        auto [data, code] = Packets.front();
        Packets.pop_front();
        SetError(code);
        ExceptCheck();
        return data;
    }
    int SendBuffer(const char*, int ALength) override { return ALength; }
    int WaitingData() override { return 0; }
    void Purge() override {}

protected:
    [[noreturn]] void RaiseError() override { throw EScripted(LastError(), LastErrorDesc()); }
    std::string ErrorText(int ACode) const override { return "code " + std::to_string(ACode); }
    int MaxBufferCode() const override { return 5; }

private:
    ByteString Timeout() {
        SetError(kTimeout);
        ExceptCheck();
        return {};
    }
};

} // namespace

// A peer that sends a byte every 30 ms: were each wait given the full timeout again, these reads
// would only end when the peer stops, 40 bytes later.
TEST(BlockChannel, TheTimeoutBoundsTheWholeReadHoweverTheBytesTrickle) {
    TScriptedChannel channel;
    channel.Trickle = true;
    EXPECT_EQ(channel.RecvBufferStr(100, 150), "");
    EXPECT_EQ(channel.LastError(), kTimeout);
    EXPECT_EQ(channel.RecvTerminated(150, "\x03"), "");
    EXPECT_EQ(channel.LastError(), kTimeout);
    EXPECT_LT(channel.Trickled, 40);
    // Every byte that came is still there for the next read.
    EXPECT_EQ(channel.LineBuffer, ByteString(static_cast<size_t>(channel.Trickled), 'b'));
}

TEST(BlockChannel, ADamagedPacketIsDroppedWithItsErrorAndWhatCameBeforeIsKept) {
    TScriptedChannel channel;
    channel.Packets = {{"AB", 0}, {"C?", kDamaged}, {"DEF", 0}};
    EXPECT_EQ(channel.RecvBufferStr(4, 1000), "");
    EXPECT_EQ(channel.LastError(), kDamaged);
    EXPECT_EQ(channel.LineBuffer, "AB");
    EXPECT_EQ(channel.RecvBufferStr(4, 1000), "ABDE");
    EXPECT_EQ(channel.LineBuffer, "F");
    // Raised, the error leaves the bytes buffered all the same.
    channel.RaiseExcept = true;
    channel.Packets = {{"\x03", kDamaged}};
    EXPECT_THROW(channel.RecvTerminated(1000, "\x03"), EScripted);
    EXPECT_EQ(channel.LineBuffer, "F");
}

TEST(BlockChannel, ATerminatedReadKeepsWhatFollowsAndRefusesAnEndlessLine) {
    TScriptedChannel channel;
    channel.Packets = {{"OK\r", 0}, {"\nNEXT", 0}};
    EXPECT_EQ(channel.RecvString(1000), "OK");
    EXPECT_EQ(channel.LineBuffer, "NEXT");
    channel.MaxLineLength = 6;
    channel.Packets = {{"LONGER", 0}, {"STILL", 0}};
    EXPECT_EQ(channel.RecvString(1000), "");
    EXPECT_EQ(channel.LastError(), 5);
    EXPECT_EQ(channel.LineBuffer, "NEXTLONGER");
}
