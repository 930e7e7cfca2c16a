#pragma once
#include "EngineTestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kestrel::test {

inline size_t Count(const std::vector<std::string>& ALog, const std::string& ALine) {
    return static_cast<size_t>(std::count(ALog.begin(), ALog.end(), ALine));
}

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
