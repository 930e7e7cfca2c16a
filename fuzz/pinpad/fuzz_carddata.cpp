#include "pinpad/VexoAbecsCardData.h"
#include "util/Types.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Log lines carry whatever the PIN pad sent: masking must take any bytes, keep their number and touch
// nothing but digits and names.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const std::string_view bytes(reinterpret_cast<const char*>(AData), ASize);
    const vexo::ByteString masked = vexo::MaskCardData(bytes);
    if (masked.size() != bytes.size()) __builtin_trap();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (masked[i] != bytes[i] && masked[i] != '*') __builtin_trap();
    return 0;
}
