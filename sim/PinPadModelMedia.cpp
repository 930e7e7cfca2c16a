// Media: LMF, DSI, DMF, and the loading of a file with MLI, MLR and MLE.
#include "pinpad/VexoAbecsPacket.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/PinPadModel.h"

namespace kestrel::sim {

using namespace vexo;

namespace {

constexpr size_t kMediaInfoSize = 10; // size (4 bytes), CRC (2), type (1), reserved (3)
constexpr int kPng = 1, kJpeg = 2, kGif = 3;

MediaMemory::Load LoadOf(const ByteString& AName, const ByteString& AInfo) {
    const auto byte = [&](size_t i) { return uint32_t{static_cast<unsigned char>(AInfo[i])}; };
    MediaMemory::Load load;
    load.Name = AName;
    load.Size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    load.CRC = static_cast<uint16_t>(byte(4) << 8 | byte(5));
    load.Type = static_cast<int>(byte(6));
    return load;
}

} // namespace

PinPadModel::Answer PinPadModel::LMF(const SimCommand& ACommand) {
    if (!ACommand.Blocks.empty()) return SimReply("LMF", ST_INVPAR);
    SimReply reply("LMF", ST_OK);
    for (const auto& file : fMedia.Files())
        reply.AddTLV(PP_MFNAME, file.Name);
    return reply;
}

PinPadModel::Answer PinPadModel::DSI(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("DSI", ST_INVPAR);
    const ByteString* name = params.Find(SPE_MFNAME);
    if (!name) return SimReply("DSI", ST_MANDAT);
    if (!MediaMemory::ValidName(*name)) return SimReply("DSI", ST_INVPAR);
    const MediaFile* file = fMedia.Find(*name);
    if (!file) return SimReply("DSI", ST_MFNFOUND);
    ShowPicture(*file);
    return SimReply("DSI", ST_OK);
}

PinPadModel::Answer PinPadModel::DMF(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("DMF", ST_INVPAR);
    const auto names = params.All(SPE_MFNAME);
    if (names.empty()) return SimReply("DMF", ST_MANDAT);
    // All or nothing: a list with an unknown name deletes none of the others.
    for (const auto& name : names) {
        if (!MediaMemory::ValidName(name)) return SimReply("DMF", ST_INVPAR);
        if (!fMedia.Find(name)) return SimReply("DMF", ST_MFNFOUND);
    }
    for (const auto& name : names) {
        if (MediaMemory::Key(fDisplay.Picture) == MediaMemory::Key(name))
            ShowText({}, VirtualDisplay::Mode::Idle);
        fMedia.Erase(name);
    }
    return SimReply("DMF", ST_OK);
}

PinPadModel::Answer PinPadModel::MLI(const SimCommand& ACommand) {
    CommandParams params;
    if (!params.Read(ACommand)) return SimReply("MLI", ST_INVPAR);
    const ByteString* name = params.Find(SPE_MFNAME);
    const ByteString* info = params.Find(SPE_MFINFO);
    if (!name || !info) return SimReply("MLI", ST_MANDAT);
    if (!MediaMemory::ValidName(*name) || info->size() != kMediaInfoSize) return SimReply("MLI", ST_INVPAR);
    MediaMemory::Load load = LoadOf(*name, *info);
    fMedia.Loading().reset();
    const bool supported = (load.Type == kPng && fProfile.Png) || (load.Type == kJpeg && fProfile.Jpeg) ||
                           (load.Type == kGif && fProfile.Gif);
    if (!supported) return SimReply("MLI", ST_MFERRFMT);
    if (load.Size == 0) return SimReply("MLI", ST_INVPAR);
    const MediaFile* old = fMedia.Find(*name);
    const uint64_t freed = old ? old->Data.size() : 0;
    if (fMedia.Used() - freed + load.Size > fProfile.MediaMemory) return SimReply("MLI", ST_MFERR);
    fMedia.Loading() = std::move(load);
    return SimReply("MLI", ST_OK);
}

PinPadModel::Answer PinPadModel::MLR(const SimCommand& ACommand) {
    auto& load = fMedia.Loading();
    if (!load) return SimReply("MLR", ST_INVCALL);
    CommandParams params;
    if (!params.Read(ACommand)) {
        load.reset();
        return SimReply("MLR", ST_INVPAR);
    }
    const auto pieces = params.All(SPE_DATAIN);
    if (pieces.empty()) return SimReply("MLR", ST_MANDAT);
    for (const auto& piece : pieces)
        load->Data += piece;
    if (load->Data.size() > load->Size) {
        load.reset();
        return SimReply("MLR", ST_MFERR);
    }
    return SimReply("MLR", ST_OK);
}

PinPadModel::Answer PinPadModel::MLE(const SimCommand& ACommand) {
    if (!fMedia.Loading()) return SimReply("MLE", ST_INVCALL);
    if (!ACommand.Blocks.empty()) return SimReply("MLE", ST_INVPAR);
    MediaMemory::Load load = std::move(*fMedia.Loading());
    fMedia.Loading().reset();
    if (load.Data.size() != load.Size) return SimReply("MLE", ST_MFERR);
    if (TVexoAbecsPacket::UpdateCRC(0, load.Data) != load.CRC && !fProfile.Breaks.AcceptBadMleCrc)
        return SimReply("MLE", ST_MFERR);
    if (!MediaMemory::LooksLike(load.Data, load.Type)) return SimReply("MLE", ST_MFERRFMT);
    if (load.Type == kPng && fProfile.PngTruecolourOnly && !MediaMemory::TruecolourPng(load.Data))
        return SimReply("MLE", ST_MFERRFMT);
    fMedia.Store({load.Name, std::move(load.Data), load.Type});
    return SimReply("MLE", ST_OK);
}

} // namespace kestrel::sim
