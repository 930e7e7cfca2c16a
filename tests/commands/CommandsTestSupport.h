#pragma once
#include "EngineTestSupport.h"

#include <string>

namespace kestrel::test {

// Runs ACall and returns the message of the EVexoAbecsPinPadError it raises ("" when none).
template <typename F> std::string ErrorOf(F ACall) {
    try {
        ACall();
    } catch (const vexo::EVexoAbecsPinPadError& e) {
        return e.Message();
    }
    return "";
}

} // namespace kestrel::test
