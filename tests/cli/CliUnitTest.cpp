// The pieces of kestrel-cli that need no PIN pad: the JSON writer, the session script's words, the
// exit statuses, the progress bar and the argument checks.
#include "CliTestSupport.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Progress.h"
#include "cli/Session.h"
#include "pinpad/VexoAbecsTables.h"

#include <limits>

namespace kestrel::cli::test {
namespace {

TEST(CliJson, WhatPythonReadsBackIsWhatWasWritten) {
    JsonValue object = JsonValue::Object();
    object.Set("quote", "say \"hi\" \\ back");
    object.Set("controls", std::string("tab\tnew\nline\r\x01\x1f\x7f", 16));
    object.Set("utf8", "ação ✓");
    object.Set("int", int64_t{-12345678901});
    object.Set("real", 2.12);
    object.Set("none", nullptr);
    object.Set("yes", true);
    JsonValue list = JsonValue::Array();
    list.Push(1).Push(JsonValue::Object());
    object.Set("list", list);
    object.Set("quote", "replaced in place"); // keeps its first position
    const std::string json = object.Serialize();
    EXPECT_EQ(json.find('\n'), std::string::npos);
    EXPECT_EQ(JsonGet(json, "list(d.keys())"),
              "['quote', 'controls', 'utf8', 'int', 'real', 'none', 'yes', 'list']");
    EXPECT_EQ(JsonGet(json, "d['quote']"), "replaced in place");
    EXPECT_EQ(JsonGet(json, "repr(d['controls'])"), "'tab\\tnew\\nline\\r\\x01\\x1f\\x7f'");
    EXPECT_EQ(JsonGet(json, "d['utf8'] == 'a\\u00e7\\u00e3o \\u2713'"), "True");
    EXPECT_EQ(JsonGet(json, "d['int'], d['real'], d['none'], d['yes'], d['list']"),
              "-12345678901 2.12 None True [1, {}]");
}

TEST(CliJson, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    // A lone continuation byte, a cut sequence, an overlong form, a surrogate, a code page byte.
    const std::string bad = "a\x80"
                            "b\xE2\x82"
                            "c\xC0\xAF"
                            "d\xED\xA0\x80"
                            "e\xE7";
    const std::string json = JsonValue(bad).Serialize();
    EXPECT_EQ(JsonGet("[" + json + "]",
                      "d[0] == 'a\\ufffdb\\ufffd\\ufffdc\\ufffd\\ufffdd\\ufffd\\ufffd\\ufffde\\ufffd'"),
              "True")
        << json;
    EXPECT_EQ(JsonValue(std::numeric_limits<double>::infinity()).Serialize(), "null");
}

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
    EXPECT_THROW(MakeUpload(TempPath("no-such-picture.png"), "", false), BadArguments);
    const std::string notPicture = TempPath("not-a-picture.png");
    WriteFile(notPicture, "just text");
    EXPECT_THROW(MakeUpload(notPicture, "", false), BadArguments);
    EXPECT_THROW(MakeQr("", "", false), BadArguments);
    EXPECT_THROW(MakeQr(std::string(3000, 'x'), "", false), BadArguments);
}

} // namespace
} // namespace kestrel::cli::test
