#include "util/PseudoTerminal.h"
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vexo {

namespace {

void CloseFd(int& AFd) {
    if (AFd >= 0) ::close(AFd);
    AFd = -1;
}

} // namespace

TPseudoTerminal::TPseudoTerminal(speed_t ASpeed) {
    char name[256] = {};
    if (::openpty(&fMaster, &fSlave, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    MakeRaw(fSlave);
    if (ASpeed != B0) {
        termios tio{};
        ::tcgetattr(fSlave, &tio);
        ::cfsetspeed(&tio, ASpeed);
        ::tcsetattr(fSlave, TCSANOW, &tio);
    }
    ::fcntl(fMaster, F_SETFL, ::fcntl(fMaster, F_GETFL) | O_NONBLOCK);
    ::fcntl(fMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(fSlave, F_SETFD, FD_CLOEXEC);
    fSlavePath = name;
}

TPseudoTerminal::~TPseudoTerminal() {
    Close();
}

TPseudoTerminal::TPseudoTerminal(TPseudoTerminal&& AOther) noexcept
    : fMaster(std::exchange(AOther.fMaster, -1)), fSlave(std::exchange(AOther.fSlave, -1)),
      fSlavePath(std::move(AOther.fSlavePath)) {}

TPseudoTerminal& TPseudoTerminal::operator=(TPseudoTerminal&& AOther) noexcept {
    if (this != &AOther) {
        Close();
        fMaster = std::exchange(AOther.fMaster, -1);
        fSlave = std::exchange(AOther.fSlave, -1);
        fSlavePath = std::move(AOther.fSlavePath);
    }
    return *this;
}

void TPseudoTerminal::Close() {
    CloseFd(fMaster);
    CloseFd(fSlave);
}

void TPseudoTerminal::MakeRaw(int AFd) {
    termios tio{};
    ::tcgetattr(AFd, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(AFd, TCSANOW, &tio);
}

void TPtyLink::CheckPlace() const {
    struct stat st {};
    if (::lstat(fPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(fPath + " exists and is not a symbolic link");
}

void TPtyLink::PointAt(const std::string& ATarget) {
    CheckPlace();
    // Unique within the process too: two links may be made at once from different threads.
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        fPath + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    ::unlink(temporary.c_str());
    if (::symlink(ATarget.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), fPath.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(temporary.c_str());
        throw std::runtime_error("cannot make the link " + fPath + ": " + why);
    }
    fTarget = ATarget;
}

void TPtyLink::Remove() noexcept {
    if (fTarget.empty()) return;
    char target[4096];
    const ssize_t n = ::readlink(fPath.c_str(), target, sizeof target);
    if (n > 0 && static_cast<size_t>(n) < sizeof target &&
        std::string(target, static_cast<size_t>(n)) == fTarget)
        ::unlink(fPath.c_str());
    fTarget.clear();
}

} // namespace vexo
