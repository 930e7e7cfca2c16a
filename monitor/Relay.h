#pragma once
#include "monitor/Ends.h"
#include "monitor/Session.h"
#include <cstdint>

namespace kestrel::monitor {

// The transparent relay: one poll() loop over both ends. Every chunk read from one end is written
// to the other at once, before it is decoded, unchanged and in order; what the far end cannot take
// yet waits in a queue of its own (and reading from the near end pauses while that queue is long,
// so the line's own flow control holds the sender). Bytes for an end that is not connected cannot
// be delivered: they are still decoded, and a note says so. Every wait is bounded.
class Relay {
public:
    Relay(End& AHost, End& APinPad, Session& ASession);

    // Starts both ends; raises std::runtime_error when one cannot start.
    void Start();
    // Relays until AStopFd is readable (a signalfd, an eventfd), then ends the session and stops
    // the ends.
    void Run(int AStopFd);

    // Bytes written to each end so far.
    uint64_t Written(Direction ADir) const { return fSide[ADir == Direction::HostToPinPad ? 1 : 0].Written; }

    static constexpr size_t kReadChunk = 65536;
    static constexpr size_t kMaxPending = 256 * 1024;

private:
    struct Side {
        End* Peer = nullptr;
        const char* Who = "";
        Direction From = Direction::HostToPinPad; // the direction of what is read from it
        ByteString Pending;                       // bytes for it that it could not take yet
        uint64_t Written = 0, Undelivered = 0;
        bool Away = false; // bytes were dropped since it went away
    };

    void Read(Side& AFrom, short AEvents);
    void Forward(Side& ATo, const char* AData, size_t ASize);
    void Flush(Side& ATo);
    ssize_t Send(int AFd, const char* AData, size_t ASize);
    void Lose(Side& ASide, const std::string& AWhy);
    void Serviced(Side& ASide, bool AWasConnected);
    void Notes(End::Notes& ANotes);
    void Note(const std::string& AText);
    int Timeout() const;
    TraceClock::time_point Stamp();

    Side fSide[2]; // the host, the PIN pad
    Session& fSession;
    std::vector<RelayItem> fItems; // read in this round, for the session once the bytes are out
    TraceClock::time_point fLastStamp{};
};

} // namespace kestrel::monitor
