// TLV lists from response blocks: parsing never crashes and what it accepts is what the input holds.
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    TVexoAbecsTLVList list;
    try {
        list.SetAsString(input);
    } catch (const EVexoAbecsPinPadError&) {
        return 0;
    }
    // Whatever was accepted must survive a rebuild and a second parse unchanged.
    const ByteString rebuilt = list.AsString();
    TVexoAbecsTLVList again;
    again.SetAsString(rebuilt);
    if (again.AsString() != rebuilt || again.Count() != list.Count()) std::abort();
    // Every item but the last stands in the input byte for byte; the last may have been announced
    // longer than the bytes that follow it, so only its tag and value are compared.
    if (list.Count() == 0) return 0;
    const ByteString last = list.Items(list.Count() - 1).AsString();
    const size_t start = rebuilt.size() - last.size();
    if (input.substr(0, start) != std::string_view(rebuilt).substr(0, start)) std::abort();
    if (input.substr(start, 2) != std::string_view(last).substr(0, 2)) std::abort();
    if (input.substr(start + 4, last.size() - 4) != std::string_view(last).substr(4)) std::abort();
    return 0;
}
