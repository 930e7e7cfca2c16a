#pragma once
#include "util/Exception.h"
#include <exception>
#include <string>

namespace vexo {

// What a failed read or send means for the link, whatever kind of port carried it: the peer was
// silent for the time allowed, a byte arrived damaged while the line is still there, or the port
// can carry nothing more (unplugged, closed by the far end, never opened).
enum class TLinkFault { lkNone, lkTimeout, lkLineError, lkLinkGone };

// The fault behind any error a port kind raises, also when it reaches a caller through the PIN-pad
// component, which passes the device's errors on unchanged. lkNone for every other error: the
// component's own (a PIN pad's return code, a frame it gave up on), a refused parameter, bad input.
TLinkFault LinkFaultOf(const std::exception& AError);

// A failure of a kind that has no error class of its own (USB, Bluetooth). It is an error of the
// general class, as the device layer's own failures are, and keeps that class name in logs; only
// the fault it carries tells it apart.
class ELinkError : public Exception {
public:
    ELinkError(TLinkFault AFault, std::string AMessage) : Exception(std::move(AMessage)), fFault(AFault) {}
    TLinkFault Fault() const noexcept { return fFault; }

private:
    TLinkFault fFault;
};

} // namespace vexo
