#pragma once
#include "trace/LinkTracker.h"
#include "util/Types.h"
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrel::monitor {

using trace::Direction;
using trace::TraceClock;
using vexo::ByteString;

// One thing the relay saw, in the order it saw it: bytes from one end, something the relay
// itself has to say (an end came or went, bytes could not be delivered), or the end of the
// session. A raw recording is a list of these.
struct RelayItem {
    enum class Kind { Bytes, Note, End };
    Kind What = Kind::Bytes;
    TraceClock::time_point At{};
    Direction Dir = Direction::HostToPinPad; // Bytes
    ByteString Bytes;                        // Bytes
    std::string Text;                        // Note: UTF-8, one line
    // End, read from a recording: the bytes to the PIN pad and to the host as they crossed the
    // line, when the recording says (masking may have changed a frame's length by an escape).
    std::optional<std::array<uint64_t, 2>> Wire;

    static RelayItem Chunk(Direction ADir, TraceClock::time_point AAt, ByteString ABytes) {
        RelayItem item;
        item.What = Kind::Bytes;
        item.At = AAt;
        item.Dir = ADir;
        item.Bytes = std::move(ABytes);
        return item;
    }
    static RelayItem Note(TraceClock::time_point AAt, std::string AText) {
        RelayItem item;
        item.What = Kind::Note;
        item.At = AAt;
        item.Text = std::move(AText);
        return item;
    }
    static RelayItem Ending(TraceClock::time_point AAt) {
        RelayItem item;
        item.What = Kind::End;
        item.At = AAt;
        return item;
    }
};

} // namespace kestrel::monitor
