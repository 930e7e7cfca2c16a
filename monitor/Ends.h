#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <vector>

namespace vexo {
class TVexoDevice;
}

namespace kestrel::monitor {

using SteadyClock = std::chrono::steady_clock;

// One side of the relay: the POS application's or the PIN pad's. An end is connected while bytes
// can flow (Fd() is valid); otherwise it waits for its peer to come (back): a POS application
// opening the pseudo-terminal, a TCP client, a serial port that returns. What happens to an end is
// told in notes, which the relay records with the traffic.
class End {
public:
    using Notes = std::vector<std::string>;

    virtual ~End() = default;
    // "pty /tmp/pos", "serial /dev/ttyACM0", "TCP 127.0.0.1:4000".
    virtual std::string Describe() const = 0;
    // Creates or opens what must be there from the start; raises std::runtime_error when it cannot.
    virtual void Start(Notes& ANotes) = 0;
    // Closes everything and removes what Start made (a link).
    virtual void Stop() = 0;

    // Where the peer's bytes are read (and written to it while it is connected), or -1.
    int Fd() const { return fFd; }
    // The peer is there to take bytes. A pseudo-terminal end reads its descriptor even while its
    // peer is away: what the peer wrote before it closed is still to be relayed.
    virtual bool Connected() const { return fFd >= 0; }
    // What to poll while waiting (fd -1 when nothing), and when to try again by itself.
    virtual pollfd Watch() const { return {-1, 0, 0}; }
    virtual std::optional<SteadyClock::time_point> RetryAt() const { return std::nullopt; }
    // The watched descriptor fired or the retry time came.
    virtual void Service(Notes& ANotes) = 0;
    // The peer went away (end of file, hang-up, an error reading or writing): close, and wait for
    // it again.
    virtual void Lost(const std::string& AWhy, Notes& ANotes) = 0;

protected:
    static void CloseFd(int& AFd);

    int fFd = -1;
};

// What an end is made of, from the command line.
struct EndOptions {
    enum class Kind { Pty, Serial, Listen, Connect };
    Kind What = Kind::Pty;
    std::string Target; // link path, device path, or [host:]port
    std::string Params; // Serial: the device layer's parameter string
};

// AWho names the peer in notes: "the POS application", "the PIN pad".
std::unique_ptr<End> MakeEnd(const EndOptions& AEnd, const std::string& AWho);

} // namespace kestrel::monitor
