#include "util/SettingsFolder.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using vexo::SettingsFolder;

namespace {

class SavedEnv {
public:
    explicit SavedEnv(const char* AName) : fName(AName) {
        if (const char* v = std::getenv(AName)) fValue = v;
    }
    ~SavedEnv() {
        if (fValue)
            ::setenv(fName, fValue->c_str(), 1);
        else
            ::unsetenv(fName);
    }

private:
    const char* fName;
    std::optional<std::string> fValue;
};

class SettingsFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fDir = fs::temp_directory_path() / ("kestrel-settings-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(fDir);
        fs::create_directories(fDir / "exe");
        fs::create_directories(fDir / "home");
        // An unprivileged child must reach the configuration folders made below.
        fs::permissions(fDir, fs::perms::all);
        fs::permissions(fDir / "home", fs::perms::all);
        ::setenv("HOME", (fDir / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (fDir / "xdg").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(fDir); }

    fs::path fDir;
    SavedEnv fHome{"HOME"}, fXdg{"XDG_CONFIG_HOME"};
};

// Runs AWork as a user who cannot write fDir/exe: root writes anywhere, so root hands the work to nobody
// in a child process; anyone else just loses the write permission on the folder.
std::string AsUserWhoCannotWrite(const fs::path& AFolder, const std::function<std::string()>& AWork) {
    if (::geteuid() != 0) {
        fs::permissions(AFolder, fs::perms::owner_read | fs::perms::owner_exec);
        std::string result = AWork();
        fs::permissions(AFolder, fs::perms::owner_all);
        return result;
    }
    int link[2];
    if (::pipe(link) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(link[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        const std::string result = AWork();
        const bool written = ::write(link[1], result.data(), result.size()) == ssize_t(result.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(link[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(link[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, size_t(n));
    ::close(link[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : "child failed";
}

} // namespace

TEST_F(SettingsFolderTest, APortableCopyKeepsItsSettingsBesideItself) {
    EXPECT_EQ(SettingsFolder((fDir / "exe").string()), (fDir / "exe").string());
    EXPECT_FALSE(fs::exists(fDir / "xdg")) << "nothing is made in the configuration folder";
}

TEST_F(SettingsFolderTest, AnUnwritableFolderSendsThemToXdgConfigHomeCreatingIt) {
    const fs::path exe = fDir / "exe";
    const std::string got = AsUserWhoCannotWrite(exe, [&] { return SettingsFolder(exe.string()); });
    EXPECT_EQ(got, (fDir / "xdg" / "kestrel").string());
    EXPECT_TRUE(fs::is_directory(fDir / "xdg" / "kestrel"));
    // A second run finds the folder and changes nothing.
    EXPECT_EQ(AsUserWhoCannotWrite(exe, [&] { return SettingsFolder(exe.string()); }), got);
}

TEST_F(SettingsFolderTest, SystemFoldersAndMissingOnesAreNeverWritten) {
    // Root could write /usr/bin, but a file left there belongs to no package.
    EXPECT_EQ(SettingsFolder("/usr/bin"), (fDir / "xdg" / "kestrel").string());
    EXPECT_EQ(SettingsFolder("/usr"), (fDir / "xdg" / "kestrel").string());
    EXPECT_EQ(SettingsFolder((fDir / "gone").string()), (fDir / "xdg" / "kestrel").string());
    // Only /usr itself and what lies under it counts as the system's.
    fs::create_directories(fDir / "usr");
    EXPECT_EQ(SettingsFolder((fDir / "usr").string()), (fDir / "usr").string());
}

TEST_F(SettingsFolderTest, WithoutXdgConfigHomeTheyGoToDotConfigMadePrivate) {
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFolder("/usr/bin"), (fDir / "home" / ".config" / "kestrel").string());
    EXPECT_TRUE(fs::is_directory(fDir / "home" / ".config" / "kestrel"));
    EXPECT_EQ(fs::status(fDir / "home" / ".config").permissions(), fs::perms::owner_all);

    // A relative value is ignored, and an existing ~/.config keeps the mode its owner gave it.
    fs::remove_all(fDir / "home" / ".config");
    fs::create_directories(fDir / "home" / ".config");
    fs::permissions(fDir / "home" / ".config", fs::perms::owner_all | fs::perms::group_read |
                                                   fs::perms::group_exec | fs::perms::others_read |
                                                   fs::perms::others_exec);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(SettingsFolder("/usr/bin"), (fDir / "home" / ".config" / "kestrel").string());
    EXPECT_EQ(fs::status(fDir / "home" / ".config").permissions() & fs::perms::others_read,
              fs::perms::others_read);
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(SettingsFolderTest, TheRunningProgramsFolderHoldsTheProgram) {
    const std::string folder = vexo::ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::exists(fs::path(folder) / "util_tests"));
}
