#pragma once
#include "sim/FdChannel.h"
#include <mutex>

namespace kestrel::sim {

// A pseudo-terminal pair: the simulator keeps the master, the host opens the slave path. The
// simulator also holds the slave open, so a host that closes and reopens the port does not hang
// up the line. An optional symbolic link gives the slave a stable name.
class PtyChannel : public FdChannel {
public:
    // Raises std::runtime_error when no pair can be made or the link cannot be created.
    explicit PtyChannel(std::string ALinkPath = {});
    ~PtyChannel() override;

    ReadResult Read(ByteString& AOut, Millis ATimeout) override;
    bool Write(std::string_view ABytes) override;
    // Hangs up the current pair (the host sees the port vanish) and opens a new one; the link,
    // if any, follows the new slave.
    void Drop() override;
    // Safe from any thread: the path changes when the line is dropped.
    std::string Describe() const override { return SlavePath(); }
    std::string SlavePath() const;
    const std::string& LinkPath() const { return fLinkPath; }

private:
    void Open();
    void CloseFds();
    void UpdateLink();

    mutable std::mutex fPathMutex;
    int fMaster = -1;
    int fSlave = -1;
    std::string fSlavePath;
    std::string fLinkPath;
};

} // namespace kestrel::sim
