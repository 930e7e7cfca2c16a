#include "sim/MemoryChannel.h"

namespace kestrel::sim {

using Clock = std::chrono::steady_clock;

MemoryChannel::MemoryChannel() : fShared(std::make_shared<Shared>()) {}

Channel::ReadResult MemoryChannel::Read(ByteString& AOut, Millis ATimeout) {
    std::unique_lock lock(fShared->mutex);
    fShared->changed.wait_for(
        lock, ATimeout, [&] { return !fShared->toDevice.empty() || fShared->woken || fShared->closed; });
    fShared->woken = false;
    if (!fShared->toDevice.empty()) {
        AOut += fShared->toDevice;
        fShared->toDevice.clear();
        return ReadResult::Data;
    }
    return fShared->closed ? ReadResult::Closed : ReadResult::Timeout;
}

bool MemoryChannel::Write(std::string_view ABytes) {
    std::lock_guard lock(fShared->mutex);
    if (fShared->closed) return false;
    fShared->toHost += ABytes;
    fShared->changed.notify_all();
    return true;
}

void MemoryChannel::Wake() {
    std::lock_guard lock(fShared->mutex);
    fShared->woken = true;
    fShared->changed.notify_all();
}

void MemoryChannel::Drop() {
    std::lock_guard lock(fShared->mutex);
    fShared->toDevice.clear();
    ++fShared->drops;
    fShared->changed.notify_all();
}

MemoryChannel::HostEnd MemoryChannel::Host() const {
    return HostEnd(fShared);
}

void MemoryChannel::HostEnd::Write(std::string_view ABytes) {
    std::lock_guard lock(fShared->mutex);
    fShared->toDevice += ABytes;
    fShared->changed.notify_all();
}

ByteString MemoryChannel::HostEnd::Read(size_t ACount, Millis ATimeout) {
    std::unique_lock lock(fShared->mutex);
    fShared->changed.wait_for(lock, ATimeout, [&] { return fShared->toHost.size() >= ACount; });
    ByteString result = fShared->toHost.substr(0, ACount);
    fShared->toHost.erase(0, result.size());
    return result;
}

ByteString MemoryChannel::HostEnd::ReadUntilQuiet(Millis AQuiet, Millis ATimeout) {
    const auto deadline = Clock::now() + ATimeout;
    std::unique_lock lock(fShared->mutex);
    ByteString result;
    while (Clock::now() < deadline) {
        const size_t before = fShared->toHost.size();
        const auto until = std::min(deadline, Clock::now() + AQuiet);
        fShared->changed.wait_until(lock, until, [&] { return fShared->toHost.size() != before; });
        if (fShared->toHost.size() == before) break;
    }
    result.swap(fShared->toHost);
    return result;
}

ByteString MemoryChannel::HostEnd::TakeAll() {
    std::lock_guard lock(fShared->mutex);
    ByteString result;
    result.swap(fShared->toHost);
    return result;
}

unsigned MemoryChannel::HostEnd::Drops() const {
    std::lock_guard lock(fShared->mutex);
    return fShared->drops;
}

void MemoryChannel::HostEnd::Close() {
    std::lock_guard lock(fShared->mutex);
    fShared->closed = true;
    fShared->changed.notify_all();
}

} // namespace kestrel::sim
