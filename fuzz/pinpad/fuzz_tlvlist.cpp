// TLV lists from response blocks: parsing never crashes, an accepted list is the input itself
// byte for byte, and a refused one names an offset inside the input, before which every item kept
// stands as it came.
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTLV.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    std::vector<TVexoAbecsTLVSpan> spans;
    const auto fault = SplitTLVs(input, spans, 7);
    size_t end = 7;
    for (const TVexoAbecsTLVSpan& span : spans) {
        if (span.Offset != end) std::abort();
        end += 4 + span.Value.size();
    }
    if (fault ? fault->Offset != end || end >= ASize + 7 : end != ASize + 7) std::abort();

    TVexoAbecsTLVList list;
    try {
        list.SetAsString(input);
    } catch (const EVexoAbecsPinPadError&) {
        // Without a fault of the walk, only a value over the item limit is refused.
        bool tooLarge = false;
        for (const auto& span : spans)
            tooLarge = tooLarge || span.Value.size() > static_cast<size_t>(TVexoAbecsTLV::MaxDataSize);
        if (!fault && !tooLarge) std::abort();
        if (!input.starts_with(list.AsString())) std::abort();
        return 0;
    }
    if (fault || list.AsString() != input || list.Count() != static_cast<int>(spans.size())) std::abort();
    return 0;
}
