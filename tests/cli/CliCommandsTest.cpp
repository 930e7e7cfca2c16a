// Every subcommand against the simulated PIN pad, over a pseudo-terminal and over TCP: what the
// PIN pad then shows or holds, the text and JSON outputs, and the exit statuses.
#include "CliTestSupport.h"
#include "media/Picture.h"
#include "media/PictureCodecs.h"

namespace kestrel::cli::test {
namespace {

class CliCommands : public SimulatorFixture {
public:
    // Runs a command with --json and checks it printed exactly one object.
    std::string Json(std::vector<std::string> AArgs, int AStatus = 0) {
        AArgs.insert(AArgs.begin(), "--json");
        const Finished run = Cli(AArgs);
        EXPECT_EQ(run.Status, AStatus) << run.Out << run.Err;
        EXPECT_EQ(JsonLines(run.Out), 1) << run.Out;
        return run.Out;
    }

    std::string Picture(const std::string& AName) {
        const std::string path = TempPath(AName);
        kestrel::media::Picture picture = kestrel::media::MakePicture(40, 30, 0x2080C0FFu);
        WriteFile(path, kestrel::media::EncodePng(picture));
        return path;
    }
};

TEST_P(CliCommands, OpnOpensTheSessionAndReportsItsOwnAnswer) {
    const Finished run = Cli({"opn"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("OPN 000 Command executed successfully.", 0), 0u) << run.Out;
    EXPECT_TRUE(Sim().SessionOpen());
    const std::string json = Json({"opn"});
    EXPECT_EQ(JsonGet(json, "d['command'], d['outcome'], d['exit_code'], d['response'], d['return_code']"),
              "opn ok 0 OPN 0");
    EXPECT_EQ(JsonGet(json, "d['return_text']"), "Command executed successfully.");
    EXPECT_EQ(JsonGet(json, "type(d['elapsed_ms']).__name__"), "int");
}

TEST_P(CliCommands, GixListsItemsByNameInTheOrderTheyCame) {
    const std::string json = Json({"gix", "PP_MODEL", "sernum", "0x8004"});
    EXPECT_EQ(JsonGet(json, "[i['name'] for i in d['result']['items']]"),
              "['PP_MODEL', 'PP_SERNUM', 'PP_MNNAME']");
    EXPECT_EQ(JsonGet(json, "d['result']['items'][1]['id']"), "0x8001");
    // The PIN pad's serial number is no card's: it is shown as it is.
    EXPECT_EQ(JsonGet(json, "d['result']['items'][1]['value']"), "KS20260000000001");
    const Finished text = Cli({"gix", "PP_MNNAME"});
    EXPECT_EQ(text.Status, 0);
    EXPECT_NE(text.Out.find("  PP_MNNAME = \"KESTREL\""), std::string::npos) << text.Out;
    EXPECT_EQ(Cli({"-q", "gix", "PP_MNNAME"}).Out, "KESTREL\n");
    EXPECT_GT(std::stoi(JsonGet(Json({"gix"}), "len(d['result']['items'])")), 10);
}

TEST_P(CliCommands, CapsAndGinDescribeThePinPad) {
    const std::string caps = Json({"caps"});
    EXPECT_EQ(JsonGet(caps, "d['result']['model'], *[d['result'][k] for k in ('text_rows', 'text_cols', "
                            "'pixel_cols', 'pixel_rows', 'png', 'gif', 'specification_version')]"),
              "KESTREL SIM G320 8 16 320 240 True False 2.12");
    const Finished text = Cli({"caps"});
    EXPECT_NE(text.Out.find("graphic_display: yes"), std::string::npos) << text.Out;
    const std::string gin = Json({"gin", "0"});
    EXPECT_NE(JsonGet(gin, "d['result']['data']").find("KESTREL SIM G320"), std::string::npos);
}

TEST_P(CliCommands, DisplayCommandsReachTheScreen) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    EXPECT_EQ(Cli({"dsp", "HELLO", "WORLD"}).Status, 0);
    auto lines = Sim().Display().Lines;
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "     HELLO      ");
    EXPECT_EQ(lines[1], "     WORLD      ");
    EXPECT_EQ(Cli({"dex", "FIRST\nSECOND\nTHIRD"}).Status, 0);
    lines = Sim().Display().Lines;
    EXPECT_EQ(lines[2], "     THIRD      ");
    // Without a card inserted RMC ends at once.
    EXPECT_EQ(JsonGet(Json({"rmc", "REMOVE CARD"}), "d['response'], d['return_code']"), "RMC 0");
    EXPECT_EQ(Cli({"clo", "BYE"}).Status, 0);
    EXPECT_FALSE(Sim().SessionOpen());
    EXPECT_EQ(Sim().Display().Lines[0], "      BYE       ");
}

TEST_P(CliCommands, CardholderCommandsGiveWhatTheCardholderDid) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    Sim().PressKey(4);
    const std::string gky = Json({"gky"});
    EXPECT_EQ(JsonGet(gky, "d['result']['key'], d['result']['key_name'], d['return_code']"), "4 F1 4");
    Sim().PressKey(8);
    EXPECT_EQ(Cli({"-q", "gky"}).Out, "CLEAR\n");

    Sim().TypeDigits("12345678901");
    EXPECT_EQ(JsonGet(Json({"gcd", "msgDigiteCPF", "--wait", "30"}), "d['result']['value']"), "12345678901");
    Sim().TypeDigits("77");
    EXPECT_EQ(Cli({"-q", "gcd", "29", "--min", "2", "--max", "4"}).Out, "77\n");

    Sim().ChooseOption(2);
    const std::string mnu = Json({"mnu", "ONE", "TWO", "THREE", "--title", "PICK ONE"});
    EXPECT_EQ(JsonGet(mnu, "int(d['result']['choice']), d['result']['option']"), "2 TWO");

    Sim().PressKey(0);
    EXPECT_EQ(
        JsonGet(Json({"cex", "--key", "--wait", "30"}), "d['result']['event'], d['result']['event_name']"),
        "00 ENTER key");
}

TEST_P(CliCommands, CardDataIsMaskedUnlessAskedFor) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    // The PIN pad is asked to leave the whole card number in clear: the output still hides it.
    Sim().SwipeCard();
    const Finished masked = Cli({"--json", "cex", "--mag", "--panmask", "1604"});
    EXPECT_EQ(masked.Status, 0) << masked.Err;
    EXPECT_EQ(JsonGet(masked.Out, "d['result']['event']"), "90");
    EXPECT_EQ(masked.Out.find("4761739001010010"), std::string::npos) << masked.Out;
    EXPECT_EQ(masked.Out.find("KESTREL/TEST CARD"), std::string::npos) << masked.Out;
    EXPECT_NE(masked.Out.find("476173******0010"), std::string::npos) << masked.Out;

    Sim().SwipeCard();
    const Finished text = Cli({"cex", "--mag", "--panmask", "1604"});
    EXPECT_EQ(text.Out.find("4761739001010010"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("PP_TRK1INC"), std::string::npos) << text.Out;

    Sim().SwipeCard();
    const Finished clear = Cli({"--no-mask", "cex", "--mag", "--panmask", "1604"});
    EXPECT_NE(clear.Out.find("4761739001010010"), std::string::npos) << clear.Out;
    EXPECT_NE(clear.Out.find("KESTREL/TEST CARD"), std::string::npos) << clear.Out;

    // A card number typed in GCD is card data too.
    Sim().TypeDigits("4761739001010010");
    EXPECT_EQ(Cli({"-q", "gcd", "msgDigiteNumeroCartao", "--max", "19"}).Out, "476173******0010\n");
}

TEST_P(CliCommands, MediaFilesAreUploadedShownListedAndDeleted) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const std::string upload = Json({"upload", Picture("Logo.png"), "--show"});
    EXPECT_EQ(JsonGet(upload, "d['result']['name'], d['result']['type'], d['response']"), "LOGO PNG DSI");
    EXPECT_EQ(JsonGet(upload, "repr(d['result']['raw_name'])"), "'LOGO    '");
    ASSERT_TRUE(Sim().Media("LOGO").has_value());
    EXPECT_EQ(Sim().Media("LOGO")->Type, 1);
    EXPECT_EQ(Sim().Display().Picture.substr(0, 4), "LOGO");

    const std::string qr = Json({"qr", "https://example.com/pay?id=42", "--name", "PAYQR", "--show"});
    EXPECT_EQ(JsonGet(qr, "d['result']['side']"), "220"); // 240 pixel rows less 20, as the window makes it
    const auto stored = Sim().Media("PAYQR");
    ASSERT_TRUE(stored.has_value());
    const auto picture = kestrel::media::DecodePng(stored->Data);
    EXPECT_EQ(picture.Width, 220);
    EXPECT_EQ(picture.Height, 220);

    // Names without their padding, and as the PIN pad sent them beside.
    const std::string list = Json({"lmf"});
    EXPECT_EQ(JsonGet(list, "d['result']['files']"), "['LOGO', 'PAYQR']");
    EXPECT_EQ(JsonGet(list, "d['result']['raw_names']"), "['LOGO    ', 'PAYQR   ']");
    EXPECT_NE(Cli({"lmf"}).Out.find("\n  LOGO\n  PAYQR\n"), std::string::npos);
    EXPECT_EQ(Cli({"-q", "lmf"}).Out, "LOGO\nPAYQR\n");
    EXPECT_EQ(Cli({"dsi", "payqr"}).Status, 0);
    EXPECT_EQ(Sim().Display().Picture.substr(0, 5), "PAYQR");
    EXPECT_EQ(Cli({"clx", "LOGO    "}).Status, 0);
    EXPECT_EQ(Cli({"opn"}).Status, 0);
    EXPECT_EQ(Cli({"dmf", "LOGO", "PAYQR"}).Status, 0);
    EXPECT_TRUE(Sim().MediaNames().empty());
    const Finished none = Cli({"lmf"});
    EXPECT_NE(none.Out.find("(no media files)"), std::string::npos);
}

// IHDR's bit depth and colour type of a stored PNG.
std::string PngForm(const kestrel::sim::SimulatorRunner& ASim, const std::string& AName) {
    const auto stored = ASim.Media(AName);
    if (!stored || stored->Data.size() < 26) return "none";
    return std::to_string(int(static_cast<unsigned char>(stored->Data[24]))) + "/" +
           std::to_string(int(static_cast<unsigned char>(stored->Data[25])));
}

TEST_P(CliCommands, PngFormScalingAndAsIs) {
    kestrel::sim::Profile rgb8 = kestrel::sim::Profile::Graphic();
    rgb8.Set("png_form", "rgb8");
    Start(rgb8);
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const std::string url = "https://example.com/pay?id=42";
    EXPECT_EQ(Cli({"qr", url, "--name", "SMALL"}).Status, 111) << "this PIN pad refuses a 1-bit PNG: 101";
    EXPECT_EQ(PngForm(Sim(), "SMALL"), "none");
    EXPECT_EQ(Cli({"qr", url, "--name", "RGB", "--png-form", "rgb8"}).Status, 0);
    EXPECT_EQ(PngForm(Sim(), "RGB"), "8/2");
    EXPECT_EQ(Cli({"qr", url, "--png-form", "16bit"}).Status, 2);

    Start(kestrel::sim::Profile::Graphic());
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    EXPECT_EQ(Cli({"qr", url, "--name", "SMALL"}).Status, 0);
    EXPECT_EQ(PngForm(Sim(), "SMALL"), "1/0") << "1-bit greyscale by default";

    // A picture wider than the display comes down to it, proportions kept, and says so.
    const std::string wide = TempPath("wide.png");
    const std::string bytes = kestrel::media::EncodePng(kestrel::media::MakePicture(960, 360, 0x2080C0FFu));
    WriteFile(wide, bytes);
    const std::string json = Json({"upload", wide});
    EXPECT_NE(JsonGet(json, "d['result']['notes'][0]").find("scaled down to 320 x 120 to fit"),
              std::string::npos)
        << json;
    const auto sent = kestrel::media::DecodePng(Sim().Media("WIDE")->Data);
    EXPECT_EQ(sent.Width, 320);
    EXPECT_EQ(sent.Height, 120);
    EXPECT_EQ(Cli({"upload", wide, "--as-is", "--name", "ASIS"}).Status, 0);
    EXPECT_EQ(Sim().Media("ASIS")->Data, bytes);
}

// Every upload asks the PIN pad what it takes first, as the window does: --as-is as well, so a picture
// larger than the display is named; a JPEG goes as PNG to a PIN pad that takes no JPEG, and a QR code
// as JPEG to one that takes no PNG.
TEST_P(CliCommands, UploadsAskThePinPadWhatItTakes) {
    kestrel::sim::Profile pngOnly = kestrel::sim::Profile::Graphic();
    pngOnly.Jpeg = false;
    Start(pngOnly);
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const std::string wide = TempPath("wide.png");
    WriteFile(wide, kestrel::media::EncodePng(kestrel::media::MakePicture(960, 360, 0x2080C0FFu)));
    const std::string asIs = Json({"upload", wide, "--as-is", "--name", "ASIS"});
    EXPECT_NE(JsonGet(asIs, "d['result']['notes'][0]").find("sent as it is, as asked"), std::string::npos)
        << asIs;

    // Noise, so the file's own JPEG bytes are smaller than any PNG of it.
    kestrel::media::Picture noise = kestrel::media::MakePicture(64, 48);
    uint64_t state = 42;
    for (size_t i = 0; i < noise.Pixels.size(); ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        noise.Pixels[i] = static_cast<uint8_t>(i % 4 == 3 ? 255 : state >> 56);
    }
    const std::string photo = TempPath("photo.jpg");
    WriteFile(photo, kestrel::media::EncodeJpeg(noise, 75));
    const std::string json = Json({"upload", photo});
    EXPECT_EQ(JsonGet(json, "d['result']['type']"), "PNG") << json;
    EXPECT_NE(JsonGet(json, "d['result']['notes'][0]").find("takes no JPEG"), std::string::npos) << json;
    ASSERT_TRUE(Sim().Media("PHOTO").has_value());
    EXPECT_EQ(Sim().Media("PHOTO")->Type, 1);

    kestrel::sim::Profile jpegOnly = kestrel::sim::Profile::Graphic();
    jpegOnly.Png = false;
    Start(jpegOnly);
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const std::string qr = Json({"qr", "https://example.com/pay?id=42", "--name", "PAYQR"});
    EXPECT_EQ(JsonGet(qr, "d['result']['type'], d['result']['side']"), "JPEG 220") << qr;
    EXPECT_EQ(Sim().Media("PAYQR")->Type, 2);
}

// The limits of GCD and MNU are refused before anything goes out, with the limit named.
TEST_P(CliCommands, InteractiveLimitsAreRefusedBeforeSending) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const size_t before = Sim().CommandsHandled();
    const Finished gcd = Cli({"gcd", "7", "--max", "33"});
    EXPECT_EQ(gcd.Status, 2);
    EXPECT_NE(gcd.Err.find("--max must be from 0 (not sent) to 32, not 33"), std::string::npos) << gcd.Err;
    const Finished mnu = Cli({"mnu", "ONE", std::string(25, 'X')});
    EXPECT_EQ(mnu.Status, 2);
    EXPECT_NE(mnu.Err.find("longer than 24 characters"), std::string::npos) << mnu.Err;
    EXPECT_EQ(Sim().CommandsHandled(), before);
}

// Text the display cannot hold is never dropped without a word: a warning names it, --strict refuses
// it before anything goes out.
TEST_P(CliCommands, TextThatDoesNotFitIsNamedOrRefused) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const Finished cut = Cli({"dsp", "THIS LINE IS WAY TOO LONG FOR 16 CHARS"});
    EXPECT_EQ(cut.Status, 0) << cut.Err;
    EXPECT_NE(
        cut.Err.find("kestrel-cli: dsp: warning: 5 character(s) did not fit two lines of 16 and were not "
                     "sent: \"CHARS\""),
        std::string::npos)
        << cut.Err;
    EXPECT_EQ(Sim().Display().Lines[1], "TOO LONG FOR 16 ");
    const std::string json = Json({"dsp", "THIS LINE IS WAY TOO LONG FOR 16 CHARS"});
    EXPECT_NE(JsonGet(json, "d['warnings'][0]").find("\"CHARS\""), std::string::npos) << json;

    const size_t before = Sim().CommandsHandled();
    const Finished strict = Cli({"dsp", "--strict", "SHORT", "AND A LINE MUCH TOO LONG"});
    EXPECT_EQ(strict.Status, 2) << strict.Err;
    EXPECT_EQ(Sim().CommandsHandled(), before) << "refused before the port was opened";

    // DEX: the display's own size, learnt from the PIN pad; under --strict DEX is not sent.
    const std::string lines(400, 'X');
    const Finished dex = Cli({"dex", lines});
    EXPECT_EQ(dex.Status, 0);
    EXPECT_NE(dex.Err.find("dex: warning: "), std::string::npos) << dex.Err;
    const Finished dexStrict = Cli({"--json", "dex", "--strict", lines});
    EXPECT_EQ(dexStrict.Status, 2) << dexStrict.Out;
    EXPECT_EQ(JsonGet(dexStrict.Out, "d['outcome'], d['response']"), "bad-arguments GIX");
}

TEST_P(CliCommands, PinPadReturnCodesBecomeTheirExitStatuses) {
    ASSERT_EQ(Cli({"opn"}).Status, 0);
    const std::string missing = Json({"dsi", "NOTHERE"}, 110);
    EXPECT_EQ(JsonGet(missing, "d['outcome'], d['return_code'], d['error_class']"),
              "pinpad-error 100 EVexoAbecsPinPadError");
    EXPECT_EQ(JsonGet(missing, "d['error']"), "Error: 100 - Media file not found.");
    const Finished text = Cli({"dsi", "NOTHERE"});
    EXPECT_EQ(text.Status, 110);
    EXPECT_NE(text.Err.find("kestrel-cli: dsi: Error: 100 - Media file not found."), std::string::npos)
        << text.Err;

    Sim().PressKey(13); // CANCEL ends the entry
    EXPECT_EQ(Cli({"gcd", "msgDigiteCPF"}).Status, 23);
    // An acquirer index the simulator does not have is refused with 011.
    EXPECT_EQ(Cli({"gin", "5"}).Status, 21);
}

TEST_P(CliCommands, LinkTroubleHasItsOwnStatuses) {
    Sim().AddFault("silent@GIX");
    const std::string timeout = Json({"--timeout", "1200", "gix", "PP_SERNUM"}, 4);
    EXPECT_EQ(JsonGet(timeout, "d['outcome'], d['response'], d['return_code']"), "link-timeout None None");
    EXPECT_EQ(JsonGet(timeout, "d['error']"), "Timeout reading Response");
    Sim().AddFault("crc:3@GIX");
    EXPECT_EQ(Cli({"gix", "PP_SERNUM"}).Status, 5);
    // And the next command is served again.
    EXPECT_EQ(Cli({"gix", "PP_SERNUM"}).Status, 0);
}

TEST_P(CliCommands, AnItemCutShortIsALinkErrorNamingItsOffset) {
    // The serial number's item says more bytes than the response carries.
    Sim().AddFault("shorttlv:2@GIX");
    const std::string cut = Json({"gix", "PP_SERNUM"}, 5);
    EXPECT_EQ(JsonGet(cut, "d['outcome']"), "link-error");
    EXPECT_EQ(JsonGet(cut, "d['error'].startswith('Invalid Block (at byte 9: TLV 8001h announces ')"), "True")
        << cut;
    EXPECT_EQ(JsonGet(cut, "'items' in d.get('result', {})"), "False") << cut;
    Sim().AddFault("shorttlv:2@GIX");
    const Finished text = Cli({"gix"});
    EXPECT_EQ(text.Status, 5);
    EXPECT_NE(text.Err.find("Invalid Block (at byte "), std::string::npos) << text.Err;
    EXPECT_EQ(text.Out.find("Command executed successfully"), std::string::npos) << text.Out;
    EXPECT_EQ(Cli({"gix"}).Status, 0) << "the fault is used up";
}

INSTANTIATE_TEST_SUITE_P(Transports, CliCommands, ::testing::Values(Transport::Pty, Transport::Tcp),
                         TransportName);

// Port lists and detection probe serial devices, which only the pseudo-terminal is.
class CliPorts : public SimulatorFixture {};

TEST_P(CliPorts, PortsAndDetectUseTheSerialCandidatesGiven) {
    const std::string missing = TempPath("no-such-tty");
    const std::map<std::string, std::string> env{{"KESTREL_SERIAL_PORTS", missing + ":" + Port()}};
    const Finished ports = RunCli({"--json", "ports"}, env);
    EXPECT_EQ(ports.Status, 0) << ports.Err;
    EXPECT_EQ(JsonGet(ports.Out, "d['result']['serial']"), "['" + Port() + "']");
    EXPECT_EQ(JsonGet(ports.Out, "sorted(d['result'].keys())"), "['bluetooth', 'printers', 'serial', 'usb']");
    EXPECT_EQ(Received(), 0) << "listing ports sends nothing" << TraceText();

    const Finished detect = RunCli({"detect"}, env);
    EXPECT_EQ(detect.Status, 0) << detect.Err;
    EXPECT_EQ(detect.Out, "PinPad Found on " + Port() + "\n");
    EXPECT_FALSE(Sim().SessionOpen()) << "detection closes the session it opened";

    const Finished none = RunCli({"--json", "detect"}, {{"KESTREL_SERIAL_PORTS", missing}});
    EXPECT_EQ(none.Status, 3);
    EXPECT_EQ(JsonGet(none.Out, "d['error'], d['result']['port']"), "PinPad not Found None");
}

INSTANTIATE_TEST_SUITE_P(Pty, CliPorts, ::testing::Values(Transport::Pty), TransportName);

} // namespace
} // namespace kestrel::cli::test
