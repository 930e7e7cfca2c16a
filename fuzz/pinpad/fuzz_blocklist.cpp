// Block lists from command and response data fields. A parsed list rebuilds into the input itself;
// a refused one keeps the blocks before the fault, which stand in the input as they came.
#include "pinpad/VexoAbecsBlock.h"
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsErrors.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    // The lenient walk (empty blocks taken) rebuilds what it read.
    std::vector<TVexoAbecsBlockSpan> spans;
    const auto fault = SplitBlocks(input, spans);
    ByteString walked;
    for (const auto& span : spans)
        walked += BlockWireForm(span.Data);
    if (!input.starts_with(walked)) std::abort();
    if (fault ? fault->Offset != walked.size() : walked.size() != ASize) std::abort();

    TVexoAbecsBlockList list;
    try {
        list.SetAsString(input);
    } catch (const EVexoAbecsPinPadError&) {
        if (!input.starts_with(list.AsString())) std::abort();
        return 0;
    }
    if (fault || list.AsString() != input) std::abort();
    for (int i = 0; i < list.Count(); ++i)
        if (list.Items(i).Size() < 1 || list.Items(i).Size() > TVexoAbecsBlock::MaxDataSize) std::abort();
    return 0;
}
