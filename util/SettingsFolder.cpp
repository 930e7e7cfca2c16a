#include "util/SettingsFolder.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace vexo {
namespace {

namespace fs = std::filesystem;

bool IsSystemFolder(const std::string& AFolder) {
    return AFolder == "/usr" || AFolder.starts_with("/usr/");
}

bool IsWritableFolder(const std::string& AFolder) {
    std::error_code ec;
    return !AFolder.empty() && fs::is_directory(AFolder, ec) && ::access(AFolder.c_str(), W_OK) == 0;
}

// Only an absolute value counts: the base-directory rules say a relative one is to be ignored.
std::string AbsoluteEnv(const char* AName) {
    const char* value = std::getenv(AName);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = AbsoluteEnv("HOME");
    if (home.empty())
        if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) home = user->pw_dir;
    return home;
}

} // namespace

std::string ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

std::string SettingsFolder(const std::string& AExecutableFolder) {
    if (!IsSystemFolder(AExecutableFolder) && IsWritableFolder(AExecutableFolder)) return AExecutableFolder;
    std::string base = AbsoluteEnv("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::string home = HomeFolder();
        // Nowhere else to go: the settings then fail to save with their own path in the message.
        if (home.empty()) return AExecutableFolder;
        base = home + "/.config";
    }
    const std::string folder = base + "/kestrel";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        const bool madeBase = !fs::exists(base, ec);
        fs::create_directories(folder, ec);
        // The base folder holds other programs' secrets too: made here, it is the user's alone.
        if (madeBase && !ec) fs::permissions(base, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    return folder;
}

std::string SettingsFolder() {
    return SettingsFolder(ExecutableFolder());
}

} // namespace vexo
