#pragma once
#include "device/BlockChannel.h"
#include <string>

namespace vexo {

// Socket error numbers: errno values are mapped to these so messages read the same everywhere.
enum : int {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAEDESTADDRREQ = 10039,
    WSAEMSGSIZE = 10040,
    WSAEPROTOTYPE = 10041,
    WSAENOPROTOOPT = 10042,
    WSAEPROTONOSUPPORT = 10043,
    WSAESOCKTNOSUPPORT = 10044,
    WSAEOPNOTSUPP = 10045,
    WSAEPFNOSUPPORT = 10046,
    WSAEAFNOSUPPORT = 10047,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAENETRESET = 10052,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAEISCONN = 10056,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETOOMANYREFS = 10059,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAELOOP = 10062,
    WSAENAMETOOLONG = 10063,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSAENOTEMPTY = 10066,
    WSAEPROCLIM = 10067,
    WSAEUSERS = 10068,
    WSAEDQUOT = 10069,
    WSAESTALE = 10070,
    WSAEREMOTE = 10071,
    WSASYSNOTREADY = 10091,
    WSAVERNOTSUPPORTED = 10092,
    WSANOTINITIALISED = 10093,
    WSAEDISCON = 10101,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_RECOVERY = 11003,
    WSANO_DATA = 11004,
};

// "Pelvor TCP/IP Socket error %d: %s"
class ESocketError : public EChannelError {
public:
    ESocketError(int ACode, std::string AText)
        : EChannelError("Pelvor TCP/IP Socket error", ACode, std::move(AText)) {}
    const char* ClassName() const noexcept override { return "ESocketError"; }
};

// A blocking TCP client over a non-blocking POSIX socket; every wait is a bounded poll().
class TTCPBlockSocket : public TBlockChannel {
public:
    TTCPBlockSocket();
    ~TTCPBlockSocket() override;
    TTCPBlockSocket(const TTCPBlockSocket&) = delete;
    TTCPBlockSocket& operator=(const TTCPBlockSocket&) = delete;

    // ms for connecting; 0 is a plain blocking connect.
    int ConnectionTimeout = 0;
    static constexpr int SendChunk = 65536;
    static constexpr int SendBlockedWait = 15000;

    // The socket error number for an errno value, and its text.
    static int ErrnoToSocketError(int AErrno);
    static std::string ErrorDescription(int ACode);

    void Connect(const std::string& AHost, const std::string& APort);
    // Shuts the sending direction, drains what is still readable, closes.
    void CloseSocket();
    bool IsOpen() const { return fSocket >= 0; }
    int Handle() const { return fSocket; }

    int SendBuffer(const char* AData, int ALength) override;
    ByteString RecvPacket(int ATimeOut) override;
    int WaitingData() override;
    int TimeoutCode() const override { return WSAETIMEDOUT; }
    bool CanRead(int ATimeOut);
    // Reads and discards, with a zero timeout, until nothing is buffered or waiting; errors are cleared.
    void Purge() override;

    const std::string& RemoteHost() const { return fHost; }
    int RemotePort() const { return fPort; }

protected:
    [[noreturn]] void RaiseError() override;
    std::string ErrorText(int ACode) const override { return ErrorDescription(ACode); }
    int MaxBufferCode() const override { return WSAENOBUFS; }

private:
    bool ConnectTo(const std::string& AHost, const std::string& APort);
    bool WaitWritable(int ATimeOut);
    bool ReadAvailable(ByteString& AData);
    void CloseHandle();

    int fSocket = -1;
    std::string fHost;
    int fPort = 0;
};

} // namespace vexo
