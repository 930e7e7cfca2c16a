#pragma once
// The wire-time lower bound of a media upload, shared by the upload benchmarks: every byte of every
// MLI, MLR and MLE command frame, one ACK each and a response frame without blocks.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/Strings.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace kestrel::bench {

struct WireCount {
    size_t Bytes = 0;
    int Packets = 0;
};

inline size_t FrameSize(const vexo::ByteString& AData) {
    return vexo::TVexoAbecsPacket(AData).AsString().size();
}

inline void AddCommand(const vexo::TVexoAbecsCommand& ACommand, WireCount& ACount) {
    int32_t blockStart = -1;
    while (blockStart < ACommand.Blocks().Count()) {
        blockStart = std::max(blockStart, 0);
        int32_t read = 0;
        ACount.Bytes +=
            FrameSize(ACommand.GetDataPacket(blockStart, read)) + 1 + FrameSize(ACommand.ID() + "000");
        blockStart += read;
        ++ACount.Packets;
    }
}

// What LoadMedia puts on the line for a PNG file AData named AName.
inline WireCount UploadWireBytes(const std::string& AName, const vexo::ByteString& AData) {
    using namespace vexo;
    TVexoAbecsCommand mli;
    mli.SetID("MLI");
    mli.AddParamFromTagValue(SPE_MFNAME, AName);
    std::stringstream info(InteiroParaBytes(static_cast<int32_t>(AData.size()), 4) +
                           TVexoAbecsPacket::CalcCRC(AData) + std::string("\x01\0\0\0", 4));
    mli.AddParamFromTagValue(SPE_MFINFO, info);
    TVexoAbecsCommand mlr;
    mlr.SetID("MLR");
    std::stringstream data(AData);
    mlr.AddParamFromTagValue(SPE_DATAIN, data);
    TVexoAbecsCommand mle;
    mle.SetID("MLE");
    WireCount count;
    for (const TVexoAbecsCommand* command : {&mli, &mlr, &mle})
        AddCommand(*command, count);
    return count;
}

} // namespace kestrel::bench
