// The simulated PIN pad reads data fields with the message core's codec: every malformed shape
// of the shared table is answered as a PIN pad answers a malformed command, and its own faults
// and limits are those of the host.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"
#include "tests/support/MalformedFields.h"
#include <mutex>

namespace kestrel::sim::test {
namespace {

using namespace vexo;

class SimCodec : public SimLinkFixture {
protected:
    void SetUp() override {
        fRunner = std::make_unique<SimulatorRunner>(Profile::Graphic());
        fRunner->SetTimeScale(0.01);
        fRunner->SetTrace([this](const std::string& ALine) {
            std::lock_guard lock(fMutex);
            fLines.push_back(ALine);
        });
        fHost.emplace(fRunner->StartInProcess());
    }
    bool Traced(const std::string& AText) {
        std::lock_guard lock(fMutex);
        for (const auto& line : fLines)
            if (line.find(AText) != std::string::npos) return true;
        return false;
    }

    std::mutex fMutex;
    std::vector<std::string> fLines;
};

TEST_F(SimCodec, EveryMalformedShapeIsAnsweredWithInvalidParameter) {
    for (const auto& c : kestrel::test::MalformedFields()) {
        EXPECT_EQ(Command("GIX" + c.Blocks), "GIX011") << c.Name;
        const std::string at = "malformed command, at byte " + std::to_string(3 + c.Offset) + ": ";
        EXPECT_TRUE(Eventually([&] { return Traced(at); }, 1000ms)) << c.Name << " " << at;
    }
    // The well-formed field is taken: the ids it asks for are answered.
    const std::string good = Command("GIX" + kestrel::test::WellFormedBlocks());
    EXPECT_EQ(good.substr(0, 6), "GIX000") << good;
}

TEST_F(SimCodec, ShortTlvFaultCutsTheLastItemOfTheResponse) {
    Sim().AddFault("shorttlv:2@GIX");
    const std::string answer = Command("GIX" + Block(TLV(SPE_IDLIST, Hex("80 22"))));
    // PP_MFSUP says 3 bytes ("110") and carries 1: the item runs 2 bytes past its block.
    EXPECT_EQ(answer, "GIX000005" + Hex("80 22 00 03") + "1");
    EXPECT_TRUE(Traced("cut 2 bytes short"));
    // Used up: the next GIX is whole again.
    EXPECT_EQ(Command("GIX" + Block(TLV(SPE_IDLIST, Hex("80 22")))), "GIX000" + Block(TLV(PP_MFSUP, "110")));
    // An answer without items has nothing to cut, and says so.
    Sim().AddFault("shorttlv@OPN");
    EXPECT_EQ(Command("OPN"), "OPN000");
    EXPECT_TRUE(Eventually([&] { return Traced("no TLV item to cut short in OPN"); }, 1000ms));
}

TEST_F(SimCodec, TheLimitCountsDataBeforeEscaping) {
    // 1,990 bytes that all need escaping make a frame of about 4,000 bytes: still one packet.
    ByteString text;
    while (text.size() < 990)
        text += "\x13\x16\x17"[text.size() % 3];
    const ByteString big = TLV(SPE_DSPMSG, text);
    ByteString data = "XYZ" + Block(big) + Block(big);
    ASSERT_LE(data.size(), MaxPacketData);
    ASSERT_GT(Frame(data).size(), 3900u);
    EXPECT_EQ(Command(data), "ERR010") << "an unknown command, but a good frame";
    // One data byte over the limit is refused however it is escaped.
    const ByteString over = "XYZ" + ByteString(MaxPacketData - 2, 'A');
    Host().Write(Frame(over));
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "15 ");
    ExpectSilence();
}

} // namespace
} // namespace kestrel::sim::test
