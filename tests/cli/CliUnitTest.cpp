// The pieces of kestrel-cli that need no PIN pad: the session script's words, the exit statuses,
// the progress bar and the argument checks.
#include "CliTestSupport.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel::cli::test {
namespace {

TEST(CliScript, WordsSplitAsAShellSplitsThem) {
    const auto lines = ParseScript("# a comment line\n"
                                   "\n"
                                   "dsp 'HELLO WORLD' \"SAY \\\"HI\\\"\"   # trailing comment\r\n"
                                   "  mnu ONE TWO --title \"A\\nB\" it\\'s \"\" x#y\n"
                                   "gky");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Number, 3);
    EXPECT_EQ(lines[0].Words, (std::vector<std::string>{"dsp", "HELLO WORLD", "SAY \"HI\""}));
    EXPECT_EQ(lines[1].Number, 4);
    EXPECT_EQ(lines[1].Words,
              (std::vector<std::string>{"mnu", "ONE", "TWO", "--title", "A\nB", "it's", "", "x#y"}));
    EXPECT_EQ(lines[2].Words, std::vector<std::string>{"gky"});
}

TEST(CliScript, AnUnclosedQuoteNamesItsLine) {
    for (const char* text : {"opn\ndsp 'open", "opn\n\ndsp \"open"}) {
        try {
            ParseScript(text);
            ADD_FAILURE() << text;
        } catch (const BadArguments& e) {
            EXPECT_NE(std::string(e.what()).find("line "), std::string::npos) << e.what();
        }
    }
}

TEST(CliExitCodes, ReturnCodesFoldIntoTheirOwnRange) {
    EXPECT_EQ(ExitCodeFor(Outcome::Ok), 0);
    EXPECT_EQ(ExitCodeFor(Outcome::BadArguments), 2);
    EXPECT_EQ(ExitCodeFor(Outcome::PortNotOpen), 3);
    EXPECT_EQ(ExitCodeFor(Outcome::LinkTimeout), 4);
    EXPECT_EQ(ExitCodeFor(Outcome::LinkError), 5);
    EXPECT_EQ(ExitCodeFor(Outcome::ChecksFailed), 6);
    EXPECT_EQ(ExitCodeFor(Outcome::Cancelled), 130);
    EXPECT_EQ(ExitCodeFor(Outcome::PinPadError, 1), 11);
    EXPECT_EQ(ExitCodeFor(Outcome::PinPadError, 13), 23);
    EXPECT_EQ(ExitCodeFor(Outcome::PinPadError, 102), 112);
    EXPECT_EQ(ExitCodeFor(Outcome::PinPadError, 103), 113);
    EXPECT_EQ(ExitCodeFor(Outcome::PinPadError, 999), 113);
    // No return code can be mistaken for a signal or for the program's own statuses.
    for (int code = 1; code <= 999; ++code) {
        const int status = ExitCodeFor(Outcome::PinPadError, code);
        EXPECT_GT(status, 10);
        EXPECT_LT(status, 126);
    }
    const std::string help = ExitStatusHelp();
    for (const char* word : {"Exit status:", " 2 ", " 3 ", " 4 ", " 5 ", " 6 ", "11-112", "113", "130"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(CliProgress, BarFillsWithThePackets) {
    EXPECT_EQ(ProgressBar::Render("upload LOGO", 0, 4, 8), "upload LOGO [........]   0% 0/4");
    EXPECT_EQ(ProgressBar::Render("upload LOGO", 3, 4, 8), "upload LOGO [######..]  75% 3/4");
    EXPECT_EQ(ProgressBar::Render("x", 9, 4, 8), "x [########] 100% 4/4");
    EXPECT_EQ(ProgressBar::Render("x", 1, 0, 4), "x [####] 100% 1/1");
}

TEST(CliArguments, InformationIdsByNameOrNumber) {
    EXPECT_EQ(ParseInformationId("PP_SERNUM"), vexo::PP_SERNUM);
    EXPECT_EQ(ParseInformationId("sernum"), vexo::PP_SERNUM);
    EXPECT_EQ(ParseInformationId("0x805A"), vexo::PP_BIGRAND);
    EXPECT_EQ(ParseInformationId("80ffh"), 0x80FF);
    for (const char* bad : {"PP_NOSUCH", "0x10000", "0xZZ", "h", ""})
        EXPECT_THROW(ParseInformationId(bad), BadArguments) << bad;
}

TEST(CliArguments, RefusedBeforeAnythingIsMade) {
    EXPECT_THROW(MakeGin(256), BadArguments);
    EXPECT_THROW(MakeGcd({"msgNoSuchPrompt"}), BadArguments);
    EXPECT_THROW(MakeGcd({"7", 12, 11}), BadArguments);
    EXPECT_THROW(MakeGcd({"0"}), BadArguments);
    EXPECT_THROW(MakeGcd({"DigiteCPF", -1, -1, 256}), BadArguments);
    EXPECT_NO_THROW(MakeGcd({"digitecpf"}));
    EXPECT_THROW(MakeMnu({}, "", 0), BadArguments);
    EXPECT_THROW(MakeMnu({"ONE", ""}, "", 0), BadArguments);
    EXPECT_THROW(MakeMnu({std::string(25, 'x')}, "", 0), BadArguments);
    EXPECT_NO_THROW(MakeMnu({"ação com vinte e quatro!"}, "", 0)); // 24 characters, more bytes
    EXPECT_THROW(MakeCex({}), BadArguments);
    EXPECT_THROW(MakeCex({false, false, true, true, false, 0, ""}), BadArguments);
    EXPECT_THROW(MakeCex({true, false, false, false, false, 0, "604"}), BadArguments);
    EXPECT_THROW(MakeDsi("---"), BadArguments);
    EXPECT_THROW(MakeDmf({"LOGO", "..."}), BadArguments);
    EXPECT_THROW(MakeDsp({"A", "B", "C"}), BadArguments);
    // A file that cannot serve is a failure of its own (status 1), the same whether missing or not a
    // picture; a name the user typed is refused as typed, never shortened.
    EXPECT_THROW(MakeUpload(TempPath("no-such-picture.png"), "", false), UnusableFile);
    const std::string notPicture = TempPath("not-a-picture.png");
    WriteFile(notPicture, "just text");
    EXPECT_THROW(MakeUpload(notPicture, "", false), UnusableFile);
    EXPECT_THROW(MakeUpload(notPicture, "waytoolongname", false), BadArguments);
    EXPECT_THROW(MakeQr("", "", false), BadArguments);
    EXPECT_THROW(MakeQr(std::string(3000, 'x'), "", false), UnusableFile);
    for (const char* name : {"WAYTOOLONG", "LOGO.PNG", "LO GO", "", "ÇA"})
        EXPECT_THROW(CheckExplicitMediaName(name, "name"), BadArguments) << name;
    for (const char* name : {"LOGO", "logo", "LOGO    ", "QRCODE01"})
        EXPECT_NO_THROW(CheckExplicitMediaName(name, "name")) << name;
    EXPECT_THROW(MakeQr("x", "waytoolongname", false), BadArguments);
    EXPECT_THROW(MakeDsi("waytoolongname"), BadArguments);
    // A two-line text that the layout cuts is refused under --strict, before anything is sent.
    EXPECT_THROW(MakeDsp({"THIS LINE IS WAY TOO LONG FOR 16 CHARS"}, true), BadArguments);
    EXPECT_NO_THROW(MakeDsp({"THIS LINE IS WAY TOO LONG FOR 16 CHARS"}));
    EXPECT_NO_THROW(MakeDsp({"FITS", "ON TWO LINES"}, true));
    EXPECT_THROW(MakeClo({"0123456789ABCDEFG", "X"}, true), BadArguments);
}

} // namespace
} // namespace kestrel::cli::test
