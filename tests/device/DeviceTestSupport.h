#pragma once
// Pseudo-terminals, loopback listeners, temporary folders and error capture for the device tests.
#include "util/Exception.h"
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace devtest {

// The message of the error AAction raises; "<no error>" when none.
inline std::string ErrorOf(const std::function<void()>& AAction) {
    try {
        AAction();
    } catch (const vexo::Exception& e) {
        return e.Message();
    }
    return "<no error>";
}

// The same with the error's class before the message ("ESerialPortError: ...").
inline std::string ClassAndErrorOf(const std::function<void()>& AAction) {
    try {
        AAction();
    } catch (const vexo::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "<no error>";
}

// Collects bytes from AFd until ACount arrived or ATimeOutMs passed without any.
inline std::string ReadSome(int AFd, size_t ACount, int ATimeOutMs = 2000) {
    std::string out;
    char buf[4096];
    while (out.size() < ACount) {
        pollfd p{AFd, POLLIN, 0};
        if (::poll(&p, 1, ATimeOutMs) <= 0) break;
        const ssize_t n = ::read(AFd, buf, std::min(sizeof buf, ACount - out.size()));
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// Code and message of the transport error of class E that AAction raises; {0, ""} when none.
template <class E> std::pair<int, std::string> CodedErrorOf(const std::function<void()>& AAction) {
    try {
        AAction();
    } catch (const E& e) {
        return {e.ErrorCode(), e.Message()};
    }
    return {0, ""};
}

// A pseudo-terminal pair. The device under test opens Name(); the test plays the far end on the
// master. Both sides are raw so every byte value passes unchanged.
class Pty {
public:
    Pty() {
        termios tio{};
        ::cfmakeraw(&tio);
        char name[128] = {};
        if (::openpty(&fMaster, &fSlave, name, &tio, nullptr) != 0) throw std::runtime_error("openpty");
        ::tcgetattr(fMaster, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fMaster, TCSANOW, &tio);
        fName = name;
        // The far end keeps no slave descriptor of its own, so closing the master hangs the line up.
        ::close(fSlave);
        fSlave = -1;
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Name() const { return fName; }
    int Master() const { return fMaster; }

    void Write(const std::string& AData) const {
        size_t done = 0;
        while (done < AData.size()) {
            const ssize_t n = ::write(fMaster, AData.data() + done, AData.size() - done);
            if (n <= 0) throw std::runtime_error("pty write");
            done += static_cast<size_t>(n);
        }
    }

    // Collects bytes from the master until ACount arrived or ATimeOutMs passed without any.
    std::string Read(size_t ACount, int ATimeOutMs = 2000) const {
        return ReadSome(fMaster, ACount, ATimeOutMs);
    }

    // Reads once whatever arrives within ATimeOutMs: one burst as the far end sees it.
    std::string ReadBurst(int ATimeOutMs) const {
        pollfd p{fMaster, POLLIN, 0};
        if (::poll(&p, 1, ATimeOutMs) <= 0) return {};
        char buf[4096];
        const ssize_t n = ::read(fMaster, buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }

    void CloseMaster() {
        if (fMaster >= 0) ::close(fMaster);
        fMaster = -1;
    }

private:
    int fMaster = -1;
    int fSlave = -1;
    std::string fName;
};

// A loopback TCP listener on an ephemeral port. Connections complete in the kernel's backlog, so
// a test can connect first and accept afterwards, on one thread.
class Listener {
public:
    explicit Listener(int ABacklog = 8) {
        fFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(fFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fFd, ABacklog) != 0)
            throw std::runtime_error("listen");
        socklen_t len = sizeof a;
        ::getsockname(fFd, reinterpret_cast<sockaddr*>(&a), &len);
        fPort = ntohs(a.sin_port);
    }
    ~Listener() {
        for (int c : fClients)
            ::close(c);
        if (fFd >= 0) ::close(fFd);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    int Port() const { return fPort; }

    // The next pending connection, waiting at most ATimeOutMs; -1 when none came.
    int Accept(int ATimeOutMs = 2000) {
        pollfd p{fFd, POLLIN, 0};
        if (::poll(&p, 1, ATimeOutMs) <= 0) return -1;
        const int c = ::accept4(fFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0) fClients.push_back(c);
        return c;
    }

    void Close() {
        ::close(fFd);
        fFd = -1;
    }

private:
    int fFd = -1;
    int fPort = 0;
    std::vector<int> fClients;
};

inline void SendAll(int AFd, const std::string& AData) {
    size_t done = 0;
    while (done < AData.size()) {
        const ssize_t n = ::send(AFd, AData.data() + done, AData.size() - done, MSG_NOSIGNAL);
        if (n <= 0) throw std::runtime_error("send");
        done += static_cast<size_t>(n);
    }
}

inline std::string RecvSome(int AFd, size_t ACount, int ATimeOutMs = 2000) {
    std::string out;
    char buf[4096];
    while (out.size() < ACount) {
        pollfd p{AFd, POLLIN, 0};
        if (::poll(&p, 1, ATimeOutMs) <= 0) break;
        const ssize_t n = ::recv(AFd, buf, std::min(sizeof buf, ACount - out.size()), 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-device-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        fPath = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(fPath, ec);
    }
    std::string File(const std::string& AName) const { return (fPath / AName).string(); }

private:
    std::filesystem::path fPath;
};

// Lines of a log file, CR LF stripped.
inline std::vector<std::string> LogLines(const std::string& AFile) {
    std::ifstream in(AFile, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The device log prefix is "-- dd/mm hh:nn:ss:zzz "; this strips it after checking its shape.
inline std::string LogText(const std::string& ALine) {
    static const std::string shape = "-- 99/99 99:99:99:999 ";
    if (ALine.size() < shape.size()) return "<short line: " + ALine + ">";
    for (size_t i = 0; i < shape.size(); ++i) {
        const char c = ALine[i];
        if (shape[i] == '9' ? (c < '0' || c > '9') : c != shape[i]) return "<bad prefix: " + ALine + ">";
    }
    return ALine.substr(shape.size());
}

inline std::vector<std::string> LogTexts(const std::string& AFile) {
    std::vector<std::string> out;
    for (const auto& l : LogLines(AFile))
        out.push_back(LogText(l));
    return out;
}

} // namespace devtest
