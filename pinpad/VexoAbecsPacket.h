#pragma once
#include "util/Types.h"
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexo {

// Control bytes of the link.
constexpr uint8_t SYN = 0x16; // first byte of every frame
constexpr uint8_t ETB = 0x17; // end of the data field, the two CRC bytes follow
constexpr uint8_t DC3 = 0x13; // escape prefix inside the data field
constexpr uint8_t ACK = 0x06; // frame accepted
constexpr uint8_t NAK = 0x15; // frame rejected
constexpr uint8_t CAN = 0x18; // host aborts a running command
constexpr uint8_t EOT = 0x04; // PIN pad confirms the abort

// The protocol's limit on one packet: data bytes between SYN and ETB counted before escaping, so a
// receiver may collect up to twice as many bytes on the wire (every byte escaped), plus ETB and the CRC.
constexpr std::size_t MaxPacketData = 2048;

// One frame: SYN, escaped data field, ETB, CRC-16/XMODEM of data + ETB (high byte first).
class TVexoAbecsPacket {
public:
    static constexpr int MinFrameSize = 7;

    TVexoAbecsPacket() = default;
    explicit TVexoAbecsPacket(ByteString AData) : fData(std::move(AData)) {}

    void Clear() { fData.clear(); }
    const ByteString& Data() const { return fData; } // unescaped data field

    // The complete frame. The setter checks and unwraps a received frame, raising
    // EVexoAbecsPinPadError and keeping the old data when the frame is bad or its data field,
    // unescaped, is longer than MaxPacketData.
    ByteString AsString() const { return GetAsString(); }
    ByteString GetAsString() const;
    void SetAsString(std::string_view AFrame);

    // The two CRC bytes of AData, high byte first.
    static ByteString CalcCRC(std::string_view AData);
    // The CRC register after feeding AData into ACRC; lets a caller chain pieces without copying.
    static uint16_t UpdateCRC(uint16_t ACRC, std::string_view AData);
    // The CRC a frame carries for the unescaped data field AData: over the data, then ETB.
    static uint16_t FrameCRC(std::string_view AData);
    static ByteString StuffData(std::string_view AData);
    static ByteString UnstuffData(std::string_view AData);

private:
    ByteString fData;
};

} // namespace vexo
