#pragma once
#include "monitor/RelayItem.h"
#include "trace/FrameDecoder.h"
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::sim {

using vexo::ByteString;

// What the PIN pad of a recording did after one thing the host sent: the host's link unit (a
// command frame, ACK, NAK or CAN as it crossed the line) and every chunk the PIN pad wrote until
// the host's next unit, each with its delay after the host's unit was complete.
struct ReplayStep {
    struct Chunk {
        std::chrono::microseconds After{0};
        ByteString Bytes;
    };
    trace::LinkUnit Host;
    monitor::TraceClock::time_point At{}; // when the host's unit was complete
    std::vector<Chunk> Answer;

    bool IsFrame() const { return Host.What == trace::LinkUnit::Kind::Frame; }
    // The command's three letters, or the unit's kind ("CAN") when it is no frame.
    std::string Name() const;
};

struct ReplayScript {
    std::vector<ReplayStep> Steps;
    size_t SkippedBytes = 0; // PIN-pad bytes before the host's first unit: nothing to answer
};

// One command of a recording, as the host sent it, and what the recorded PIN pad made of it.
struct RecordedCommand {
    ByteString Command;                                   // the data field
    std::optional<ByteString> Response;                   // the good response frame's data field, if one came
    std::chrono::microseconds Took{0};                    // command to response
    std::optional<std::chrono::microseconds> CancelAfter; // the host sent CAN this long after it
};

// Cuts a recording's chunks into steps with the trace's frame decoder.
ReplayScript BuildReplayScript(const std::vector<monitor::RelayItem>& AItems);

// The step whose command frame is most like AFrame's data: an identical frame first (the one at or
// after AFrom before earlier ones), then the same command name with the most bytes in common. -1
// when the script has no command frame.
// The commands of a script in order; a frame sent again after a NAK or a timeout is the same
// command, not another.
std::vector<RecordedCommand> RecordedCommands(const ReplayScript& AScript);

int ClosestStep(const ReplayScript& AScript, const ByteString& AData, size_t AFrom);

} // namespace kestrel::sim
