#include "cli/ExitCodes.h"

namespace kestrel::cli {

int ExitCodeFor(Outcome AOutcome, int AReturnCode) {
    switch (AOutcome) {
    case Outcome::Ok:
        return kExitOk;
    case Outcome::Failure:
        return kExitFailure;
    case Outcome::BadArguments:
        return kExitBadArguments;
    case Outcome::PortNotOpen:
        return kExitPortNotOpen;
    case Outcome::LinkTimeout:
        return kExitLinkTimeout;
    case Outcome::LinkError:
        return kExitLinkError;
    case Outcome::ChecksFailed:
        return kExitChecksFailed;
    case Outcome::PinPadError:
        if (AReturnCode >= 1 && AReturnCode <= kLastFoldedReturnCode)
            return kExitReturnCodeBase + AReturnCode;
        return kExitOtherReturnCode;
    case Outcome::Cancelled:
        return kExitCancelled;
    }
    return kExitFailure;
}

const char* OutcomeName(Outcome AOutcome) {
    switch (AOutcome) {
    case Outcome::Ok:
        return "ok";
    case Outcome::Failure:
        return "failure";
    case Outcome::BadArguments:
        return "bad-arguments";
    case Outcome::PortNotOpen:
        return "port-not-open";
    case Outcome::LinkTimeout:
        return "link-timeout";
    case Outcome::LinkError:
        return "link-error";
    case Outcome::ChecksFailed:
        return "checks-failed";
    case Outcome::PinPadError:
        return "pinpad-error";
    case Outcome::Cancelled:
        return "cancelled";
    }
    return "failure";
}

std::string ExitStatusHelp() {
    return "Exit status:\n"
           "  0        success\n"
           "  1        any other failure (an unreadable file, a picture that cannot be made)\n"
           "  2        bad arguments: refused before the port was opened, nothing was sent\n"
           "  3        the port could not be opened (detect: no port answered)\n"
           "  4        link timeout: no acknowledgement or no response in time\n"
           "  5        link error: refused frames, damaged responses, the line lost\n"
           "  6        check: at least one check failed\n"
           "  11-112   the PIN pad answered return code N (1 to 102): the status is 10 + N,\n"
           "           e.g. 20 for 010, 21 for 011, 23 for 013 (cancelled), 110 for 100\n"
           "  113      the PIN pad answered a return code above 102\n"
           "  130      interrupted by Ctrl-C (SIGINT); a waiting command was cancelled first\n";
}

} // namespace kestrel::cli
