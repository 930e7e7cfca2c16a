#include "util/FilesIO.h"

#include "util/Exception.h"
#include "util/Strings.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace vexo {
namespace {

void ThrowFileError(const std::string& AFile) {
    throw EInOutError("Cannot write \"" + AFile + "\": " + std::strerror(errno));
}

void WriteAll(int fd, std::string_view AData, const std::string& AFile) {
    while (!AData.empty()) {
        const ssize_t n = ::write(fd, AData.data(), AData.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(AFile);
        }
        AData.remove_prefix(static_cast<size_t>(n));
    }
}

} // namespace

void GravarArquivoTexto(const std::string& AFile, std::string_view AData, bool AAppend, bool ALineBreak,
                        bool ACreateFolder) {
    if (AFile.empty()) return;
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool exists = fs::exists(AFile, ec);
    if (exists && AData.empty()) return;
    if (!exists && ACreateFolder) {
        const fs::path folder = fs::path(AFile).parent_path();
        if (!folder.empty()) fs::create_directories(folder, ec);
    }
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exists && AAppend ? O_APPEND : O_TRUNC);
    const int fd = ::open(AFile.c_str(), flags, 0644);
    if (fd < 0) ThrowFileError(AFile);
    // Shut other writers out for the duration of this one write.
    if (::flock(fd, LOCK_EX) != 0) {
        ::close(fd);
        ThrowFileError(AFile);
    }
    try {
        WriteAll(fd, AData, AFile);
        if (ALineBreak) WriteAll(fd, "\r\n", AFile);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

void GravarLinhaLog(const std::string& AFile, std::string_view AData, bool ARender) noexcept {
    if (AFile.empty()) return;
    try {
        if (ARender)
            GravarArquivoTexto(AFile, TraduzirControles(AData), true, true, false);
        else
            GravarArquivoTexto(AFile, AData, true, true, false);
    } catch (...) {
        // A log that cannot be written must never stop the exchange it records.
    }
}

std::string LogTimeStamp() {
    return LogTimeStamp(std::chrono::system_clock::now());
}

std::string LogTimeStamp(std::chrono::system_clock::time_point AWhen) {
    using namespace std::chrono;
    const std::time_t t = system_clock::to_time_t(AWhen);
    const auto ms = duration_cast<milliseconds>(AWhen.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d:%02d:%03d", tm.tm_mday, tm.tm_mon + 1, tm.tm_hour,
                  tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return buf;
}

} // namespace vexo
