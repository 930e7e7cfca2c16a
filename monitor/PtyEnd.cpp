#include "monitor/PtyEnd.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrel::monitor {

PtyEnd::PtyEnd(std::string ALink, std::string AWho) : fLink(std::move(ALink)), fWho(std::move(AWho)) {}

PtyEnd::~PtyEnd() {
    Stop();
}

void PtyEnd::Start(Notes& ANotes) {
    fLink.CheckPlace();
    fInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fInotify < 0) throw std::runtime_error(std::string("inotify: ") + std::strerror(errno));
    MakePair();
    ANotes.push_back("waiting for " + fWho + " on " + fLink.Path() + " (" + fPty->SlavePath() + ")");
}

void PtyEnd::Stop() {
    fLink.Remove();
    fFd = -1;
    fPty.reset();
    CloseFd(fInotify);
    fWatch = -1;
}

void PtyEnd::Service(Notes& ANotes) {
    alignas(inotify_event) char events[4096];
    bool closed = false;
    for (ssize_t n; (n = ::read(fInotify, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_OPEN) {
                if (fOpens++ == 0) ANotes.push_back(fWho + " opened " + fLink.Path());
            } else if ((event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && fOpens > 0) {
                if (--fOpens == 0) {
                    ANotes.push_back(fWho + " closed " + fLink.Path());
                    closed = true;
                }
            }
        }
    }
    if (closed && fOpens == 0) Released(ANotes);
}

void PtyEnd::Lost(const std::string& AWhy, Notes& ANotes) {
    // The terminal itself failed (the monitor holds its far side, so a close is no loss).
    ANotes.push_back("the terminal of " + fLink.Path() + " failed (" + AWhy + "); making a new one");
    fFd = -1;
    fOpens = 0;
    MakePair();
    ANotes.push_back("waiting for " + fWho + " on " + fLink.Path() + " (" + fPty->SlavePath() + ")");
}

// Nobody has the terminal open any more: what the peer did not read is not kept for the next
// one, its exclusive claim goes, and the terminal is raw again, as a fresh one would be.
void PtyEnd::Released(Notes& ANotes) {
    const int hold = fPty->Slave();
    int unread = 0;
    if (::ioctl(hold, FIONREAD, &unread) == 0 && unread > 0) {
        ::tcflush(hold, TCIFLUSH);
        ANotes.push_back(std::to_string(unread) + " byte(s) for " + fWho +
                         " were not read before it closed " + fLink.Path());
    }
    ::ioctl(hold, TIOCNXCL);
    vexo::TPseudoTerminal::MakeRaw(hold);
}

void PtyEnd::MakePair() {
    vexo::TPseudoTerminal fresh;
    if (fWatch >= 0) ::inotify_rm_watch(fInotify, fWatch);
    // Added after the monitor's own open, so that only the peer's opens and closes are seen.
    fWatch =
        ::inotify_add_watch(fInotify, fresh.SlavePath().c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
    fPty = std::move(fresh);
    fLink.PointAt(fPty->SlavePath());
    fFd = fPty->Master();
}

} // namespace kestrel::monitor
