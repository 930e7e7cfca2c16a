// Numbers the simulator reads from text (profiles, cardholder scripts, fault specs) are range
// checked: a value out of range is refused with the key and the range, never wrapped or cut.
#include "SimTestSupport.h"
#include "sim/Faults.h"

namespace kestrel::sim::test {
namespace {

std::string ProfileError(const std::string& AText) {
    try {
        Profile::Parse(AText);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(SimNumbers, AMediaMemoryThatWouldWrapToNothingIsRefused) {
    EXPECT_EQ(ProfileError("\nmedia_memory = 17592186044416M\n"),
              "profile line 2: MEDIA_MEMORY = 17592186044416M is out of range (0 to 4G)");
    Profile profile = Profile::Graphic();
    try {
        profile.Set("MEDIA_MEMORY", "17592186044416M");
        ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "profile: MEDIA_MEMORY = 17592186044416M is out of range (0 to 4G)");
    }
    EXPECT_EQ(profile.MediaMemory, Profile::Graphic().MediaMemory) << "a refused value changes nothing";
    profile.Set("media_memory", "4G");
    EXPECT_EQ(profile.MediaMemory, 4ull << 30);
    profile.Set("media_memory", "0");
    EXPECT_EQ(profile.MediaMemory, 0u);
    EXPECT_NE(ProfileError("media_memory = 4097M\n").find("out of range (0 to 4G)"), std::string::npos);
}

TEST(SimNumbers, EveryNumberOfAProfileHasItsRange) {
    for (const auto& [line, range] : std::vector<std::pair<std::string, std::string>>{
             {"text_rows = 100", "TEXT_ROWS = 100 is out of range (0 to 99)"},
             {"text_cols = -1", "TEXT_COLS = -1 is out of range (0 to 99)"},
             {"pixel_width = 10000", "PIXEL_WIDTH = 10000 is out of range (0 to 9999)"},
             {"pixel_height = 99999999999999999999", "PIXEL_HEIGHT = 99999999999999999999 is out of range"},
             {"default_timeout = 256", "DEFAULT_TIMEOUT = 256 is out of range (0 to 255)"},
             {"contactless_timeout = 3601", "CONTACTLESS_TIMEOUT = 3601 is out of range (0 to 3600)"},
             {"answer_delay = GIX:600001", "ANSWER_DELAY GIX = 600001 is out of range (0 to 600000)"},
             {"text_rows = 1K", "TEXT_ROWS = 1K is not a number (0 to 99)"},
             {"default_timeout = +5", "DEFAULT_TIMEOUT = +5 is not a number"}})
        EXPECT_NE(ProfileError(line + "\n").find("profile line 1: " + range), std::string::npos)
            << ProfileError(line + "\n");
    const Profile edges = Profile::Parse("text_rows = 99\ntext_cols = 0\ndefault_timeout = 255\n"
                                         "answer_delay = GIX-ALL:600000 MLE:0\n");
    EXPECT_EQ(edges.TextRows, 99);
    EXPECT_EQ(edges.TextCols, 0);
    EXPECT_EQ(edges.DefaultTimeout, 255);
    EXPECT_EQ(edges.AnswerDelay("GIX", true), 600000);
}

TEST(SimNumbers, ScriptsAndFaultsRefuseNumbersOutOfRange) {
    EXPECT_EQ(CardholderAction::Parse("delay 3600000").Number, 3600000);
    EXPECT_EQ(CardholderAction::Parse("choose 0").Number, 0);
    for (const char* line : {"delay 3600001", "delay -1", "choose 1000", "choose 99999999999999999999"})
        EXPECT_THROW(CardholderAction::Parse(line), std::invalid_argument) << line;
    try {
        CardholderAction::Parse("delay 4294967296");
        ADD_FAILURE();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "delay = 4294967296 is out of range (0 to 3600000)");
    }
    EXPECT_EQ(FaultRule::Parse("late:999999*999999").Param, 999999);
    try {
        FaultRule::Parse("noise:4294967299");
        ADD_FAILURE();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "fault noise:4294967299: N = 4294967299 is out of range (0 to 999999)");
    }
    EXPECT_THROW(FaultRule::Parse("nak*-1"), std::invalid_argument);
    EXPECT_THROW(FaultRule::Parse("nak:x"), std::invalid_argument);
}

} // namespace
} // namespace kestrel::sim::test
