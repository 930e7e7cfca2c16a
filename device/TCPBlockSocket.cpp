#include "device/TCPBlockSocket.h"
#include "util/Socket.h"
#include <algorithm>
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vexo {

namespace {

int ResolverError(int ARc) {
    switch (ARc) {
    case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
    case EAI_SERVICE:
        return 10109; // class type not found
    case EAI_SYSTEM:
        return TTCPBlockSocket::ErrnoToSocketError(errno);
    default:
        return WSANO_RECOVERY;
    }
}

} // namespace

int TTCPBlockSocket::ErrnoToSocketError(int AErrno) {
    switch (AErrno) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
        return WSAEMFILE;
    case EAGAIN:
        return WSAEWOULDBLOCK;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return WSAEDESTADDRREQ;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return WSAEPROTOTYPE;
    case ENOPROTOOPT:
        return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
        return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
        return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ENOBUFS:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETOOMANYREFS:
        return WSAETOOMANYREFS;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ELOOP:
        return WSAELOOP;
    case ENAMETOOLONG:
        return WSAENAMETOOLONG;
    case EHOSTDOWN:
        return WSAEHOSTDOWN;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOTEMPTY:
        return WSAENOTEMPTY;
    case EUSERS:
        return WSAEUSERS;
    case EDQUOT:
        return WSAEDQUOT;
    case ESTALE:
        return WSAESTALE;
    case EREMOTE:
        return WSAEREMOTE;
    default:
        return AErrno;
    }
}

std::string TTCPBlockSocket::ErrorDescription(int ACode) {
    switch (ACode) {
    case 0:
        return "OK";
    case WSAEINTR:
        return "Interrupted system call";
    case WSAEBADF:
        return "Bad file number";
    case WSAEACCES:
        return "Permission denied";
    case WSAEFAULT:
        return "Bad address";
    case WSAEINVAL:
        return "Invalid argument";
    case WSAEMFILE:
        return "Too many open files";
    case WSAEWOULDBLOCK:
        return "Operation would block";
    case WSAEINPROGRESS:
        return "Operation now in progress";
    case WSAEALREADY:
        return "Operation already in progress";
    case WSAENOTSOCK:
        return "Socket operation on nonsocket";
    case WSAEDESTADDRREQ:
        return "Destination address required";
    case WSAEMSGSIZE:
        return "Message too long";
    case WSAEPROTOTYPE:
        return "Protocol wrong type for socket";
    case WSAENOPROTOOPT:
        return "Protocol not available";
    case WSAEPROTONOSUPPORT:
        return "Protocol not supported";
    case WSAESOCKTNOSUPPORT:
        return "Socket type not supported";
    case WSAEOPNOTSUPP:
        return "Operation not supported on socket";
    case WSAEPFNOSUPPORT:
        return "Protocol family not supported";
    case WSAEAFNOSUPPORT:
        return "Address family not supported";
    case WSAEADDRINUSE:
        return "Address already in use";
    case WSAEADDRNOTAVAIL:
        return "Cannot assign requested address";
    case WSAENETDOWN:
        return "Network is down";
    case WSAENETUNREACH:
        return "Network is unreachable";
    case WSAENETRESET:
        return "Network dropped connection on reset";
    case WSAECONNABORTED:
        return "Software caused connection abort";
    case WSAECONNRESET:
        return "Connection reset by peer";
    case WSAENOBUFS:
        return "No buffer space available";
    case WSAEISCONN:
        return "Socket is already connected";
    case WSAENOTCONN:
        return "Socket is not connected";
    case WSAESHUTDOWN:
        return "Cannot send after socket shutdown";
    case WSAETOOMANYREFS:
        return "Too many references";
    case WSAETIMEDOUT:
        return "Connection timed out";
    case WSAECONNREFUSED:
        return "Connection refused";
    case WSAELOOP:
        return "Too many levels of symbolic links";
    case WSAENAMETOOLONG:
        return "File name too long";
    case WSAEHOSTDOWN:
        return "Host is down";
    case WSAEHOSTUNREACH:
        return "No route to host";
    case WSAENOTEMPTY:
        return "Directory not empty";
    case WSAEPROCLIM:
        return "Too many processes";
    case WSAEUSERS:
        return "Too many users";
    case WSAEDQUOT:
        return "Disk quota exceeded";
    case WSAESTALE:
        return "Stale file handle";
    case WSAEREMOTE:
        return "Too many levels of remote in path";
    case WSASYSNOTREADY:
        return "Network subsystem is unusable";
    case WSAVERNOTSUPPORTED:
        return "Socket library cannot support this application";
    case WSANOTINITIALISED:
        return "Socket library not initialised";
    case WSAEDISCON:
        return "Graceful shutdown in progress";
    case WSAHOST_NOT_FOUND:
        return "Host not found";
    case WSATRY_AGAIN:
        return "Non authoritative - host not found";
    case WSANO_RECOVERY:
        return "Non recoverable error";
    case WSANO_DATA:
        return "Valid name, no data record of requested type";
    default:
        return "Other Winsock error (" + std::to_string(ACode) + ")";
    }
}

TTCPBlockSocket::TTCPBlockSocket() = default;

TTCPBlockSocket::~TTCPBlockSocket() {
    CloseHandle();
}

void TTCPBlockSocket::RaiseError() {
    throw ESocketError(LastError(), LastErrorDesc());
}

void TTCPBlockSocket::CloseHandle() {
    if (fSocket >= 0) ::close(fSocket);
    fSocket = -1;
}

void TTCPBlockSocket::Connect(const std::string& AHost, const std::string& APort) {
    ClearError();
    CloseHandle();
    LineBuffer.clear();
    fHost = AHost;
    fPort = 0;
    if (!ConnectTo(AHost, APort)) CloseHandle();
    ExceptCheck();
}

bool TTCPBlockSocket::ConnectTo(const std::string& AHost, const std::string& APort) {
    std::vector<TSocketAddress> addresses;
    const int rc = ResolveTcp(AHost, APort, false, addresses);
    if (rc != 0) {
        SetError(ResolverError(rc));
        return false;
    }
    fPort = addresses.front().Port();
    int error = 0;
    // 0 is a plain blocking connect, ended by the system's own connect timeout.
    fSocket = ConnectTcp(addresses, ConnectionTimeout, error);
    if (fSocket < 0) {
        SetError(ErrnoToSocketError(error));
        return false;
    }
    ClearError();
    return true;
}

bool TTCPBlockSocket::WaitWritable(int ATimeOut) {
    const auto deadline = After(ATimeOut);
    for (;;) {
        pollfd p{fSocket, POLLOUT, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

int TTCPBlockSocket::SendBuffer(const char* AData, int ALength) {
    ClearError();
    if (!IsOpen()) {
        SetError(WSAENOTCONN);
        ExceptCheck();
        return 0;
    }
    int sent = 0;
    while (sent < ALength && LastError() == 0) {
        const int piece = std::min(SendChunk, ALength - sent);
        BandwidthWait(piece);
        int done = 0;
        bool retried = false;
        while (done < piece) {
            const ssize_t n =
                ::send(fSocket, AData + sent + done, static_cast<size_t>(piece - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<int>(n);
                retried = false; // progress: a later block gets its own wait
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN && !retried && WaitWritable(SendBlockedWait)) {
                retried = true;
                continue;
            }
            const int err = n < 0 && errno == EAGAIN ? WSAETIMEDOUT : ErrnoToSocketError(errno);
            if (err == WSAECONNRESET) RaiseGone(WSAECONNRESET);
            SetError(err);
            break;
        }
        sent += done;
    }
    ExceptCheck();
    return sent;
}

int TTCPBlockSocket::WaitingData() {
    int n = 0;
    if (!IsOpen() || ::ioctl(fSocket, FIONREAD, &n) != 0) return 0;
    return std::min(n, 65536);
}

// Reads what is readable now. False when the peer has closed and nothing was read.
bool TTCPBlockSocket::ReadAvailable(ByteString& AData) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fSocket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            AData.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        if (n < 0 && ErrnoToSocketError(errno) != WSAECONNRESET) {
            SetError(ErrnoToSocketError(errno));
            return true;
        }
        return !AData.empty();
    }
}

ByteString TTCPBlockSocket::RecvPacket(int ATimeOut) {
    ClearError();
    if (!IsOpen()) {
        SetError(WSAENOTCONN);
        ExceptCheck();
        return {};
    }
    if (!LineBuffer.empty()) return std::exchange(LineBuffer, {});
    const auto deadline = After(ATimeOut);
    for (;;) {
        ByteString data;
        const bool alive = ReadAvailable(data);
        if (!data.empty()) return data;
        if (!alive) RaiseGone(WSAECONNRESET);
        if (LastError() != 0) break;
        pollfd p{fSocket, POLLIN, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            SetError(r == 0 ? WSAETIMEDOUT : ErrnoToSocketError(errno));
            break;
        }
    }
    ExceptCheck();
    return {};
}

bool TTCPBlockSocket::CanRead(int ATimeOut) {
    if (!IsOpen()) return false;
    if (!LineBuffer.empty() || WaitingData() > 0) return true;
    const auto deadline = After(ATimeOut);
    for (;;) {
        pollfd p{fSocket, POLLIN, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        return r > 0 && WaitingData() > 0;
    }
}

void TTCPBlockSocket::Purge() {
    if (IsOpen()) {
        // A short wait on the socket lets bytes already in flight arrive before they are discarded.
        pollfd p{fSocket, POLLIN, 0};
        ::poll(&p, 1, 1);
    }
    LineBuffer.clear();
    ByteString discard;
    while (IsOpen() && WaitingData() > 0) {
        discard.clear();
        if (!ReadAvailable(discard) || discard.empty()) break;
    }
    LineBuffer.clear();
    ClearError();
}

void TTCPBlockSocket::CloseSocket() {
    if (IsOpen() && LastError() == 0) {
        ::shutdown(fSocket, SHUT_WR);
        Purge();
    }
    CloseHandle();
    LineBuffer.clear();
    ClearError();
}

} // namespace vexo
