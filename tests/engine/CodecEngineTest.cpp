// The component reads responses with the one codec and the one packet limit: a frame of escaped
// bytes whose data fit the limit is taken, one over it is refused as a damaged frame, and a TLV
// item cut short ends the command with the offset of the fault.
#include "EngineTestSupport.h"

#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::test {
namespace {

using namespace vexo;

size_t Count(const std::vector<std::string>& ALog, const std::string& ALine) {
    return static_cast<size_t>(std::count(ALog.begin(), ALog.end(), ALine));
}

// Block data made only of the three bytes that travel escaped.
Bytes Escaped(size_t ASize) {
    Bytes out;
    while (out.size() < ASize)
        out += "\x13\x16\x17"[out.size() % 3];
    return out;
}

TEST_F(PinPadTest, AResponseOfTwoThousandEscapedBytesIsTaken) {
    const Bytes response = "GIN000" + Block(Escaped(997)) + Block(Escaped(991));
    ASSERT_EQ(response.size(), 2000u);
    ASSERT_GT(Frame(response).size(), 3900u);
    Answer("GIN00200", response);
    Go();
    pinpad.GIN(0);
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(pinpad.Response().GetResponseData(), Escaped(997) + Escaped(991));
}

TEST_F(PinPadTest, AResponseOverTheLimitIsADamagedFrameEveryTime) {
    pinpad.SetLogLevel(3);
    // Plain bytes, so that only the count of data bytes can refuse it.
    const Bytes over = "GIN000" + Bytes(MaxPacketData - 5, 'A');
    peer.Expect(Frame("GIN00200")).Send(kACK);
    for (int i = 0; i < 3; ++i)
        peer.Send(Frame(over)).Expect(kNAK);
    Go();
    EXPECT_EQ(ErrorOf([&] { pinpad.GIN(0); }), "Error reading Response");
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(Count(log, "    EVexoAbecsPinPadError: Data Packet is Larger than 2048"), 3u);
}

TEST_F(PinPadTest, AnItemCutShortEndsTheCommandWithItsOffset) {
    // GIX whose serial number says 10 bytes and carries 8: a good frame, so it is not sent again.
    const Bytes item = Tlv(PP_SERNUM, "1234567890");
    Answer("GIX", "GIX000" + Block(item.substr(0, item.size() - 2)));
    Answer("GIX", "GIX000" + Block(item));
    int ends = 0;
    pinpad.SetOnEndCommand([&](TComponent*) { ++ends; });
    Go();
    EXPECT_EQ(ErrorOf([&] { pinpad.GIX(); }), "Invalid Block (at byte 9: TLV 8001h announces 10 bytes, 8 follow)");
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(
        Count(log,
              "EVexoAbecsPinPadError: Invalid Block (at byte 9: TLV 8001h announces 10 bytes, 8 follow)"),
        1u);
    pinpad.GIX();
    EXPECT_EQ(pinpad.Response().GetResponseFromTagValue(PP_SERNUM), "1234567890");
    EXPECT_EQ(peer.Finish(), "");
}

} // namespace
} // namespace kestrel::test
