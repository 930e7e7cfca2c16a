#pragma once
#include "util/Types.h"
#include <chrono>
#include <string>
#include <string_view>

namespace kestrel::sim {

using vexo::ByteString;
using Millis = std::chrono::milliseconds;

// The simulator's side of one byte link. Reads are bounded waits that another thread can cut
// short with Wake(); the simulator thread is the only reader and writer.
class Channel {
public:
    enum class ReadResult { Data, Timeout, Closed };

    virtual ~Channel() = default;

    // Appends whatever arrives within ATimeout to AOut. Timeout also covers a Wake() and a peer
    // that is not there yet; Closed means the channel can never deliver again.
    virtual ReadResult Read(ByteString& AOut, Millis ATimeout) = 0;
    // False when the bytes could not be delivered (no peer, peer gone).
    virtual bool Write(std::string_view ABytes) = 0;
    virtual void Wake() = 0;
    // The line goes away as if unplugged; the channel stays usable for the next peer.
    virtual void Drop() {}
    // Where the host finds us: a device path, host:port, or a name.
    virtual std::string Describe() const = 0;
};

} // namespace kestrel::sim
