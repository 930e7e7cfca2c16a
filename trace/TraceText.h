#pragma once
#include "trace/LinkTracker.h"
#include <string>
#include <vector>

namespace kestrel::trace {

struct TraceTextOptions {
    bool Mask = true;   // card data masked (see RenderValue)
    bool Bytes = false; // the bytes on the wire too, in hexadecimal
};

// "->" for the host's bytes to the PIN pad, "<-" for the PIN pad's answers.
const char* Arrow(Direction ADir);

// One event as trace lines: the first carries the time stamp (as the PIN-pad log writes it), the
// direction and a summary; the blocks and items of a message follow, indented, one per line.
std::vector<std::string> FormatEvent(const TraceEvent& AEvent, const TraceTextOptions& AOptions = {});

// A message's blocks and items, one line each, without time or direction.
std::vector<std::string> FormatMessageBody(const DecodedMessage& AMessage, bool AMask);

// What a session added up to, for the end of a trace.
std::vector<std::string> FormatStats(const TraceStats& AStats);

} // namespace kestrel::trace
