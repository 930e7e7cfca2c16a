// Hexadecimal typed by the operator: never crashes, and bytes written as hex read back unchanged.
#include "util/Exception.h"
#include "util/Strings.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    ByteString bytes;
    const bool ok = HexParaBytes(input, bytes);
    try {
        if (HexParaBytes(input) != bytes || !ok) std::abort();
    } catch (const EConvertError&) {
        if (ok) std::abort();
    }
    if (ok && bytes.size() > input.size() / 2) std::abort();
    if (HexParaBytes(BytesParaHex(input)) != input) std::abort();
    return 0;
}
