#include "sim/PtyChannel.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kestrel::sim {

namespace {
constexpr Millis kWriteTimeout{2000};
}

PtyChannel::PtyChannel(std::string ALinkPath) : fLinkPath(std::move(ALinkPath)) {
    Open();
    try {
        UpdateLink();
    } catch (...) {
        CloseFds();
        throw;
    }
}

PtyChannel::~PtyChannel() {
    CloseFds();
    if (!fLinkPath.empty()) unlink(fLinkPath.c_str());
}

void PtyChannel::Open() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&raw, B19200);
    if (openpty(&fMaster, &fSlave, name, &raw, nullptr) != 0)
        throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") + strerror(errno));
    fcntl(fMaster, F_SETFL, fcntl(fMaster, F_GETFL) | O_NONBLOCK);
    fcntl(fMaster, F_SETFD, FD_CLOEXEC);
    fcntl(fSlave, F_SETFD, FD_CLOEXEC);
    std::lock_guard lock(fPathMutex);
    fSlavePath = name;
}

std::string PtyChannel::SlavePath() const {
    std::lock_guard lock(fPathMutex);
    return fSlavePath;
}

void PtyChannel::CloseFds() {
    if (fMaster >= 0) close(fMaster);
    if (fSlave >= 0) close(fSlave);
    fMaster = fSlave = -1;
}

void PtyChannel::UpdateLink() {
    if (fLinkPath.empty()) return;
    struct stat st {};
    // Replace a stale link of ours, never a regular file someone else keeps there.
    if (lstat(fLinkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            throw std::runtime_error("cannot create the link " + fLinkPath + ": a file is in the way");
        unlink(fLinkPath.c_str());
    }
    if (symlink(SlavePath().c_str(), fLinkPath.c_str()) != 0)
        throw std::runtime_error("cannot create the link " + fLinkPath + ": " + strerror(errno));
}

Channel::ReadResult PtyChannel::Read(ByteString& AOut, Millis ATimeout) {
    switch (WaitReadable(fMaster, ATimeout)) {
    case Ready::Data:
        return ReadAvailable(fMaster, AOut) ? ReadResult::Data : ReadResult::Timeout;
    default:
        return ReadResult::Timeout;
    }
}

bool PtyChannel::Write(std::string_view ABytes) {
    return WriteAll(fMaster, ABytes, kWriteTimeout);
}

void PtyChannel::Drop() {
    // The new pair opens before the old one closes, so it cannot take the old number: a host
    // that reopens the old path finds nothing rather than the new line.
    const int oldMaster = fMaster, oldSlave = fSlave;
    try {
        Open();
    } catch (const std::exception&) {
        fMaster = fSlave = -1; // out of pseudo-terminals: the line stays dead
    }
    close(oldMaster);
    close(oldSlave);
    try {
        UpdateLink();
    } catch (const std::exception&) {
        // The new pair works without the link; the trace tells the user where it is.
    }
}

} // namespace kestrel::sim
