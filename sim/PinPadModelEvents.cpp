// Events: CEX.
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/PinPadModel.h"

namespace kestrel::sim {

using namespace vexo;

PinPadModel::Answer PinPadModel::CEX(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("CEX", ST_INVPAR);
    const ByteString* optionText = params.Find(SPE_CEXOPT);
    if (!optionText) return SimReply("CEX", ST_MANDAT);
    const auto options = CexOptions::Parse(*optionText);
    const ByteString* maskText = params.Find(SPE_PANMASK);
    const auto mask = maskText ? PanMask::Parse(*maskText) : PanMask{};
    int timeout = fProfile.DefaultTimeout;
    if (!options || !mask || !params.Byte(SPE_TIMEOUT, timeout) ||
        (options->Contactless && !fProfile.Contactless))
        return SimReply("CEX", ST_INVPAR);
    // The card slot answers at once when it already is in the state asked for.
    if (options->Chip == CexOptions::Slot::Insertion && fCardInserted)
        return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, ByteString(kCexEventCardInserted));
    if (options->Chip == CexOptions::Slot::Removal && !fCardInserted)
        return SimReply("CEX", ST_OK).AddTLV(PP_EVENT, ByteString(kCexEventCardRemoved));
    StartWait("CEX", timeout);
    if (options->Contactless) fWait->CtlsDeadline = After(fProfile.ContactlessTimeout);
    fWait->Cex = *options;
    fWait->Mask = *mask;
    return std::nullopt;
}

} // namespace kestrel::sim
