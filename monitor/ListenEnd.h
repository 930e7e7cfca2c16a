#pragma once
#include "monitor/Ends.h"
#include <cstdint>

namespace kestrel::monitor {

// TCP, waiting for the peer to connect, one peer at a time.
class ListenEnd : public End {
public:
    ListenEnd(std::string AHost, uint16_t APort, std::string AWho);
    ~ListenEnd() override;

    std::string Describe() const override;
    void Start(Notes& ANotes) override;
    void Stop() override;
    // While the connected peer is leaving (its end shut, its last bytes still to be read), a
    // newcomer waits to be accepted, so that a peer that reconnects at once is not refused.
    pollfd Watch() const override { return Leaving() ? pollfd{-1, 0, 0} : pollfd{fListener, POLLIN, 0}; }
    void Service(Notes& ANotes) override;
    void Lost(const std::string& AWhy, Notes& ANotes) override;

private:
    bool Leaving() const;

    std::string fHost;
    uint16_t fPort;
    std::string fWho;
    int fListener = -1;
};

} // namespace kestrel::monitor
