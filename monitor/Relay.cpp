#include "monitor/Relay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::monitor {

Relay::Relay(End& AHost, End& APinPad, Session& ASession) : fSession(ASession) {
    fSide[0].Peer = &AHost;
    fSide[0].Who = "the POS application";
    fSide[0].From = Direction::HostToPinPad;
    fSide[1].Peer = &APinPad;
    fSide[1].Who = "the PIN pad";
    fSide[1].From = Direction::PinPadToHost;
}

TraceClock::time_point Relay::Stamp() {
    // Microseconds, as a recording keeps them, and never backwards, so a replay sees the same.
    const auto now = std::chrono::time_point_cast<std::chrono::microseconds>(TraceClock::now());
    fLastStamp = std::max<TraceClock::time_point>(fLastStamp, now);
    return fLastStamp;
}

void Relay::Note(const std::string& AText) {
    fItems.push_back(RelayItem::Note(Stamp(), AText));
}

void Relay::Notes(End::Notes& ANotes) {
    for (const auto& text : ANotes)
        Note(text);
    ANotes.clear();
}

void Relay::Start() {
    End::Notes notes;
    fSide[0].Peer->Start(notes);
    Notes(notes);
    fSide[1].Peer->Start(notes);
    Notes(notes);
    for (auto& item : fItems)
        fSession.Take(std::move(item));
    fItems.clear();
}

ssize_t Relay::Send(int AFd, const char* AData, size_t ASize) {
    // A socket whose peer is gone must not raise SIGPIPE; a terminal is no socket.
    const ssize_t n = ::send(AFd, AData, ASize, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == ENOTSOCK) return ::write(AFd, AData, ASize);
    return n;
}

void Relay::Lose(Side& ASide, const std::string& AWhy) {
    End::Notes notes;
    ASide.Peer->Lost(AWhy, notes);
    Notes(notes);
    if (!ASide.Pending.empty()) {
        ASide.Undelivered += ASide.Pending.size();
        ASide.Pending.clear();
        ASide.Away = true;
    }
}

void Relay::Forward(Side& ATo, const char* AData, size_t ASize) {
    if (!ATo.Peer->Connected()) {
        ATo.Undelivered += ASize;
        if (!ATo.Away) Note(std::string(ATo.Who) + " is not connected: bytes for it are not delivered");
        ATo.Away = true;
        return;
    }
    if (!ATo.Pending.empty()) {
        ATo.Pending.append(AData, ASize);
        return;
    }
    const ssize_t n = Send(ATo.Peer->Fd(), AData, ASize);
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
        ATo.Undelivered += ASize;
        ATo.Away = true;
        Lose(ATo, std::strerror(errno));
        return;
    }
    const size_t done = n < 0 ? 0 : static_cast<size_t>(n);
    ATo.Written += done;
    if (done < ASize) ATo.Pending.assign(AData + done, ASize - done);
}

void Relay::Flush(Side& ATo) {
    if (ATo.Pending.empty() || !ATo.Peer->Connected()) return;
    const ssize_t n = Send(ATo.Peer->Fd(), ATo.Pending.data(), ATo.Pending.size());
    if (n < 0) {
        if (errno != EAGAIN && errno != EINTR) Lose(ATo, std::strerror(errno));
        return;
    }
    ATo.Written += static_cast<size_t>(n);
    ATo.Pending.erase(0, static_cast<size_t>(n));
}

void Relay::Read(Side& AFrom, short AEvents) {
    Side& to = &AFrom == &fSide[0] ? fSide[1] : fSide[0];
    char buffer[kReadChunk];
    const ssize_t n = ::read(AFrom.Peer->Fd(), buffer, sizeof buffer);
    if (n > 0) {
        // Listed before it is forwarded, so a note the forwarding makes comes after it.
        fItems.push_back(RelayItem::Chunk(AFrom.From, Stamp(), ByteString(buffer, static_cast<size_t>(n))));
        Forward(to, buffer, static_cast<size_t>(n));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR) && !(AEvents & (POLLHUP | POLLERR))) return;
    Lose(AFrom, n == 0 ? "end of file" : n < 0 && errno != EAGAIN ? std::strerror(errno) : "hang-up");
}

// After an end was serviced: what waited for a peer that left is not delivered; when it came
// back, say what it missed.
void Relay::Serviced(Side& ASide, bool AWasConnected) {
    if (AWasConnected && !ASide.Peer->Connected() && !ASide.Pending.empty()) {
        ASide.Undelivered += ASide.Pending.size();
        ASide.Pending.clear();
        ASide.Away = true;
    }
    if (AWasConnected || !ASide.Peer->Connected()) return;
    if (ASide.Undelivered > 0)
        Note(std::to_string(ASide.Undelivered) + " byte(s) for " + ASide.Who +
             " were not delivered while it was away");
    ASide.Undelivered = 0;
    ASide.Away = false;
}

int Relay::Timeout() const {
    int timeout = 1000;
    const auto clip = [&timeout](auto AWait) {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(AWait).count();
        timeout = static_cast<int>(std::clamp<long long>(ms, 0, timeout));
    };
    if (const auto wake = fSession.NextWake()) clip(*wake - TraceClock::now());
    for (const Side& side : fSide)
        if (const auto retry = side.Peer->RetryAt()) clip(*retry - SteadyClock::now());
    return timeout;
}

void Relay::Run(int AStopFd) {
    for (;;) {
        std::vector<pollfd> fds{{AStopFd, POLLIN, 0}};
        int data[2] = {-1, -1}, watch[2] = {-1, -1};
        for (int s = 0; s < 2; ++s) {
            Side& side = fSide[s];
            const Side& other = fSide[1 - s];
            if (side.Peer->Fd() >= 0) {
                short events = other.Pending.size() < kMaxPending ? POLLIN : 0;
                if (!side.Pending.empty()) events |= POLLOUT;
                data[s] = static_cast<int>(fds.size());
                fds.push_back({side.Peer->Fd(), events, 0});
            }
            const pollfd w = side.Peer->Watch();
            if (w.fd >= 0) {
                watch[s] = static_cast<int>(fds.size());
                fds.push_back(w);
            }
        }
        if (::poll(fds.data(), fds.size(), Timeout()) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;

        // An end's own news first: a peer that opened its terminal before the other side wrote is
        // there to take those bytes, however the two came in one wake-up.
        const auto now = SteadyClock::now();
        for (int s = 0; s < 2; ++s) {
            Side& side = fSide[s];
            const auto retry = side.Peer->RetryAt();
            if ((watch[s] >= 0 && fds[size_t(watch[s])].revents) || (retry && *retry <= now)) {
                const bool was = side.Peer->Connected();
                End::Notes notes;
                side.Peer->Service(notes);
                Notes(notes);
                Serviced(side, was);
            }
        }
        for (int s = 0; s < 2; ++s) {
            if (data[s] < 0) continue;
            const short events = fds[size_t(data[s])].revents;
            if (events & POLLOUT) Flush(fSide[s]);
            if ((events & (POLLIN | POLLHUP | POLLERR)) && fSide[s].Peer->Fd() >= 0) Read(fSide[s], events);
        }
        // The bytes are out; now they are decoded and recorded.
        for (auto& item : fItems)
            fSession.Take(std::move(item));
        fItems.clear();
        fSession.Idle(Stamp());
    }
    fSession.Take(RelayItem::Ending(Stamp()));
    for (Side& side : fSide)
        side.Peer->Stop();
}

} // namespace kestrel::monitor
