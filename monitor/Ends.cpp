#include "monitor/Ends.h"

#include "device/VexoDevice.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pty.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kestrel::monitor {

namespace {

std::string Errno(int AError = errno) {
    return std::strerror(AError);
}

void CloseFd(int& AFd) {
    if (AFd >= 0) ::close(AFd);
    AFd = -1;
}

void NonBlocking(int AFd) {
    ::fcntl(AFd, F_SETFL, ::fcntl(AFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(AFd, F_SETFD, FD_CLOEXEC);
}

std::string PeerName(const sockaddr_storage& AAddress) {
    char host[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (AAddress.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&AAddress);
        ::inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
        port = ntohs(in->sin_port);
    } else if (AAddress.ss_family == AF_INET6) {
        const auto* in = reinterpret_cast<const sockaddr_in6*>(&AAddress);
        ::inet_ntop(AF_INET6, &in->sin6_addr, host, sizeof host);
        port = ntohs(in->sin6_port);
    }
    return std::string(host) + ":" + std::to_string(port);
}

// IPv4 first, as the device layer does.
std::vector<sockaddr_storage> Resolve(const std::string& AHost, uint16_t APort, bool APassive) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = APassive ? AI_PASSIVE : 0;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(APort);
    const int rc = ::getaddrinfo(AHost.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) throw std::runtime_error("cannot resolve " + AHost + ": " + ::gai_strerror(rc));
    std::vector<sockaddr_storage> v4, v6;
    for (addrinfo* a = found; a; a = a->ai_next) {
        sockaddr_storage address{};
        std::memcpy(&address, a->ai_addr, a->ai_addrlen);
        (a->ai_family == AF_INET ? v4 : v6).push_back(address);
    }
    ::freeaddrinfo(found);
    v4.insert(v4.end(), v6.begin(), v6.end());
    if (v4.empty()) throw std::runtime_error("cannot resolve " + AHost);
    return v4;
}

uint16_t PortOf(const sockaddr_storage& AAddress) {
    return ntohs(AAddress.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&AAddress)->sin6_port
                                                : reinterpret_cast<const sockaddr_in*>(&AAddress)->sin_port);
}

socklen_t Length(const sockaddr_storage& AAddress) {
    return AAddress.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// ---- a pseudo-terminal the peer opens through a symbolic link

// One terminal for the whole session, its far side held open by the monitor too, so that a peer
// that closes and opens again at any speed always finds the same terminal, and nothing it wrote
// before closing is lost: its bytes wait in the terminal until the relay reads them. Whether the
// peer has the terminal open is followed by its open and close events.
class PtyEnd : public End {
public:
    PtyEnd(std::string ALink, std::string AWho) : fLink(std::move(ALink)), fWho(std::move(AWho)) {}
    ~PtyEnd() override { Stop(); }

    std::string Describe() const override { return "pty " + fLink; }
    bool Connected() const override { return fFd >= 0 && fOpens > 0; }

    void Start(Notes& ANotes) override {
        struct stat st {};
        if (::lstat(fLink.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
            throw std::runtime_error(fLink + " exists and is not a symbolic link");
        fInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fInotify < 0) throw std::runtime_error("inotify: " + Errno());
        MakePair();
        fFd = fMaster;
        ANotes.push_back("waiting for " + fWho + " on " + fLink + " (" + fSlave + ")");
    }

    void Stop() override {
        if (!fSlave.empty()) {
            char target[512];
            const ssize_t n = ::readlink(fLink.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, size_t(n)) == fSlave) ::unlink(fLink.c_str());
            fSlave.clear();
        }
        fFd = -1;
        CloseFd(fMaster);
        CloseFd(fHold);
        CloseFd(fInotify);
    }

    pollfd Watch() const override { return {fInotify, POLLIN, 0}; }

    void Service(Notes& ANotes) override {
        alignas(inotify_event) char events[4096];
        bool closed = false;
        for (ssize_t n; (n = ::read(fInotify, events, sizeof events)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_OPEN) {
                    if (fOpens++ == 0) ANotes.push_back(fWho + " opened " + fLink);
                } else if ((event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && fOpens > 0) {
                    if (--fOpens == 0) {
                        ANotes.push_back(fWho + " closed " + fLink);
                        closed = true;
                    }
                }
            }
        }
        if (closed && fOpens == 0) Released(ANotes);
    }

    void Lost(const std::string& AWhy, Notes& ANotes) override {
        // The terminal itself failed (the monitor holds its far side, so a close is no loss).
        ANotes.push_back("the terminal of " + fLink + " failed (" + AWhy + "); making a new one");
        fFd = -1;
        fOpens = 0;
        MakePair();
        fFd = fMaster;
        ANotes.push_back("waiting for " + fWho + " on " + fLink + " (" + fSlave + ")");
    }

private:
    // Nobody has the terminal open any more: what the peer did not read is not kept for the next
    // one, its exclusive claim goes, and the terminal is raw again, as a fresh one would be.
    void Released(Notes& ANotes) {
        int unread = 0;
        if (::ioctl(fHold, FIONREAD, &unread) == 0 && unread > 0) {
            ::tcflush(fHold, TCIFLUSH);
            ANotes.push_back(std::to_string(unread) + " byte(s) for " + fWho +
                             " were not read before it closed " + fLink);
        }
        ::ioctl(fHold, TIOCNXCL);
        Raw(fHold);
    }

    static void Raw(int AFd) {
        // Raw until the peer sets its own mode: an echo would send our bytes back to us.
        termios tio{};
        ::tcgetattr(AFd, &tio);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(AFd, TCSANOW, &tio);
    }

    void MakePair() {
        int master = -1, slave = -1;
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("cannot create a pseudo-terminal: " + Errno());
        Raw(slave);
        ::fcntl(slave, F_SETFD, FD_CLOEXEC);
        NonBlocking(master);
        if (fWatch >= 0) ::inotify_rm_watch(fInotify, fWatch);
        // Added after the monitor's own open, so that only the peer's opens and closes are seen.
        fWatch = ::inotify_add_watch(fInotify, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
        CloseFd(fMaster);
        CloseFd(fHold);
        fMaster = master;
        fHold = slave;
        fSlave = name;
        const std::string temporary = fLink + ".new-" + std::to_string(::getpid());
        ::unlink(temporary.c_str());
        if (::symlink(fSlave.c_str(), temporary.c_str()) != 0 ||
            ::rename(temporary.c_str(), fLink.c_str()) != 0) {
            const std::string why = Errno();
            ::unlink(temporary.c_str());
            throw std::runtime_error("cannot make the link " + fLink + ": " + why);
        }
    }

    std::string fLink, fWho, fSlave;
    int fMaster = -1, fHold = -1, fInotify = -1, fWatch = -1;
    int fOpens = 0;
};

// ---- a serial port, opened and configured by the device layer

class SerialEnd : public End {
public:
    SerialEnd(std::string APath, std::string AParams, std::string AWho)
        : fPath(std::move(APath)), fParams(std::move(AParams)), fWho(std::move(AWho)),
          fDevice(std::make_unique<vexo::TVexoDevice>()) {}
    ~SerialEnd() override { Stop(); }

    std::string Describe() const override {
        const std::string params = fDevice->ParamsString();
        return "serial " + fPath + " (" + (params.empty() ? "BAUD=9600 DATA=8 PARITY=N STOP=1" : params) +
               ")";
    }

    void Start(Notes& ANotes) override {
        try {
            fDevice->SetParamsString(fParams);
        } catch (const std::exception& e) {
            throw std::runtime_error("serial parameters \"" + fParams + "\": " + e.what());
        }
        std::string why;
        if (!Open(why)) throw std::runtime_error("cannot open " + fPath + ": " + why);
        ANotes.push_back(fWho + " is on " + Describe());
    }

    void Stop() override {
        fFd = -1;
        try {
            fDevice->Desativar();
        } catch (const std::exception&) {
        }
    }

    std::optional<SteadyClock::time_point> RetryAt() const override {
        return Connected() ? std::nullopt : std::optional(fRetry);
    }

    void Service(Notes& ANotes) override {
        if (Connected()) return;
        std::string why;
        if (Open(why)) {
            ANotes.push_back(fWho + "'s port " + fPath + " is back");
            return;
        }
        fRetry = SteadyClock::now() + std::chrono::seconds(1);
    }

    void Lost(const std::string& AWhy, Notes& ANotes) override {
        ANotes.push_back(fWho + "'s port " + fPath + " went away (" + AWhy +
                         "); opening it again every second");
        Stop();
        fRetry = SteadyClock::now() + std::chrono::milliseconds(200);
    }

private:
    bool Open(std::string& AWhy) {
        try {
            fDevice->SetPorta(fPath);
            fDevice->Ativar();
            fFd = fDevice->Serial().Handle();
            if (fFd >= 0) return true;
            AWhy = "not a serial port";
        } catch (const std::exception& e) {
            AWhy = e.what();
        }
        Stop();
        return false;
    }

    std::string fPath, fParams, fWho;
    std::unique_ptr<vexo::TVexoDevice> fDevice;
    SteadyClock::time_point fRetry{};
};

// ---- TCP, waiting for the peer to connect

class ListenEnd : public End {
public:
    ListenEnd(std::string AHost, uint16_t APort, std::string AWho)
        : fHost(std::move(AHost)), fPort(APort), fWho(std::move(AWho)) {}
    ~ListenEnd() override { Stop(); }

    std::string Describe() const override {
        return "TCP " + fHost + ":" + std::to_string(fPort) + " (listening)";
    }

    void Start(Notes& ANotes) override {
        std::string why = "no address";
        for (const auto& address : Resolve(fHost, fPort, true)) {
            const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                why = Errno();
                continue;
            }
            const int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), Length(address)) != 0 ||
                ::listen(fd, 4) != 0) {
                why = Errno();
                ::close(fd);
                continue;
            }
            sockaddr_storage bound{};
            socklen_t length = sizeof bound;
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
            fPort = PortOf(bound);
            fListener = fd;
            ANotes.push_back("waiting for " + fWho + " on TCP " + fHost + ":" + std::to_string(fPort));
            return;
        }
        throw std::runtime_error("cannot listen on " + fHost + ":" + std::to_string(fPort) + ": " + why);
    }

    void Stop() override {
        CloseFd(fFd);
        CloseFd(fListener);
    }

    // While the connected peer is leaving (its end shut, its last bytes still to be read), a
    // newcomer waits to be accepted, so that a peer that reconnects at once is not refused.
    pollfd Watch() const override { return Leaving() ? pollfd{-1, 0, 0} : pollfd{fListener, POLLIN, 0}; }

    void Service(Notes& ANotes) override {
        for (;;) {
            if (Leaving()) return;
            sockaddr_storage peer{};
            socklen_t length = sizeof peer;
            const int fd = ::accept4(fListener, reinterpret_cast<sockaddr*>(&peer), &length,
                                     SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;
            if (Connected()) {
                const std::string why = "kestrel-monitor: " + fWho + " is connected already\r\n";
                [[maybe_unused]] const ssize_t n =
                    ::send(fd, why.data(), why.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                ::close(fd);
                ANotes.push_back("refused a connection from " + PeerName(peer) + ": " + fWho +
                                 " is connected already");
                continue;
            }
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            fFd = fd;
            ANotes.push_back(fWho + " connected from " + PeerName(peer));
        }
    }

    void Lost(const std::string& AWhy, Notes& ANotes) override {
        CloseFd(fFd);
        ANotes.push_back(fWho + " disconnected" + (AWhy.empty() ? "" : " (" + AWhy + ")"));
    }

private:
    bool Leaving() const {
        if (!Connected()) return false;
        pollfd p{fFd, POLLRDHUP, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
    }

    std::string fHost;
    uint16_t fPort;
    std::string fWho;
    int fListener = -1;
};

// ---- TCP, connecting to the peer (again, after it went away)

class ConnectEnd : public End {
public:
    ConnectEnd(std::string AHost, uint16_t APort, std::string AWho)
        : fHost(std::move(AHost)), fPort(APort), fWho(std::move(AWho)) {}
    ~ConnectEnd() override { Stop(); }

    std::string Describe() const override { return "TCP " + fHost + ":" + std::to_string(fPort); }

    void Start(Notes& ANotes) override {
        fAddresses = Resolve(fHost, fPort, false);
        std::string why = "no address";
        for (const auto& address : fAddresses) {
            const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) continue;
            bool done = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), Length(address)) == 0;
            if (!done && errno == EINPROGRESS)
                done = Finish(fd, 3000, why);
            else if (!done)
                why = Errno();
            if (done) {
                Connect(fd, ANotes);
                return;
            }
            ::close(fd);
        }
        throw std::runtime_error("cannot connect to " + fHost + ":" + std::to_string(fPort) + ": " + why);
    }

    void Stop() override {
        CloseFd(fFd);
        CloseFd(fPending);
    }

    pollfd Watch() const override { return {fPending, POLLOUT, 0}; }
    std::optional<SteadyClock::time_point> RetryAt() const override {
        return Connected() || fPending >= 0 ? std::nullopt : std::optional(fRetry);
    }

    void Service(Notes& ANotes) override {
        if (Connected()) return;
        if (fPending >= 0) {
            std::string why;
            int fd = fPending;
            fPending = -1;
            if (Finish(fd, 0, why)) {
                Connect(fd, ANotes);
                ANotes.back() += " again";
                return;
            }
            ::close(fd);
            fRetry = SteadyClock::now() + std::chrono::seconds(1);
            return;
        }
        const auto& address = fAddresses.front();
        const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            fRetry = SteadyClock::now() + std::chrono::seconds(1);
            return;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), Length(address)) == 0) {
            Connect(fd, ANotes);
            ANotes.back() += " again";
        } else if (errno == EINPROGRESS) {
            fPending = fd;
        } else {
            ::close(fd);
            fRetry = SteadyClock::now() + std::chrono::seconds(1);
        }
    }

    void Lost(const std::string& AWhy, Notes& ANotes) override {
        CloseFd(fFd);
        ANotes.push_back(fWho + " at " + fHost + ":" + std::to_string(fPort) + " went away" +
                         (AWhy.empty() ? "" : " (" + AWhy + ")") + "; connecting again every second");
        fRetry = SteadyClock::now() + std::chrono::seconds(1);
    }

private:
    static bool Finish(int AFd, int ATimeoutMs, std::string& AWhy) {
        pollfd p{AFd, POLLOUT, 0};
        if (::poll(&p, 1, ATimeoutMs) != 1) {
            AWhy = "no answer";
            return false;
        }
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(AFd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) AWhy = Errno(error);
        return error == 0;
    }

    void Connect(int AFd, Notes& ANotes) {
        const int one = 1;
        ::setsockopt(AFd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fFd = AFd;
        ANotes.push_back("connected to " + fWho + " at " + fHost + ":" + std::to_string(fPort));
    }

    std::string fHost;
    uint16_t fPort;
    std::string fWho;
    std::vector<sockaddr_storage> fAddresses;
    int fPending = -1;
    SteadyClock::time_point fRetry{};
};

} // namespace

std::pair<std::string, uint16_t> ParseHostPort(const std::string& AText, bool AHostRequired) {
    const auto colon = AText.rfind(':');
    if (AHostRequired && colon == std::string::npos)
        throw std::runtime_error("\"" + AText + "\" is not HOST:PORT");
    std::string host = colon == std::string::npos ? "127.0.0.1" : AText.substr(0, colon);
    const std::string port = colon == std::string::npos ? AText : AText.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(port) > 65535)
        throw std::runtime_error("\"" + AText + "\" is not [HOST:]PORT with PORT from 0 to 65535");
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    return {host.empty() ? "127.0.0.1" : host, static_cast<uint16_t>(std::stoul(port))};
}

std::unique_ptr<End> MakeEnd(const EndOptions& AEnd, const std::string& AWho) {
    switch (AEnd.What) {
    case EndOptions::Kind::Pty:
        return std::make_unique<PtyEnd>(AEnd.Target, AWho);
    case EndOptions::Kind::Serial:
        return std::make_unique<SerialEnd>(AEnd.Target, AEnd.Params, AWho);
    case EndOptions::Kind::Listen: {
        const auto [host, port] = ParseHostPort(AEnd.Target, false);
        return std::make_unique<ListenEnd>(host, port, AWho);
    }
    case EndOptions::Kind::Connect: {
        const auto [host, port] = ParseHostPort(AEnd.Target, false);
        if (port == 0) throw std::runtime_error("a TCP connection needs a port other than 0");
        return std::make_unique<ConnectEnd>(host, port, AWho);
    }
    }
    throw std::runtime_error("unknown end");
}

} // namespace kestrel::monitor
