#pragma once
#include "sim/FdChannel.h"
#include <cstdint>

namespace kestrel::sim {

// A TCP listener that serves one host connection at a time; when the host disconnects the next
// connection is accepted.
class TcpChannel : public FdChannel {
public:
    // APort 0 picks a free port; AHost may be an IPv6 address. Raises std::runtime_error when the
    // address cannot be bound.
    explicit TcpChannel(const std::string& AHost = "127.0.0.1", uint16_t APort = 0);
    ~TcpChannel() override;

    ReadResult Read(ByteString& AOut, Millis ATimeout) override;
    bool Write(std::string_view ABytes) override;
    // Closes the host's connection (it sees a reset or end of stream); the listener stays.
    void Drop() override;
    std::string Describe() const override;

    uint16_t Port() const { return fPort; }
    bool Connected() const { return fClient >= 0; }

private:
    void Accept();

    int fListener = -1;
    int fClient = -1;
    std::string fHost;
    uint16_t fPort = 0;
};

} // namespace kestrel::sim
