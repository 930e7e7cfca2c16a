#pragma once
#include "monitor/Ends.h"
#include "util/Socket.h"
#include <cstdint>

namespace kestrel::monitor {

// TCP, connecting to the peer, and again every second after it went away.
class ConnectEnd : public End {
public:
    ConnectEnd(std::string AHost, uint16_t APort, std::string AWho);
    ~ConnectEnd() override;

    std::string Describe() const override { return "TCP " + Address(); }
    void Start(Notes& ANotes) override;
    void Stop() override;
    pollfd Watch() const override { return {fPending, POLLOUT, 0}; }
    std::optional<SteadyClock::time_point> RetryAt() const override {
        return Connected() || fPending >= 0 ? std::nullopt : std::optional(fRetry);
    }
    void Service(Notes& ANotes) override;
    void Lost(const std::string& AWhy, Notes& ANotes) override;

private:
    std::string Address() const;
    void Connect(int AFd, Notes& ANotes);

    std::string fHost;
    uint16_t fPort;
    std::string fWho;
    std::vector<vexo::TSocketAddress> fAddresses;
    int fPending = -1;
    SteadyClock::time_point fRetry{};
};

} // namespace kestrel::monitor
