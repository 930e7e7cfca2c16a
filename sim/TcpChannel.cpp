#include "sim/TcpChannel.h"
#include "util/HostPort.h"
#include "util/Socket.h"
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::sim {

namespace {
constexpr Millis kWriteTimeout{2000};
} // namespace

TcpChannel::TcpChannel(const std::string& AHost, uint16_t APort) : fHost(AHost) {
    const vexo::TListener listener = vexo::ListenTcp(AHost, APort, 1);
    fListener = listener.Fd;
    fPort = listener.Port;
}

TcpChannel::~TcpChannel() {
    if (fClient >= 0) close(fClient);
    close(fListener);
}

std::string TcpChannel::Describe() const {
    return vexo::FormatHostPort(fHost, fPort);
}

void TcpChannel::Accept() {
    const int client = vexo::AcceptTcp(fListener);
    if (client >= 0) fClient = client;
}

Channel::ReadResult TcpChannel::Read(ByteString& AOut, Millis ATimeout) {
    if (fClient < 0) {
        if (WaitReadable(fListener, ATimeout) == Ready::Data) Accept();
        return ReadResult::Timeout;
    }
    switch (WaitReadable(fClient, ATimeout)) {
    case Ready::Data:
        if (ReadAvailable(fClient, AOut)) return ReadResult::Data;
        [[fallthrough]];
    case Ready::Hangup:
        close(fClient);
        fClient = -1;
        return ReadResult::Timeout;
    default:
        return ReadResult::Timeout;
    }
}

bool TcpChannel::Write(std::string_view ABytes) {
    if (fClient < 0) return false;
    return WriteAll(fClient, ABytes, kWriteTimeout, true);
}

void TcpChannel::Drop() {
    if (fClient < 0) return;
    // A reset rather than a polite end: the cable is gone, not the peer saying goodbye.
    linger hard{1, 0};
    setsockopt(fClient, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(fClient);
    fClient = -1;
}

} // namespace kestrel::sim
