#include "pinpad/VexoAbecsReturnCode.h"

#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"

namespace vexo {

std::string ReturnCodeErrorMessage(int32_t AStat) {
    return Format("Error: %d - %s", AStat, ReturnStatusMessage(AStat).c_str());
}

// The response is the last one that came; the message ties the error to it, so a link failure after a
// refused command is not taken for that refusal.
bool IsReturnCodeError(const TVexoAbecsPinPad& APinPad, const std::exception& AError) {
    if (!dynamic_cast<const EVexoAbecsPinPadError*>(&AError)) return false;
    const TVexoAbecsResponse& response = APinPad.Response();
    if (response.ID().empty() || response.STAT() == ST_OK) return false;
    return AError.what() == ReturnCodeErrorMessage(response.STAT());
}

} // namespace vexo
