// Block lists from command and response data fields. A parsed list rebuilds into the input itself,
// short of one ignored trailing byte.
#include "pinpad/VexoAbecsBlock.h"
#include "pinpad/VexoAbecsErrors.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    TVexoAbecsBlockList list;
    try {
        list.SetAsString(input);
    } catch (const EVexoAbecsPinPadError&) {
        return 0;
    }
    const ByteString rebuilt = list.AsString();
    if (rebuilt != input && rebuilt != input.substr(0, input.size() - 1)) std::abort();
    for (int i = 0; i < list.Count(); ++i)
        if (list.Items(i).Size() < 1 || list.Items(i).Size() > TVexoAbecsBlock::MaxDataSize) std::abort();
    return 0;
}
