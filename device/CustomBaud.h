#pragma once

namespace vexo {

// Sets a baud rate that has no B-constant (14400, 250000, ...) on an open serial descriptor.
// Kept apart because the kernel's termios2 header cannot share a file with <termios.h>.
// Returns 0 or the errno of the failing call.
int SetCustomBaud(int AFd, int ABaud);

} // namespace vexo
