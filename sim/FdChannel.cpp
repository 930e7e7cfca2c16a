#include "sim/FdChannel.h"
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::sim {

using Clock = std::chrono::steady_clock;

FdChannel::FdChannel() : fWakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fWakeFd < 0) throw std::runtime_error("eventfd failed");
}

FdChannel::~FdChannel() {
    close(fWakeFd);
}

void FdChannel::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = write(fWakeFd, &one, sizeof one);
}

FdChannel::Ready FdChannel::WaitReadable(int AFd, Millis ATimeout, int AOtherFd) {
    pollfd fds[3] = {{fWakeFd, POLLIN, 0}, {AFd, POLLIN, 0}, {AOtherFd, POLLIN, 0}};
    const nfds_t count = AOtherFd >= 0 ? 3 : 2;
    int rc;
    do {
        rc = poll(fds, count, static_cast<int>(std::max<long>(0, ATimeout.count())));
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) return Ready::Timeout;
    if (fds[0].revents & POLLIN) {
        uint64_t value;
        [[maybe_unused]] auto n = read(fWakeFd, &value, sizeof value);
        return Ready::Woken;
    }
    if (count == 3 && fds[2].revents) return Ready::Other;
    if (fds[1].revents & POLLIN) return Ready::Data;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) return Ready::Hangup;
    return Ready::Timeout;
}

bool FdChannel::ReadAvailable(int AFd, ByteString& AOut) {
    char buffer[4096];
    const ssize_t n = read(AFd, buffer, sizeof buffer);
    if (n > 0) {
        AOut.append(buffer, static_cast<size_t>(n));
        return true;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

bool FdChannel::WriteAll(int AFd, std::string_view ABytes, Millis ATimeout, bool ASocket) {
    const auto deadline = Clock::now() + ATimeout;
    while (!ABytes.empty()) {
        // A socket whose peer left must not kill us with SIGPIPE.
        const ssize_t n = ASocket ? send(AFd, ABytes.data(), ABytes.size(), MSG_NOSIGNAL)
                                  : write(AFd, ABytes.data(), ABytes.size());
        if (n > 0) {
            ABytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd{AFd, POLLOUT, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
    return true;
}

} // namespace kestrel::sim
