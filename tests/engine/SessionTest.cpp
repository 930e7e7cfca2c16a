#include "EngineTestSupport.h"

#include "device/VexoDevice.h"

namespace kestrel::test {
namespace {

using namespace vexo;

TEST_F(PinPadTest, CloLaysItsMessageOutAsOneOrTwoLines) {
    const Bytes ab = Bytes(7, ' ') + "AB" + Bytes(7, ' ');
    const Bytes cd = Bytes(7, ' ') + "CD" + Bytes(7, ' ');
    Answer("CLO", "CLO000");
    Answer("CLO016     Hello      ", "CLO000");
    Answer("CLO032" + ab + cd, "CLO000");
    Answer("CLO016" + ab, "CLO000");
    Answer("CLO032" + Bytes(16, ' ') + cd, "CLO000");
    Go();
    pinpad.CLO("");
    pinpad.CLO("Hello");
    pinpad.CLO("AB", "CD");
    pinpad.CLO("AB", "");
    pinpad.CLO("", "CD");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, ClxSendsAMediaNameOrAMessageForTheDisplay) {
    const auto mfname = [](const Bytes& AName) { return "CLX" + Block(Tlv(SPE_MFNAME, AName)); };
    for (const char* name : {"LOGO1234", "logo1234"}) {
        Answer(CapabilityRequest(), CapabilityResponse());
        Answer(mfname(name), "CLX000");
    }
    for (int i = 0; i < 2; ++i) {
        Answer(CapabilityRequest(), CapabilityResponse());
        Answer("CLX" + Block(Tlv(SPE_DSPMSG, "      LOGO      \r")), "CLX000");
    }
    Answer(CapabilityRequest(), CapabilityResponse());
    Answer("CLX", "CLX000");
    Go();
    pinpad.CLX("LOGO1234");
    pinpad.CLX("logo1234");
    pinpad.CLX("LOGO");
    pinpad.CLX("LOGO    ");
    pinpad.CLX("   ");
    EXPECT_EQ(peer.Finish(), "");
}

TEST_F(PinPadTest, GinAndGixSendTheirParameters) {
    Answer("GIN00200", "GIN000");
    Answer("GIN003100", "GIN000");
    Answer("GIX", "GIX000");
    Answer(Bytes("GIX006\x00\x01\x00\x02\x80\x01", 12), "GIX000");
    Answer(Bytes("GIX006\x00\x01\x00\x02\x80\x01", 12), "GIX000" + Block(Tlv(PP_SERNUM, "SN1")));
    // A block of raw data is GIN's: in a GIX answer it would be a damaged item.
    Answer("GIN00200", "GIN000" + Block("raw"));
    Go();
    pinpad.GIN(0);
    pinpad.GIN(100);
    pinpad.GIX();
    pinpad.GIX({PP_SERNUM});
    pinpad.SetLogLevel(5); // the blocks and their TLV items, both ways
    pinpad.GIX({PP_SERNUM});
    pinpad.GIN(0);
    EXPECT_EQ(peer.Finish(), "");
    for (const char* line :
         {"  Command, Blocks: 1", "    Block: 1, Size: 6, Data: \\x00\\x01\\x00\\x02\\x80\\x01",
          "      SPE_IDLIST, Size: 2, Data: \\x80\\x01", "  Response, Blocks: 1",
          "      PP_SERNUM, Size: 3, Data: SN1", "    Block: 1, Size: 3, Data: raw", "  SYN received"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("      "); }),
        2);
}

TEST_F(PinPadTest, CapabilitiesAreReadFromGix) {
    Answer(CapabilityRequest(), CapabilityResponse());
    Go();
    const TVexoAbecsPinPadCapabilities c = pinpad.GetPinPadCapabilities();
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(c.SerialNumber, "SN123");
    EXPECT_EQ(c.PartNumber, "PN-9");
    EXPECT_EQ(c.Model, "XYZ-100");
    EXPECT_EQ(c.Memory, "512KB");
    EXPECT_EQ(c.Manufacturer, "ACME");
    EXPECT_TRUE(c.SupportContactless && c.DisplayIsGraphic && c.DisplayIsColor);
    EXPECT_DOUBLE_EQ(c.SpecificationVersion, 2.12);
    EXPECT_EQ(c.DisplayTextModeDimensions, (TVexoAbecsDimension{2, 16}));
    EXPECT_EQ(c.DisplayGraphicPixels, (TVexoAbecsDimension{64, 128}));
    EXPECT_TRUE(c.MediaPNGisSupported && !c.MediaJPGisSupported && c.MediaGIFisSupported);
    // Cached: reading again costs no exchange (the peer would report a stray frame).
    EXPECT_EQ(pinpad.PinPadCapabilities(), c);
    EXPECT_EQ(pinpad.FormatSPE_DSPMSG("Hello"), "     Hello      \r");
}

TEST_F(PinPadTest, OddCapabilityValuesReadAsAbsent) {
    Answer(CapabilityRequest(),
           "GIX000" + Block(Tlv(PP_SERNUM, " S1 ") + Tlv(PP_MODEL, "M2") + Tlv(PP_SPECVER, "1.2,12") +
                            Tlv(PP_DSPTXTSZ, "2x16") + Tlv(PP_MFSUP, "01")));
    Go();
    const TVexoAbecsPinPadCapabilities c = pinpad.GetPinPadCapabilities();
    EXPECT_EQ(peer.Finish(), "");
    EXPECT_EQ(c.SerialNumber, "S1");
    EXPECT_EQ(c.Model, "M2");
    EXPECT_EQ(c.Memory, "");
    EXPECT_FALSE(c.SupportContactless || c.DisplayIsGraphic || c.DisplayIsColor);
    EXPECT_DOUBLE_EQ(c.SpecificationVersion, 12.12);
    EXPECT_EQ(c.DisplayTextModeDimensions, (TVexoAbecsDimension{0, 16}));
    EXPECT_EQ(c.DisplayGraphicPixels, (TVexoAbecsDimension{0, 0}));
    EXPECT_TRUE(!c.MediaPNGisSupported && c.MediaJPGisSupported && !c.MediaGIFisSupported);
}

TEST_F(PinPadTest, CapabilityCacheLifeCycle) {
    Answer("OPN", "OPN000");
    Answer(CapabilityRequest(), CapabilityResponse());
    Answer("CLO", "CLO000");
    Answer(CapabilityRequest(), CapabilityResponse(""));   // no serial number: not cached
    Answer(CapabilityRequest(), CapabilityResponse("S2")); // so asked again
    Go();
    pinpad.OPN();
    EXPECT_EQ(pinpad.PinPadCapabilities().SerialNumber, "SN123");
    pinpad.CLO("");
    EXPECT_EQ(pinpad.PinPadCapabilities().SerialNumber, "");
    EXPECT_EQ(pinpad.PinPadCapabilities().SerialNumber, "S2");
    EXPECT_EQ(peer.Finish(), "");
    pinpad.Disable();
    EXPECT_EQ(pinpad.FormatSPE_DSPMSG("Hello"), ""); // emptied with the change of state
}

TEST_F(PinPadTest, SecureOpenIsRefusedWithoutSending) {
    Go();
    EXPECT_EQ(ErrorOf([&] { pinpad.OPN("00FF", "010001"); }), "OPN Secure is not implemented yet");
    EXPECT_EQ(peer.Finish(), "");
}

TEST(PinPadDefaults, PropertiesStartWithTheirDefaults) {
    TVexoAbecsPinPad pinpad;
    EXPECT_EQ(pinpad.Device().Name(), "VexoDevice");
    EXPECT_EQ(pinpad.Port(), "");
    EXPECT_FALSE(pinpad.IsBusy() || pinpad.IsEnabled());
    EXPECT_EQ(pinpad.TimeOut(), 10000);
    EXPECT_EQ(pinpad.LogLevel(), 2);
    EXPECT_TRUE(pinpad.LogTranslate() && pinpad.MsgWordWrap());
    EXPECT_EQ(pinpad.MsgAlign(), TVexoAbecsMsgAlign::alCenter);
    EXPECT_EQ(pinpad.FormatMSG_S32("A\rB"), "       A               B        ");
}

} // namespace
} // namespace kestrel::test
