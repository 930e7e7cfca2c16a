#pragma once
#include "monitor/RelayItem.h"
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrel::monitor {

// A session as kestrel-monitor kept it, whichever of its two machine-readable forms: the raw
// recording (every chunk as the relay read it, to the microsecond) or the JSON Lines output (one
// link unit a line with its bytes, to the millisecond). Only the bytes and the relay's notes are
// taken; the decoded fields of the JSON Lines are the decoder's business to redo.
struct Recording {
    bool Masked = true; // raw: as the header says; JSON Lines: masked unless the monitor ran with --no-mask
    bool MaskKnown = false;       // the recording says whether card data is masked (JSON Lines do not)
    std::vector<RelayItem> Items; // in the order they happened
};

// Raises ERawFormat-like std::runtime_error naming the file and the line when it is neither form,
// or when a line breaks the form the file started with.
Recording LoadRecording(const std::string& APath);
// The same from a stream; AName stands for the file in errors.
Recording ReadRecording(std::istream& AIn, const std::string& AName);

// "2024-06-10T14:20:00.123-03:00", as the JSON Lines carry it; false for anything else.
bool ParseIsoTime(const std::string& AText, TraceClock::time_point& AAt);

} // namespace kestrel::monitor
