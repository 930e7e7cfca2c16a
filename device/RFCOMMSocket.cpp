#include "device/RFCOMMSocket.h"
#include <algorithm>
#include <bluetooth/bluetooth.h>
#include <bluetooth/rfcomm.h>
#include <bluetooth/sdp.h>
#include <bluetooth/sdp_lib.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vexo {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point ADeadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(ADeadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for a non-blocking connect on AFd; 0, or an errno value.
int WaitConnected(int AFd, Clock::time_point ADeadline) {
    for (;;) {
        pollfd p{AFd, POLLOUT, 0};
        const int r = ::poll(&p, 1, RemainingMs(ADeadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return ETIMEDOUT;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(AFd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
        return err;
    }
}

bool ParseUUID128(const std::string& AText, uuid_t& AUUID) {
    uint8_t bytes[16];
    int n = 0;
    for (size_t i = 0; i < AText.size() && n < 16;) {
        if (AText[i] == '-') {
            ++i;
            continue;
        }
        unsigned v = 0;
        if (i + 1 >= AText.size() || std::sscanf(AText.c_str() + i, "%2x", &v) != 1) return false;
        bytes[n++] = static_cast<uint8_t>(v);
        i += 2;
    }
    if (n != 16) return false;
    sdp_uuid128_create(&AUUID, bytes);
    return true;
}

// The RFCOMM channel of the service in the device's records; 0 when it has none.
int ServiceChannel(const bdaddr_t& AAddress, const std::string& AServiceUUID, Clock::time_point ADeadline) {
    uuid_t service;
    if (!ParseUUID128(AServiceUUID, service)) {
        errno = EINVAL;
        return 0;
    }
    bdaddr_t any{};
    sdp_session_t* session = sdp_connect(&any, &AAddress, SDP_RETRY_IF_BUSY | SDP_NON_BLOCKING);
    if (!session) return 0;
    const int fd = sdp_get_socket(session);
    if (const int err = WaitConnected(fd, ADeadline)) {
        sdp_close(session);
        errno = err;
        return 0;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int ms = std::max(RemainingMs(ADeadline), 1);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);

    sdp_list_t* search = sdp_list_append(nullptr, &service);
    uint32_t range = 0x0000ffff;
    sdp_list_t* attrs = sdp_list_append(nullptr, &range);
    sdp_list_t* records = nullptr;
    int channel = 0;
    if (sdp_service_search_attr_req(session, search, SDP_ATTR_REQ_RANGE, attrs, &records) == 0) {
        for (sdp_list_t* r = records; r && channel == 0; r = r->next) {
            auto* record = static_cast<sdp_record_t*>(r->data);
            sdp_list_t* protos = nullptr;
            if (sdp_get_access_protos(record, &protos) == 0) {
                channel = sdp_get_proto_port(protos, RFCOMM_UUID);
                for (sdp_list_t* p = protos; p; p = p->next)
                    sdp_list_free(static_cast<sdp_list_t*>(p->data), nullptr);
                sdp_list_free(protos, nullptr);
            }
        }
        sdp_list_free(records, reinterpret_cast<sdp_free_func_t>(sdp_record_free));
    }
    const int err = errno;
    sdp_list_free(search, nullptr);
    sdp_list_free(attrs, nullptr);
    sdp_close(session);
    if (channel <= 0) errno = err ? err : ENOENT;
    return channel > 0 ? channel : 0;
}

} // namespace

int ConnectRFCOMM(const TBlueToothDeviceInfo& ADevice, const std::string& AServiceUUID, int ATimeOutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ATimeOutMs > 0 ? ATimeOutMs : 5000);
    bdaddr_t address{};
    if (str2ba(ADevice.Address.c_str(), &address) < 0) {
        errno = EINVAL;
        return -1;
    }
    const int channel = ServiceChannel(address, AServiceUUID, deadline);
    if (channel <= 0) return -1;
    const int fd = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, BTPROTO_RFCOMM);
    if (fd < 0) return -1;
    sockaddr_rc to{};
    to.rc_family = AF_BLUETOOTH;
    to.rc_bdaddr = address;
    to.rc_channel = static_cast<uint8_t>(channel);
    int err = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        err = errno == EINPROGRESS || errno == EAGAIN ? WaitConnected(fd, deadline) : errno;
    if (err != 0) {
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

} // namespace vexo
