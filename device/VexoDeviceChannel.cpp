#include "device/VexoDeviceChannel.h"

namespace vexo {

ByteString TVexoDeviceChannel::LeString(int ATimeOutMilissegundos, int NumBytes,
                                        const ByteString& Terminador) {
    if (NumBytes >= 1) return Canal().RecvBufferStr(NumBytes, ATimeOutMilissegundos);
    if (!Terminador.empty()) return Canal().RecvTerminated(ATimeOutMilissegundos, Terminador);
    return Canal().RecvPacket(ATimeOutMilissegundos);
}

} // namespace vexo
