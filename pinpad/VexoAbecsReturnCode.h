#pragma once
// A return code other than 0 is the PIN pad's own answer, not a failure of the link or of the caller:
// the window shows it as "STAT: n", the command line folds it into its exit status, the conformance
// run takes it as the verdict's input. One test tells the two apart for all of them.
#include <cstdint>
#include <exception>
#include <string>

namespace vexo {

class TVexoAbecsPinPad;

// The message the component raises for the return code: "Error: 10 - <its text>".
std::string ReturnCodeErrorMessage(int32_t AStat);

// Whether AError is the error the component raised for the return code of its last response.
bool IsReturnCodeError(const TVexoAbecsPinPad& APinPad, const std::exception& AError);

} // namespace vexo
