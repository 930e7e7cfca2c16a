#pragma once
#include <string>

namespace kestrel::cli {

// How a command ended, as far as a script cares.
enum class Outcome {
    Ok,
    Failure,      // anything else: an unreadable file, a picture that cannot be made
    BadArguments, // refused before the port was opened: nothing was sent
    PortNotOpen,  // the port could not be opened (detect: no port answered)
    LinkTimeout,  // no acknowledgement or no response in time
    LinkError,    // the link broke down: NAKs, damaged frames, an unreadable response, a lost line
    ChecksFailed, // check: at least one check failed
    PinPadError,  // the PIN pad answered with a return code other than 0
    Cancelled,    // Ctrl-C (SIGINT)
};

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitPortNotOpen = 3;
constexpr int kExitLinkTimeout = 4;
constexpr int kExitLinkError = 5;
constexpr int kExitChecksFailed = 6;
// A PIN-pad return code N from 1 to 102 exits with 10 + N (013, cancelled by the cardholder: 23;
// 100, media file not found: 110); any higher code exits with 113. The exact code is in the output.
constexpr int kExitReturnCodeBase = 10;
constexpr int kLastFoldedReturnCode = 102;
constexpr int kExitOtherReturnCode = kExitReturnCodeBase + kLastFoldedReturnCode + 1;
constexpr int kExitCancelled = 130; // 128 + SIGINT, as shells report an interrupted program

int ExitCodeFor(Outcome AOutcome, int AReturnCode = 0);
const char* OutcomeName(Outcome AOutcome); // "ok", "pinpad-error", ... as the JSON "outcome" says

// The table of exit statuses for --help and the manual page.
std::string ExitStatusHelp();

} // namespace kestrel::cli
