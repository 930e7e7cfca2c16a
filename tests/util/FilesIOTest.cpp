#include "util/FilesIO.h"
#include "util/Exception.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <unistd.h>

using namespace vexo;
namespace fs = std::filesystem;

namespace {

class FilesIO : public ::testing::Test {
protected:
    void SetUp() override {
        fDir = fs::temp_directory_path() / ("kestrel-util-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(fDir);
        fs::create_directories(fDir);
    }
    void TearDown() override { fs::remove_all(fDir); }

    static std::string Read(const fs::path& APath) {
        std::ifstream in(APath, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    fs::path fDir;
};

} // namespace

TEST_F(FilesIO, EmptyDataOnAMissingFileStillWritesTheLineBreak) {
    const auto file = fDir / "new.txt";
    GravarArquivoTexto(file.string(), "", true, true, false);
    EXPECT_EQ(Read(file), "\r\n");
    // Existing file and empty data: nothing at all, not even the line break.
    GravarArquivoTexto(file.string(), "", true, true, false);
    EXPECT_EQ(Read(file), "\r\n");
}

TEST_F(FilesIO, AppendOrReplaceAndCreateFolders) {
    const auto file = fDir / "a" / "b" / "log.txt";
    EXPECT_THROW(GravarArquivoTexto(file.string(), "x", true, false, false), EInOutError);
    GravarArquivoTexto(file.string(), "one", true, true, true);
    GravarArquivoTexto(file.string(), "two", true, true, false);
    EXPECT_EQ(Read(file), "one\r\ntwo\r\n");
    GravarArquivoTexto(file.string(), std::string("\x00\xFF", 2), false, false, false);
    EXPECT_EQ(Read(file), std::string("\x00\xFF", 2));
    EXPECT_NO_THROW(GravarArquivoTexto("", "ignored", true, true, true));
}

TEST_F(FilesIO, GravarLinhaLogRendersControlsAndNeverFails) {
    const auto file = fDir / "dev.log";
    GravarLinhaLog(file.string(), "\x02OK\x03", true);
    GravarLinhaLog(file.string(), "\x02", false);
    EXPECT_EQ(Read(file), "[STX]OK[ETX]\r\n\x02\r\n");
    const auto missing = fDir / "no-such-folder" / "dev.log";
    EXPECT_NO_THROW(GravarLinhaLog(missing.string(), "lost", true));
    EXPECT_FALSE(fs::exists(missing));
}

TEST(LogTimeStamp, HasDayMonthTimeAndMilliseconds) {
    EXPECT_TRUE(std::regex_match(LogTimeStamp(), std::regex(R"(\d\d/\d\d \d\d:\d\d:\d\d:\d\d\d)")));
}
