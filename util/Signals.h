#pragma once

namespace vexo {

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, and so in every thread it starts later, and
// returns a signal descriptor (close-on-exec; non-blocking when asked) that becomes readable when one
// of them arrives, or -1 when none could be made. A program that waits on it alongside its other
// descriptors leaves through its normal path, so the links and files it made are removed. Call it
// before any thread starts, or a thread that leaves the signals unblocked takes them instead.
int BlockStopSignals(bool ANonBlocking = false);

} // namespace vexo
