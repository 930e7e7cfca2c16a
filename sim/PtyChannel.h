#pragma once
#include "sim/FdChannel.h"
#include "util/PseudoTerminal.h"
#include <memory>
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
    mutable std::mutex fPathMutex;
    vexo::TPseudoTerminal fPty;
    std::string fLinkPath;
    // After the terminal, so that it goes first: a host never opens a name whose line is gone.
    std::unique_ptr<vexo::TPtyLink> fLink;
};

} // namespace kestrel::sim
