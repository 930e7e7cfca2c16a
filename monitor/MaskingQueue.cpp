#include "monitor/MaskingQueue.h"

#include "trace/LinkMask.h"

#include <algorithm>

namespace kestrel::monitor {

namespace {

size_t Index(Direction ADir) {
    return ADir == Direction::HostToPinPad ? 0 : 1;
}

} // namespace

void MaskingQueue::Push(RelayItem AItem) {
    Held held;
    const bool bytes = AItem.What == RelayItem::Kind::Bytes;
    if (!fMask || !bytes) {
        held.Item = std::move(AItem);
        fHeld.push_back(std::move(held));
        return;
    }
    Side& side = fSide[Index(AItem.Dir)];
    held.Begin = side.Fed;
    side.Fed += AItem.Bytes.size();
    held.End = side.Fed;
    side.LastAt = AItem.At;
    const Direction dir = AItem.Dir;
    const ByteString chunk = AItem.Bytes;
    held.Item = std::move(AItem);
    fHeld.push_back(std::move(held));
    std::vector<trace::LinkUnit> units;
    side.Decoder.Feed(chunk, units);
    for (const auto& unit : units)
        Take(dir, unit);
}

void MaskingQueue::Take(Direction ADir, const trace::LinkUnit& AUnit) {
    Side& side = fSide[Index(ADir)];
    if (AUnit.What != trace::LinkUnit::Kind::Stray) {
        EndStray(ADir, true);
        Complete(ADir, AUnit);
        return;
    }
    side.Stray.Raw += AUnit.Raw;
    side.HasStray = true;
    if (side.Stray.Raw.size() > kMaxStray) EndStray(ADir, false);
}

namespace {

bool MayContinueANumber(char c) {
    return (c >= '0' && c <= '9') || c == ' ' || c == '-';
}

} // namespace

// The stretch of stray bytes is masked as one. Unless AAll, the digits (and the blanks and dashes
// between them) at its end wait for what comes next, up to a few dozen: a longer run is no number
// that could still change.
void MaskingQueue::EndStray(Direction ADir, bool AAll) {
    Side& side = fSide[Index(ADir)];
    if (!side.HasStray) return;
    const ByteString& raw = side.Stray.Raw;
    size_t keep = 0;
    if (!AAll) {
        while (keep < raw.size() && keep <= 64 && MayContinueANumber(raw[raw.size() - 1 - keep]))
            ++keep;
        if (keep > 64 || keep == raw.size()) keep = 0;
    }
    trace::LinkUnit unit;
    unit.What = trace::LinkUnit::Kind::Stray;
    unit.Raw = raw.substr(0, raw.size() - keep);
    side.Stray.Raw = raw.substr(raw.size() - keep);
    side.HasStray = keep > 0;
    Complete(ADir, unit);
}

// Hands the unit's masked bytes to the chunks its original bytes came in. Masking keeps the
// length but for a rare escape; then the last chunk takes what is over or short.
void MaskingQueue::Complete(Direction ADir, const trace::LinkUnit& AUnit) {
    Side& side = fSide[Index(ADir)];
    const ByteString masked = trace::MaskLinkUnit(AUnit, ADir == Direction::PinPadToHost);
    const uint64_t from = side.Done, to = side.Done + AUnit.Raw.size();
    std::vector<Held*> chunks;
    for (Held& held : fHeld)
        if (held.Item.What == RelayItem::Kind::Bytes && held.Item.Dir == ADir && held.Begin < to &&
            held.End > from)
            chunks.push_back(&held);
    size_t taken = 0;
    for (size_t k = 0; k < chunks.size(); ++k) {
        Held& held = *chunks[k];
        const uint64_t share = std::min(held.End, to) - std::max(held.Begin, from);
        const size_t count = k + 1 == chunks.size()
                                 ? masked.size() - taken
                                 : std::min<size_t>(static_cast<size_t>(share), masked.size() - taken);
        held.Out.append(masked, taken, count);
        taken += count;
    }
    side.Done = to;
}

bool MaskingQueue::Ready(const Held& AHeld) const {
    if (!fMask || AHeld.Item.What != RelayItem::Kind::Bytes) return true;
    return AHeld.End <= fSide[Index(AHeld.Item.Dir)].Done;
}

void MaskingQueue::Expire(TraceClock::time_point ANow) {
    if (!fMask) return;
    for (const Direction dir : {Direction::HostToPinPad, Direction::PinPadToHost}) {
        Side& side = fSide[Index(dir)];
        if ((!side.Decoder.InFrame() && !side.HasStray) || ANow - side.LastAt < fFrameGap) continue;
        std::vector<trace::LinkUnit> units;
        side.Decoder.Flush(units);
        for (const auto& unit : units)
            Take(dir, unit);
        EndStray(dir, true);
    }
}

void MaskingQueue::Flush() {
    if (!fMask) return;
    for (const Direction dir : {Direction::HostToPinPad, Direction::PinPadToHost}) {
        std::vector<trace::LinkUnit> units;
        fSide[Index(dir)].Decoder.Flush(units);
        for (const auto& unit : units)
            Take(dir, unit);
        EndStray(dir, true);
    }
}

bool MaskingQueue::Pop(RelayItem& AItem) {
    while (!fHeld.empty() && Ready(fHeld.front())) {
        Held held = std::move(fHeld.front());
        fHeld.pop_front();
        if (fMask && held.Item.What == RelayItem::Kind::Bytes) {
            if (held.Out.empty()) continue; // masking shortened the unit and left this chunk nothing
            held.Item.Bytes = std::move(held.Out);
        }
        AItem = std::move(held.Item);
        return true;
    }
    return false;
}

std::optional<TraceClock::time_point> MaskingQueue::NextExpiry() const {
    std::optional<TraceClock::time_point> next;
    if (!fMask) return next;
    for (const Side& side : fSide)
        if (side.Decoder.InFrame() || side.HasStray) {
            const auto at = side.LastAt + fFrameGap;
            if (!next || at < *next) next = at;
        }
    return next;
}

std::optional<TraceClock::time_point> MaskingQueue::FrontTime() const {
    if (fHeld.empty()) return std::nullopt;
    return fHeld.front().Item.At;
}

} // namespace kestrel::monitor
