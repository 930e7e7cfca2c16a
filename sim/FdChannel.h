#pragma once
#include "sim/Channel.h"

namespace kestrel::sim {

// Shared plumbing of the descriptor-backed channels: an eventfd that Wake() signals, and
// bounded poll()-based reads and writes on one data descriptor.
class FdChannel : public Channel {
public:
    FdChannel();
    ~FdChannel() override;
    FdChannel(const FdChannel&) = delete;
    FdChannel& operator=(const FdChannel&) = delete;

    void Wake() override;

protected:
    enum class Ready { Data, Woken, Timeout, Hangup, Other };
    // Waits for AFd (readable) or the wake signal, or for AOtherFd when given.
    Ready WaitReadable(int AFd, Millis ATimeout, int AOtherFd = -1);
    // Reads what is queued on AFd; false on end of file or error.
    static bool ReadAvailable(int AFd, ByteString& AOut);
    // Writes everything, waiting at most ATimeout in total for room; false on error or timeout.
    static bool WriteAll(int AFd, std::string_view ABytes, Millis ATimeout, bool ASocket = false);

private:
    int fWakeFd = -1;
};

} // namespace kestrel::sim
