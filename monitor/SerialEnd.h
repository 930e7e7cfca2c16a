#pragma once
#include "monitor/Ends.h"

namespace kestrel::monitor {

// A serial port, opened and configured by the device layer, opened again every second while it
// is away.
class SerialEnd : public End {
public:
    SerialEnd(std::string APath, std::string AParams, std::string AWho);
    ~SerialEnd() override;

    std::string Describe() const override;
    void Start(Notes& ANotes) override;
    void Stop() override;
    std::optional<SteadyClock::time_point> RetryAt() const override {
        return Connected() ? std::nullopt : std::optional(fRetry);
    }
    void Service(Notes& ANotes) override;
    void Lost(const std::string& AWhy, Notes& ANotes) override;

private:
    bool Open(std::string& AWhy);

    std::string fPath, fParams, fWho;
    std::unique_ptr<vexo::TVexoDevice> fDevice;
    SteadyClock::time_point fRetry{};
};

} // namespace kestrel::monitor
