#include "trace/FrameDecoder.h"

#include "pinpad/VexoAbecsPacket.h"

namespace kestrel::trace {

using namespace vexo;

const char* KindName(LinkUnit::Kind AKind) {
    switch (AKind) {
    case LinkUnit::Kind::Frame:
        return "frame";
    case LinkUnit::Kind::Ack:
        return "ACK";
    case LinkUnit::Kind::Nak:
        return "NAK";
    case LinkUnit::Kind::Can:
        return "CAN";
    case LinkUnit::Kind::Eot:
        return "EOT";
    case LinkUnit::Kind::Stray:
        break;
    }
    return "stray";
}

namespace {

bool ControlKind(uint8_t AByte, LinkUnit::Kind& AKind) {
    switch (AByte) {
    case ACK:
        AKind = LinkUnit::Kind::Ack;
        return true;
    case NAK:
        AKind = LinkUnit::Kind::Nak;
        return true;
    case CAN:
        AKind = LinkUnit::Kind::Can;
        return true;
    case EOT:
        AKind = LinkUnit::Kind::Eot;
        return true;
    default:
        return false;
    }
}

} // namespace

void FrameDecoder::Feed(std::string_view ABytes, std::vector<LinkUnit>& AOut) {
    for (const char c : ABytes) {
        const auto byte = static_cast<uint8_t>(c);
        switch (fState) {
        case State::Idle: {
            LinkUnit::Kind kind;
            if (byte == SYN) {
                EndStray(AOut);
                fFrame.assign(1, c);
                fState = State::Data;
            } else if (ControlKind(byte, kind)) {
                EndStray(AOut);
                LinkUnit unit;
                unit.What = kind;
                unit.Raw.assign(1, c);
                AOut.push_back(std::move(unit));
            } else {
                fStray += c;
            }
            break;
        }
        case State::Data:
            if (byte == SYN) {
                // SYN never occurs escaped: the sender started over, and what came before is lost.
                AbandonFrame(AOut, LinkUnit::Cut::Restarted);
                fFrame.assign(1, c);
                fState = State::Data;
                break;
            }
            fFrame += c;
            if (byte == ETB) {
                fCrcBytes = 0;
                fState = State::Crc;
            } else if (fFrame.size() > kMaxFrame)
                AbandonFrame(AOut, LinkUnit::Cut::TooLong);
            break;
        case State::Crc:
            // The CRC bytes travel unescaped and may take any value, SYN and ETB included.
            fFrame += c;
            if (++fCrcBytes == 2) EndFrame(AOut);
            break;
        }
    }
    EndStray(AOut);
}

void FrameDecoder::Flush(std::vector<LinkUnit>& AOut) {
    if (fState != State::Idle) AbandonFrame(AOut, LinkUnit::Cut::Unfinished);
    EndStray(AOut);
}

void FrameDecoder::EndStray(std::vector<LinkUnit>& AOut) {
    if (fStray.empty()) return;
    LinkUnit unit;
    unit.What = LinkUnit::Kind::Stray;
    unit.Raw = std::move(fStray);
    fStray.clear();
    AOut.push_back(std::move(unit));
}

void FrameDecoder::AbandonFrame(std::vector<LinkUnit>& AOut, LinkUnit::Cut AWhy) {
    EndStray(AOut);
    LinkUnit unit;
    unit.What = LinkUnit::Kind::Stray;
    unit.Abandoned = AWhy;
    unit.Raw = std::move(fFrame);
    fFrame.clear();
    fState = State::Idle;
    AOut.push_back(std::move(unit));
}

void FrameDecoder::EndFrame(std::vector<LinkUnit>& AOut) {
    LinkUnit unit;
    unit.What = LinkUnit::Kind::Frame;
    const std::string_view raw(fFrame);
    unit.Data = TVexoAbecsPacket::UnstuffData(raw.substr(1, raw.size() - 4));
    const uint16_t want = TVexoAbecsPacket::FrameCRC(unit.Data);
    unit.CrcWant = want;
    unit.CrcGot = static_cast<uint16_t>(static_cast<uint8_t>(raw[raw.size() - 2]) << 8 |
                                        static_cast<uint8_t>(raw[raw.size() - 1]));
    unit.CrcOk = unit.CrcGot == want;
    unit.Raw = std::move(fFrame);
    fFrame.clear();
    fState = State::Idle;
    AOut.push_back(std::move(unit));
}

} // namespace kestrel::trace
