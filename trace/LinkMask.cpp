#include "trace/LinkMask.h"

#include "pinpad/VexoAbecsPacket.h"
#include "trace/ClassicLayout.h"
#include "trace/MessageDecoder.h"
#include "trace/ValueText.h"

namespace kestrel::trace {

using namespace vexo;

namespace {

void Put(ByteString& AOut, size_t AAt, const ByteString& AValue) {
    AOut.replace(AAt, AValue.size(), AValue);
}

} // namespace

ByteString MaskDataField(std::string_view AData, bool AResponse) {
    if (AData.size() < 3) return MaskLooseBytes(AData, true);
    const DecodedMessage message = AResponse ? DecodeResponse(AData) : DecodeCommand(AData);
    ByteString out(AData);
    if (message.Ok() && IsIdentityResponse(message.Name, AResponse)) return out;
    const bool media = message.Name == "MLR";
    const size_t head = AResponse && message.Status >= 0 ? 6 : 3;
    size_t at = head;
    for (const DecodedBlock& block : message.Blocks) {
        if (!block.Damage.empty()) break; // its bytes, digits and all, are masked as loose bytes below
        at += 3;                          // the length digits
        if (block.IsTLV) {
            size_t item = at;
            for (const DecodedTLV& tlv : block.Items) {
                if (!tlv.Damage.empty() && tlv.Name.empty()) {
                    // Broke off inside its header: no tag says what the bytes are.
                    Put(out, item, MaskLooseBytes(tlv.Value, !media));
                    break;
                }
                item += 4;
                Put(out, item, MaskValue(tlv.Tag, AResponse, tlv.Value, media));
                item += tlv.Value.size();
            }
        } else {
            Put(out, at, MaskLooseBytes(MaskClassicBlock(message.Name, AResponse, block.Data), !media));
        }
        at += block.Data.size();
    }
    if (message.Ok()) return out;
    // A field that breaks off was not cut where its sender cut it: digits right after the return
    // code, with no block length, read as a length of three digits and a short block. So the whole
    // rest is searched again as it came, and what either reading masks is masked.
    const ByteString loose = MaskLooseBytes(AData.substr(head), !media);
    for (size_t k = 0; k < loose.size() && head + k < out.size(); ++k)
        if (loose[k] != AData[head + k]) out[head + k] = loose[k];
    return out;
}

ByteString MaskLinkUnit(const LinkUnit& AUnit, bool AResponse) {
    switch (AUnit.What) {
    case LinkUnit::Kind::Stray:
        return MaskLooseBytes(AUnit.Raw, true);
    case LinkUnit::Kind::Frame:
        break;
    default:
        return AUnit.Raw;
    }
    const ByteString data = MaskDataField(AUnit.Data, AResponse);
    if (data == AUnit.Data) return AUnit.Raw;
    // The CRC is linear: what the frame's CRC was off by, the rebuilt one is off by too.
    const auto crc = static_cast<uint16_t>(AUnit.CrcGot ^ AUnit.CrcWant ^ TVexoAbecsPacket::FrameCRC(data));
    ByteString frame(1, char(SYN));
    frame += TVexoAbecsPacket::StuffData(data);
    frame += char(ETB);
    frame += static_cast<char>(crc >> 8);
    frame += static_cast<char>(crc & 0xFF);
    return frame;
}

} // namespace kestrel::trace
