#pragma once
#include "cli/Runner.h"
#include "sim/ReplayScript.h"
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

using sim::RecordedCommand;

// The commands of a recording file in order (sim::RecordedCommands); AMasked says whether the
// recording holds card data masked, AMaskKnown whether it says so (JSON Lines do not).
std::vector<RecordedCommand> RecordedCommands(const std::string& APath, bool& AMasked, bool& AMaskKnown);

// The differences between a recorded response and the one received now, one line each: name,
// status, and every item and block (items by identifier, skipping AIgnore). AMasked: the
// recording holds card data masked, so the live values are masked before they are compared.
std::vector<std::string> CompareResponses(const ByteString& ARecorded, const ByteString& ANow,
                                          const std::set<uint16_t>& AIgnore, bool AMasked, bool AShowMasked);

// kestrel-cli replay: exit 0 when every response matched, 6 on any difference.
int RunReplay(const ReplayOptions& AReplay, LinkOptions ALink);

} // namespace kestrel::cli
