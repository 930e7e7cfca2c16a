#include "sim/PacedChannel.h"
#include <algorithm>
#include <thread>

namespace kestrel::sim {

PacedChannel::Clock::duration PacedChannel::ByteTime() const {
    const unsigned baud = fBaud;
    return baud == 0 ? Clock::duration::zero()
                     : std::chrono::duration_cast<Clock::duration>(
                           std::chrono::nanoseconds(10'000'000'000LL / baud));
}

void PacedChannel::Release(ByteString& AOut) {
    const auto now = Clock::now();
    while (!fArriving.empty() && fArriving.front().first <= now) {
        AOut += fArriving.front().second;
        fArriving.pop_front();
    }
}

Channel::ReadResult PacedChannel::Read(ByteString& AOut, Millis ATimeout) {
    if (fBaud == 0 && fArriving.empty()) return fInner.Read(AOut, ATimeout);
    const size_t before = AOut.size();
    Release(AOut);
    if (AOut.size() > before) return ReadResult::Data;

    auto wait = ATimeout;
    if (!fArriving.empty())
        wait = std::min(wait, std::chrono::ceil<Millis>(fArriving.front().first - Clock::now()));
    ByteString fresh;
    const auto result = fInner.Read(fresh, std::max(wait, Millis(0)));
    const auto byteTime = ByteTime();
    for (char c : fresh) {
        fRxLineFree = std::max(fRxLineFree, Clock::now()) + byteTime;
        fArriving.emplace_back(fRxLineFree, c);
    }
    Release(AOut);
    if (AOut.size() > before) return ReadResult::Data;
    return result == ReadResult::Closed && fArriving.empty() ? ReadResult::Closed : ReadResult::Timeout;
}

bool PacedChannel::Write(std::string_view ABytes) {
    const auto byteTime = ByteTime();
    if (byteTime == Clock::duration::zero()) return fInner.Write(ABytes);
    // Hand the bytes over in slices of about a millisecond, each when the line has carried the
    // previous one, so the far end sees a steady stream rather than one burst after a pause.
    const size_t slice = std::max<size_t>(1, static_cast<size_t>(std::chrono::milliseconds(1) / byteTime));
    while (!ABytes.empty()) {
        const auto piece = ABytes.substr(0, slice);
        fTxLineFree = std::max(fTxLineFree, Clock::now()) + byteTime * static_cast<long>(piece.size());
        std::this_thread::sleep_until(fTxLineFree);
        if (!fInner.Write(piece)) return false;
        ABytes.remove_prefix(piece.size());
    }
    return true;
}

void PacedChannel::Drop() {
    fArriving.clear();
    fInner.Drop();
}

} // namespace kestrel::sim
