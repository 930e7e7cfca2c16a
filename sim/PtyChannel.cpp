#include "sim/PtyChannel.h"
#include <optional>

namespace kestrel::sim {

namespace {
constexpr Millis kWriteTimeout{2000};
}

PtyChannel::PtyChannel(std::string ALinkPath) : fPty(B19200), fLinkPath(std::move(ALinkPath)) {
    if (fLinkPath.empty()) return;
    fLink = std::make_unique<vexo::TPtyLink>(fLinkPath);
    fLink->PointAt(fPty.SlavePath());
}

PtyChannel::~PtyChannel() = default;

std::string PtyChannel::SlavePath() const {
    std::lock_guard lock(fPathMutex);
    return fPty.SlavePath();
}

Channel::ReadResult PtyChannel::Read(ByteString& AOut, Millis ATimeout) {
    switch (WaitReadable(fPty.Master(), ATimeout)) {
    case Ready::Data:
        return ReadAvailable(fPty.Master(), AOut) ? ReadResult::Data : ReadResult::Timeout;
    default:
        return ReadResult::Timeout;
    }
}

bool PtyChannel::Write(std::string_view ABytes) {
    return WriteAll(fPty.Master(), ABytes, kWriteTimeout);
}

void PtyChannel::Drop() {
    // The new pair opens before the old one closes, so it cannot take the old number: a host
    // that reopens the old path finds nothing rather than the new line.
    std::optional<vexo::TPseudoTerminal> fresh;
    try {
        fresh.emplace(B19200);
    } catch (const std::exception&) {
        // Out of pseudo-terminals: the line stays dead.
    }
    {
        std::lock_guard lock(fPathMutex);
        if (fresh)
            fPty = std::move(*fresh);
        else
            fPty.Close();
    }
    if (!fLink || !fresh) return;
    try {
        fLink->PointAt(fPty.SlavePath());
    } catch (const std::exception&) {
        // The new pair works without the link; the trace tells the user where it is.
    }
}

} // namespace kestrel::sim
