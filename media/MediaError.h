#pragma once
#include "util/Exception.h"

namespace kestrel::media {

// Every failure of the picture and QR-code library: unreadable or damaged files, pictures too large to
// hold, sizes that cannot be made, texts that no QR symbol holds.
class EMediaError : public vexo::Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EMediaError"; }
};

} // namespace kestrel::media
