#pragma once
#include "cli/Runner.h"
#include "util/Types.h"
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrel::cli {

using vexo::ByteString;

struct ReplayOptions {
    std::string Recording;
    std::vector<std::string> Ignore; // identifiers whose values change by nature
    double Slower = 3;               // a response this many times slower than recorded is a difference
    std::string JUnitFile;
    std::string SimProfile; // play against a simulator started in this program
};

// One command of the recording, as the host sent it, and what the recorded PIN pad made of it.
struct RecordedCommand {
    ByteString Command;                 // the data field
    std::optional<ByteString> Response; // the data field of the good response frame, if one came
    std::chrono::microseconds Took{0};  // command to response
    std::optional<std::chrono::microseconds> CancelAfter; // the host sent CAN this long after it
};

// The commands of a recording in order; a frame sent again after a NAK or a timeout is the same
// command, not another.
std::vector<RecordedCommand> RecordedCommands(const std::string& APath, bool& AMasked);

// The differences between a recorded response and the one received now, one line each: name,
// status, and every item and block (items by identifier, skipping AIgnore). AMasked: the
// recording holds card data masked, so the live values are masked before they are compared.
std::vector<std::string> CompareResponses(const ByteString& ARecorded, const ByteString& ANow,
                                          const std::set<uint16_t>& AIgnore, bool AMasked, bool AShowMasked);

// kestrel-cli replay: exit 0 when every response matched, 6 on any difference.
int RunReplay(const ReplayOptions& AReplay, LinkOptions ALink);

} // namespace kestrel::cli
