#pragma once

namespace kestrel::cli {

// Ctrl-C. The handler only notes the signal; a command waiting for the cardholder sees the note at
// its next poll and cancels (CAN, then EOT from the PIN pad), and the program then stops. A second
// Ctrl-C ends the program at once, as the handler gives the signal back to the system.
void CatchInterrupt();
bool Interrupted();
// For tests in the same process.
void ResetInterrupt();

} // namespace kestrel::cli
