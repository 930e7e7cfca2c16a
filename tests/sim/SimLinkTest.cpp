// The link as the host sees it: exact bytes for the worked frames, NAK for damaged frames,
// resends on NAK, CAN and EOT, and commands in several packets.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::sim::test {
namespace {

using namespace vexo;

class SimLink : public SimLinkFixture {};

TEST_F(SimLink, WorkedFramesGetTheExactAnswers) {
    Host().Write(Hex("16 4F 50 4E 17 A8 A9")); // OPN
    EXPECT_EQ(HexOf(Host().Read(11, 2000ms)), "06 16 4F 50 4E 30 30 30 17 77 5E ");
    Host().Write(Hex("16 47 49 4E 30 30 32 30 30 17 EE CA")); // GIN with block "00"
    const std::string gin = Unwrap(ReadAnswer(Host()));
    EXPECT_EQ(gin.substr(0, 9), "GIN000100");
    EXPECT_EQ(gin.size(), 109u);
    Sim().PressKey(0);
    Host().Write(Hex("16 47 4B 59 17 04 1C")); // GKY
    EXPECT_EQ(Unwrap(ReadAnswer(Host())), "GKY000");
    ExpectSilence();
}

TEST_F(SimLink, EscapedBytesTravelBothWays) {
    Profile profile = Profile::Graphic();
    profile.Items[PP_PARTNBR] = "A\x13\x16\x17"
                                "B";
    Start(profile);
    Host().Write(Frame("GIX" + Block(TLV(SPE_IDLIST, Hex("80 02")))));
    const ByteString answer = ReadAnswer(Host());
    EXPECT_NE(HexOf(answer).find("41 13 33 13 36 13 37 42 17 "), std::string::npos) << HexOf(answer);
    EXPECT_EQ(Unwrap(answer), "GIX000" + Block(TLV(PP_PARTNBR, "A\x13\x16\x17"
                                                               "B")));
    // A host's escaped display text comes back unescaped on the screen.
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Command("DSP" + Block("X\x13"
                                    "3Y")),
              "DSP000");
    EXPECT_EQ(Sim().Display().Lines[0], "X\x13"
                                        "3Y");
}

struct BadFrame {
    const char* Name;
    ByteString Bytes;
};

class SimBadFrames : public SimLinkFixture, public ::testing::WithParamInterface<BadFrame> {};

TEST_P(SimBadFrames, AreRefusedWithNakAndTheResendIsTaken) {
    Host().Write(GetParam().Bytes);
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "15 ");
    ExpectSilence();
    EXPECT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Sim().CommandsHandled(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimBadFrames,
    ::testing::Values(BadFrame{"BadCrc", Hex("16 4F 50 4E 17 A8 AA")},
                      BadFrame{"TooShort", Hex("16 4F 17 00 00")},
                      BadFrame{"CrcOverEscapedBytes",
                               Hex("16 41 13 33 17") +
                                   [] { return TVexoAbecsPacket::CalcCRC(Hex("41 13 33 17")); }()},
                      BadFrame{"NoEtb", Hex("16 4F 50 4E 30 30")},
                      // No packet escapes to this length: refused at once, the rest is noise.
                      BadFrame{"LongerThanAnyPacket", "\x16" + ByteString(5000, 'A')}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(SimLink, NoiseBeforeSynAndAnAbandonedFrameAreDropped) {
    Host().Write(Hex("00 41 06 04 16 4F 50") + Frame("OPN"));
    EXPECT_EQ(HexOf(Host().Read(11, 2000ms)), "06 16 4F 50 4E 30 30 30 17 77 5E ");
    ExpectSilence();
}

TEST_F(SimLink, ResponseIsSentAgainOnNakThreeSendsAtMost) {
    const ByteString first = ReadAnswer((Host().Write(Frame("OPN")), Host()));
    ASSERT_EQ(Unwrap(first), "OPN000");
    for (int resend = 0; resend < 2; ++resend) {
        Host().Write("\x15");
        EXPECT_EQ(Host().Read(first.size() - 1, 2000ms), first.substr(1));
    }
    Host().Write("\x15");
    ExpectSilence();
}

TEST_F(SimLink, NakWithNothingSentAndCanWhenIdle) {
    Host().Write("\x15");
    ExpectSilence();
    Host().Write("\x18");
    EXPECT_EQ(HexOf(Host().Read(1, 2000ms)), "04 ");
    ExpectSilence();
}

TEST_F(SimLink, UnreadableBlocksAreAnInvalidParameter) {
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Command("DSP005AB"), "DSP011");
    EXPECT_EQ(Command("DSPxyzAB"), "DSP011");
}

TEST_F(SimLink, MlrInTwoPacketsGetsTwoAnswers) {
    ASSERT_EQ(Command("OPN"), "OPN000");
    ByteString file = "\x89PNG\r\n\x1A\n" + ByteString(2492, 'p');
    const ByteString crc = TVexoAbecsPacket::CalcCRC(file);
    ASSERT_EQ(Command("MLI" + Block(TLV(SPE_MFNAME, "LOGO    ") +
                                    TLV(SPE_MFINFO, Hex("00 00 09 C4") + crc + Hex("01 00 00 00")))),
              "MLI000");
    // The host's split: two full blocks in the first packet, the rest in the second.
    EXPECT_EQ(Command("MLR" + Block(TLV(SPE_DATAIN, file.substr(0, 995))) +
                      Block(TLV(SPE_DATAIN, file.substr(995, 995)))),
              "MLR000");
    EXPECT_EQ(Command("MLR" + Block(TLV(SPE_DATAIN, file.substr(1990)))), "MLR000");
    EXPECT_EQ(Command("MLE"), "MLE000");
    ASSERT_TRUE(Sim().Media("LOGO"));
    EXPECT_EQ(Sim().Media("LOGO")->Data, file);
}

TEST_F(SimLink, ResponseLargerThanAPacketBecomesCode45) {
    Profile profile = Profile::Graphic();
    for (uint16_t id : {PP_MKTDESP, PP_MKTDESD, PP_DKPTTDESP})
        profile.Items[id] = ByteString(995, '1');
    Start(profile);
    EXPECT_EQ(Command("GIX"), "GIX045");
}

} // namespace
} // namespace kestrel::sim::test

namespace kestrel::sim::test {
namespace {

using namespace vexo;

// The data fields a host builds in its own worked examples, answered as a PIN pad would.
TEST_F(SimLink, HostWorkedExamplesAreAnswered) {
    // The capability request: 'GIX022', TLV 0001h of 18 bytes, nine ids; the items come back in
    // the order asked.
    const ByteString ids = Hex("80 01 80 02 80 03 80 04 80 05 80 07 80 20 80 21 80 22");
    const Profile profile = Profile::Graphic();
    SimReply expected("GIX", 0);
    for (size_t i = 0; i < ids.size(); i += 2) {
        const uint16_t id =
            uint16_t(static_cast<unsigned char>(ids[i]) << 8 | static_cast<unsigned char>(ids[i + 1]));
        expected.AddTLV(id, profile.Item(id));
    }
    EXPECT_EQ(Command("GIX022" + Hex("00 01 00 12") + ids), expected.DataField());
    ASSERT_EQ(Command("OPN"), "OPN000");

    // GCD with msgDigiteCPF and 60 seconds.
    Sim().TypeDigits("12345678901");
    EXPECT_EQ(Command("GCD" + Block(Hex("00 0B 00 02 00 07 00 0D 00 01 0B 00 0E 00 01 0B 00 0C 00 01 3C"))),
              "GCD000" + Block(TLV(PP_VALUE, "12345678901")));

    // DEX 'Hello' on two rows of 16, centred.
    EXPECT_EQ(Command("DEX" + Block("017     Hello      \r")), "DEX000");
    EXPECT_EQ(Sim().Display().Lines[0], "     Hello      ");

    // MLI of a 1234-byte PNG whose CRC is 31C3h, then its data in one MLR, then MLE: the file
    // does not match the CRC it was announced with.
    EXPECT_EQ(Command("MLI" + Block(TLV(SPE_MFNAME, "LOGO1234") +
                                    TLV(SPE_MFINFO, Hex("00 00 04 D2 31 C3 01 00 00 00")))),
              "MLI000");
    ByteString file = "\x89PNG\r\n\x1A\n" + ByteString(1226, 'x');
    EXPECT_EQ(Command("MLR" + Block(TLV(SPE_DATAIN, file.substr(0, 995))) +
                      Block(TLV(SPE_DATAIN, file.substr(995)))),
              "MLR000");
    EXPECT_EQ(Command("MLE"), "MLE102");

    // CLX with a lower-case media name finds the stored upper-case one.
    const ByteString crc = TVexoAbecsPacket::CalcCRC(file);
    ASSERT_EQ(Command("MLI" + Block(TLV(SPE_MFNAME, "LOGO1234") +
                                    TLV(SPE_MFINFO, Hex("00 00 04 D2") + crc + Hex("01 00 00 00")))),
              "MLI000");
    ASSERT_EQ(Command("MLR" + Block(TLV(SPE_DATAIN, file.substr(0, 995))) +
                      Block(TLV(SPE_DATAIN, file.substr(995)))),
              "MLR000");
    ASSERT_EQ(Command("MLE"), "MLE000");
    EXPECT_EQ(Command("CLX" + Block(TLV(SPE_MFNAME, "logo1234"))), "CLX000");
    EXPECT_EQ(Sim().Display().Picture, "LOGO1234");

    // DMF with the two names 'LOGO    ' and 'QR1     ': one unknown, nothing deleted.
    ASSERT_EQ(Command("OPN"), "OPN000");
    EXPECT_EQ(Command("DMF" + Block(TLV(SPE_MFNAME, "LOGO    ") + TLV(SPE_MFNAME, "QR1     "))), "DMF100");
    EXPECT_EQ(Sim().MediaNames(), std::vector<std::string>{"LOGO1234"});
}

} // namespace
} // namespace kestrel::sim::test
