#pragma once
#include "pinpad/VexoAbecsPacket.h"
#include "util/Types.h"
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel::trace {

using vexo::ByteString;

// What one direction of the link carries, cut into the pieces a PIN pad and its host tell apart.
struct LinkUnit {
    enum class Kind {
        Frame, // SYN, escaped data field, ETB, two CRC bytes
        Ack,
        Nak,
        Can,
        Eot,
        Stray, // bytes outside any frame, or a frame that never ended
    };
    Kind What = Kind::Stray;
    ByteString Raw;      // the bytes as they crossed the line
    ByteString Data;     // Frame: the data field with the escaping undone
    bool CrcOk = true;   // Frame: the CRC matches the data field
    uint16_t CrcGot = 0; // Frame: the CRC the frame carried
    uint16_t CrcWant = 0;
    // Stray: why a frame that had begun was given up; None for bytes that were outside any frame.
    enum class Cut { None, Restarted, TooLong, Unfinished };
    Cut Abandoned = Cut::None;
};

const char* KindName(LinkUnit::Kind AKind); // "frame", "ACK", "NAK", "CAN", "EOT", "stray"

// Cuts one direction's byte stream into link units as the bytes arrive, in any chunks: a frame
// split over several reads comes out whole once its last CRC byte is in, and nothing is held back
// except the frame in progress. Every byte fed ends up in exactly one unit's Raw, in order.
class FrameDecoder {
public:
    // Longer than any packet can be on the wire, every data byte escaped, with SYN, ETB and the
    // CRC: beyond this a "frame" is noise that began with SYN. Whether the data field, unescaped,
    // fits the packet limit is the frame's own check (TVexoAbecsPacket).
    static constexpr size_t kMaxFrame = 2 * vexo::MaxPacketData + 4;

    // Appends the units completed by ABytes.
    void Feed(std::string_view ABytes, std::vector<LinkUnit>& AOut);
    // The frame in progress (if any) becomes a stray unit: the line went quiet or the input ended.
    void Flush(std::vector<LinkUnit>& AOut);
    bool InFrame() const { return fState != State::Idle; }

private:
    enum class State { Idle, Data, Crc };

    void EndStray(std::vector<LinkUnit>& AOut);
    void EndFrame(std::vector<LinkUnit>& AOut);
    void AbandonFrame(std::vector<LinkUnit>& AOut, LinkUnit::Cut AWhy);

    State fState = State::Idle;
    ByteString fFrame; // raw bytes of the frame in progress
    ByteString fStray; // stray bytes of the current chunk
    int fCrcBytes = 0;
};

} // namespace kestrel::trace
