#pragma once
#include "trace/FrameDecoder.h"
#include "trace/MessageDecoder.h"
#include "util/Types.h"
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexo {
class TVexoDevice;
} // namespace vexo

namespace kestrel::cli {

using kestrel::trace::LinkUnit;
using vexo::ByteString;

// The link byte by byte, for the checks that must do what a well-behaved host never does: send a
// damaged frame, refuse a good response, listen for bytes after an abort. The port comes from the
// device layer, frames from the message core's packet, and what comes back is cut into frames and
// control bytes by the shared trace decoder. Every byte sent and every unit received is described
// to ANote (ASent true for what the host sent), one line each, card data masked as asked.
class RawLink {
public:
    using NoteFn = std::function<void(bool ASent, const std::string& ALine)>;
    RawLink(NoteFn ANote, bool AMask);
    ~RawLink();
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    // Raises what the device raises when the port does not open; only serial and TCP ports will do.
    void Open(const std::string& APort, const std::string& AParams);
    void Close();
    bool IsOpen() const;

    void SendBytes(const ByteString& ABytes, const std::string& ADescription);
    void SendFrame(const ByteString& AData);
    // The frame with its last CRC byte changed, so the CRC no longer matches.
    void SendDamagedFrame(const ByteString& AData);

    // Units that arrive within ATimeoutMs; stops early once AEnough says so of the units read so
    // far. A frame still coming at the end is kept for the next read.
    std::vector<LinkUnit> Read(int ATimeoutMs,
                               const std::function<bool(const std::vector<LinkUnit>&)>& AEnough);
    // The first unit within ATimeoutMs, if any.
    std::vector<LinkUnit> ReadOne(int ATimeoutMs);
    // Reads until a frame is complete, or ATimeoutMs.
    std::vector<LinkUnit> ReadFrame(int ATimeoutMs);
    // Everything within AMs, a frame still in progress included as stray bytes.
    std::vector<LinkUnit> Drain(int AMs);

    // Drops what is waiting, unrecorded: the start of a check must not see the end of the last one.
    void Forget();
    // Stops recording (clean-up steps that are not part of what a check reports).
    void SetRecording(bool AOn) { fRecording = AOn; }

    // A unit as the report shows it ("ACK", "frame GIX 000 PP_SERNUM=\"...\"").
    std::string Describe(const LinkUnit& AUnit) const;
    // A message (its data field) in one line, long values shortened; with AMask, card data masked.
    static std::string Brief(std::string_view AData, bool AResponse, bool AMask);

private:
    void Note(bool ASent, const std::string& ALine);
    void Received(const std::vector<LinkUnit>& AUnits);

    std::unique_ptr<vexo::TVexoDevice> fDevice;
    kestrel::trace::FrameDecoder fDecoder;
    std::vector<LinkUnit> fWaiting; // units decoded but not yet handed out
    NoteFn fNote;
    bool fMask;
    bool fRecording = true;
};

} // namespace kestrel::cli
