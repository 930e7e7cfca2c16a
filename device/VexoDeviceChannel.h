#pragma once
#include "device/BlockChannel.h"
#include "device/VexoDeviceClass.h"

namespace vexo {

// The kinds that talk through a TBlockChannel (serial port, TCP socket) read, purge and pace their
// sends through it in the same way; each kind owns its channel and connects it its own way.
class TVexoDeviceChannel : public TVexoDeviceClass {
public:
    using TVexoDeviceClass::TVexoDeviceClass;

    int GetMaxSendBandwidth() override { return Canal().MaxSendBandwidth; }
    void SetMaxSendBandwidth(int AValue) override { Canal().MaxSendBandwidth = AValue; }
    int BytesParaLer() override { return Canal().WaitingDataEx(); }
    void EnviaByte(uint8_t AByte) override { Canal().SendByte(AByte); }
    // NumBytes first, then Terminador; with neither, whatever arrives.
    ByteString LeString(int ATimeOutMilissegundos, int NumBytes, const ByteString& Terminador) override;
    uint8_t LeByte(int ATimeOutMilissegundos) override { return Canal().RecvByte(ATimeOutMilissegundos); }
    void Limpar() override { Canal().Purge(); }
    ByteString Ler(int ATimeOutMilissegundos, int NumBytes) override;

protected:
    virtual TBlockChannel& Canal() = 0;
};

} // namespace vexo
