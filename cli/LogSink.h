#pragma once
#include <cstdint>
#include <string>

namespace vexo {
class TVexoAbecsPinPad;
}

namespace kestrel::cli {

// Sends the PIN pad's log to AFile, appended in the code page with CR LF as the component writes its
// own log file, or to standard error when AFile is "-". Card data in the lines (card numbers, the
// name of a track 1) is masked unless AMask is false. An empty AFile logs nothing.
void AttachLog(vexo::TVexoAbecsPinPad& APinPad, const std::string& AFile, uint8_t ALevel, bool AMask);

} // namespace kestrel::cli
