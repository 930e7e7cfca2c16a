#pragma once
#include "sim/Channel.h"
#include <condition_variable>
#include <memory>
#include <mutex>

namespace kestrel::sim {

// An in-process link for unit tests: the simulator holds the MemoryChannel, the test holds the
// HostEnd and plays the host byte by byte.
class MemoryChannel : public Channel {
public:
    class HostEnd;

    MemoryChannel();
    ReadResult Read(ByteString& AOut, Millis ATimeout) override;
    bool Write(std::string_view ABytes) override;
    void Wake() override;
    void Drop() override;
    std::string Describe() const override { return "memory"; }

    HostEnd Host() const;

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        ByteString toDevice, toHost;
        bool woken = false;
        bool closed = false; // the host end went away for good
        unsigned drops = 0;  // times the device dropped the line
    };
    std::shared_ptr<Shared> fShared;
};

class MemoryChannel::HostEnd {
public:
    void Write(std::string_view ABytes);
    // Waits until ACount bytes arrived (or the time is up) and returns what is there, at most
    // ACount bytes.
    ByteString Read(size_t ACount, Millis ATimeout);
    // Waits until nothing has arrived for AQuiet (bounded by ATimeout) and returns everything.
    ByteString ReadUntilQuiet(Millis AQuiet, Millis ATimeout);
    // Everything that has arrived so far.
    ByteString TakeAll();
    unsigned Drops() const;
    void Close();

private:
    friend class MemoryChannel;
    explicit HostEnd(std::shared_ptr<Shared> AShared) : fShared(std::move(AShared)) {}
    std::shared_ptr<Shared> fShared;
};

} // namespace kestrel::sim
