// Response data fields as a PIN pad may send them, then every accessor the command methods use.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

using namespace vexo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string_view input(reinterpret_cast<const char*>(AData), ASize);
    TVexoAbecsResponse response;
    try {
        response.SetAsString(input);
    } catch (const EVexoAbecsPinPadError&) {
        return 0;
    }
    if (response.STAT() < 0 || response.STAT() > 999) std::abort();
    const ByteString rebuilt = response.AsString();
    if (rebuilt != input && rebuilt != input.substr(0, input.size() - 1)) std::abort();

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
