#pragma once
#include "sim/ReplayScript.h"
#include <string>
#include <vector>

namespace kestrel::sim {

// A scenario file (the YAML that Scenario::Load reads) that answers the commands of a recording as
// the recorded PIN pad did: a rule for each command name, in the order the names first came, with
// the recorded answers as a sequence in the order they came; each answer's status, items (by PP_
// name, text where it is plain ASCII, hexadecimal otherwise), raw blocks and delay. A command the
// recorded PIN pad never answered (the host gave up, or sent CAN) stays silent after its ACK.
// ASource names the recording in the file's heading comment.
std::string ScenarioFromRecording(const std::vector<RecordedCommand>& ACommands, const std::string& ASource,
                                  bool AMasked);

} // namespace kestrel::sim
