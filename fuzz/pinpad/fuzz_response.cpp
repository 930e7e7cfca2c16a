// Response data fields as a PIN pad may send them, then every accessor the command methods use.
// The component and the trace read them with the same codec, so they agree on where a field is
// damaged.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsCodec.h"
#include "pinpad/VexoAbecsCommandSet.h"
#include "pinpad/VexoAbecsErrors.h"
#include "trace/MessageDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    const kestrel::trace::DecodedMessage decoded = kestrel::trace::DecodeResponse(input);
    TVexoAbecsResponse response;
    try {
        response.SetAsString(input);
    } catch (const EVexoAbecsPinPadError& e) {
        // Nothing of a refused response passes for an answer.
        if (!response.ID().empty() || response.Blocks().Count() != 0 || response.STAT() != 0) std::abort();
        // Where the trace saw the same fault, it says the same words; an empty block is refused
        // by the component alone.
        const std::string message = e.Message();
        if (message.starts_with("Invalid Block (") && message.find("empty block") == std::string::npos &&
            message != "Invalid Block (" + decoded.Error + ")")
            std::abort();
        return 0;
    }
    if (!decoded.Ok()) std::abort();
    if (response.STAT() < 0 || response.STAT() > 999) std::abort();
    if (response.AsString() != input) std::abort();
    // A TLV command's answer is nothing but whole items.
    if (UsesTLVItems(response.ID()))
        for (int i = 0; i < response.Blocks().Count(); ++i) {
            std::vector<TVexoAbecsTLVSpan> items;
            if (SplitTLVs(response.Blocks().Items(i).Data(), items)) std::abort();
        }

    // The accessors never raise on block content.
    std::vector<std::string> lines;
    response.GetResponseAsValues(lines);
    const uint16_t tag = ASize >= 2 ? static_cast<uint16_t>(AData[0] << 8 | AData[1]) : 0x8001;
    const ByteString value = response.GetResponseFromTagValue(tag);
    std::stringstream stream;
    response.GetResponseFromTagValue(tag, stream);
    if (stream.str() != value) std::abort();
    response.GetResponseFromTagValue(tag, lines);
    (void)response.GetResponseData();
    return 0;
}
