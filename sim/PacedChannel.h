#pragma once
#include "sim/Channel.h"
#include <atomic>
#include <chrono>
#include <deque>

namespace kestrel::sim {

// Paces both directions of another channel to a serial line rate, ten bits per byte, so that
// transfer times look like a real link: a byte we send leaves no earlier than the line could
// carry it, and a byte the host sends reaches us no earlier than its last bit would.
// A rate of 0 passes everything through at once.
class PacedChannel : public Channel {
public:
    explicit PacedChannel(Channel& AInner, unsigned ABaud = 0) : fInner(AInner), fBaud(ABaud) {}

    void SetBaud(unsigned ABaud) { fBaud = ABaud; }
    unsigned Baud() const { return fBaud; }

    ReadResult Read(ByteString& AOut, Millis ATimeout) override;
    bool Write(std::string_view ABytes) override;
    void Wake() override { fInner.Wake(); }
    void Drop() override;
    std::string Describe() const override { return fInner.Describe(); }

private:
    using Clock = std::chrono::steady_clock;
    Clock::duration ByteTime() const;
    void Release(ByteString& AOut);

    Channel& fInner;
    std::atomic<unsigned> fBaud;
    std::deque<std::pair<Clock::time_point, char>> fArriving; // byte and when its last bit lands
    Clock::time_point fRxLineFree{}, fTxLineFree{};
};

} // namespace kestrel::sim
