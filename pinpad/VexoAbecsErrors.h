#pragma once
#include "util/Exception.h"

namespace vexo {

// Every failure of the PIN-pad records and engine. Messages are English.
class EVexoAbecsPinPadError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EVexoAbecsPinPadError"; }
};

// The PIN pad (return code 12) or the host gave up waiting for a response.
class EVexoAbecsPinPadTimeout : public EVexoAbecsPinPadError {
public:
    using EVexoAbecsPinPadError::EVexoAbecsPinPadError;
    const char* ClassName() const noexcept override { return "EVexoAbecsPinPadTimeout"; }
};

} // namespace vexo
