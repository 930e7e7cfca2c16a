#pragma once
#include <exception>

namespace vexo {

// What a failed exchange says about the link under it: nothing answered in time, a byte came damaged,
// or the port itself is gone (the device vanished, the line hung up, the peer reset the socket), so
// nothing more will pass until the port is opened again.
enum class TLinkFault { lkNone, lkTimeout, lkLineError, lkLinkGone };

// The kind of AError, from the error classes and codes the device layer raises; lkNone for any error
// that says nothing about the link (a refusal by the PIN pad, bad input).
TLinkFault LinkFaultOf(const std::exception& AError);

} // namespace vexo
