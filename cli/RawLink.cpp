#include "cli/RawLink.h"

#include "cli/Interrupt.h"

#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsPacket.h"
#include "trace/LinkMask.h"
#include "trace/ValueText.h"

#include <chrono>
#include <cstdio>

namespace kestrel::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kLongValue = 60;

std::string Clip(std::string AText, size_t ABytes) {
    if (AText.size() <= kLongValue) return AText;
    AText.resize(kLongValue);
    return AText + "... (" + std::to_string(ABytes) + " bytes)";
}

} // namespace

RawLink::RawLink(NoteFn ANote, bool AMask)
    : fDevice(std::make_unique<vexo::TVexoDevice>()), fNote(std::move(ANote)), fMask(AMask) {}

RawLink::~RawLink() {
    Close();
}

void RawLink::Open(const std::string& APort, const std::string& AParams) {
    fDevice->SetPorta(APort);
    fDevice->SetParamsString(AParams);
    // Checks need a port that answers; printers, files and the null port only take bytes.
    switch (fDevice->DeviceType()) {
    case vexo::dtNenhum:
    case vexo::dtFile:
    case vexo::dtParallel:
    case vexo::dtRawPrinter:
        throw std::runtime_error("checks need a port a PIN pad answers on, not " + APort);
    default:
        break;
    }
    fDevice->Ativar();
}

void RawLink::Close() {
    if (!fDevice->Ativo()) return;
    try {
        fDevice->Desativar();
    } catch (const std::exception&) {
        // The port is being let go; what failed does not change that.
    }
}

bool RawLink::IsOpen() const {
    return fDevice->Ativo();
}

void RawLink::Note(bool ASent, const std::string& ALine) {
    if (fRecording && fNote) fNote(ASent, ALine);
}

void RawLink::SendBytes(const ByteString& ABytes, const std::string& ADescription) {
    Note(true, ADescription);
    fDevice->EnviaString(ABytes);
}

void RawLink::SendFrame(const ByteString& AData) {
    SendBytes(vexo::TVexoAbecsPacket(AData).AsString(), "frame " + Brief(AData, false, fMask));
}

void RawLink::SendDamagedFrame(const ByteString& AData) {
    ByteString frame = vexo::TVexoAbecsPacket(AData).AsString();
    frame.back() = static_cast<char>(frame.back() ^ 0xFF);
    SendBytes(frame, "frame " + Brief(AData, false, fMask) + " with a wrong CRC (" +
                         kestrel::trace::SpacedHex(frame.substr(frame.size() - 2)) + ")");
}

void RawLink::Received(const std::vector<LinkUnit>& AUnits) {
    for (const auto& unit : AUnits)
        Note(false, Describe(unit));
}

std::vector<LinkUnit> RawLink::Read(int ATimeoutMs,
                                    const std::function<bool(const std::vector<LinkUnit>&)>& AEnough) {
    std::vector<LinkUnit> units;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ATimeoutMs);
    for (;;) {
        // Units decoded earlier come out first, one at a time, so a caller that wants one gets one.
        while (!fWaiting.empty()) {
            units.push_back(fWaiting.front());
            fWaiting.erase(fWaiting.begin());
            if (AEnough(units)) {
                Received(units);
                return units;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        // Ctrl-C ends a wait for the cardholder here as it does in the component.
        if (left <= 0 || !IsOpen() || Interrupted()) break;
        // Silence is what several checks wait for: a read that gets nothing returns nothing.
        const ByteString bytes = fDevice->Ler(static_cast<int>(std::min<long long>(left, 100)), 0);
        if (!bytes.empty()) fDecoder.Feed(bytes, fWaiting);
    }
    Received(units);
    return units;
}

std::vector<LinkUnit> RawLink::ReadOne(int ATimeoutMs) {
    return Read(ATimeoutMs, [](const std::vector<LinkUnit>& AUnits) { return !AUnits.empty(); });
}

std::vector<LinkUnit> RawLink::ReadFrame(int ATimeoutMs) {
    return Read(ATimeoutMs, [](const std::vector<LinkUnit>& AUnits) {
        return !AUnits.empty() && AUnits.back().What == LinkUnit::Kind::Frame;
    });
}

std::vector<LinkUnit> RawLink::Drain(int AMs) {
    std::vector<LinkUnit> units = Read(AMs, [](const std::vector<LinkUnit>&) { return false; });
    std::vector<LinkUnit> rest;
    fDecoder.Flush(rest);
    Received(rest);
    units.insert(units.end(), rest.begin(), rest.end());
    return units;
}

void RawLink::Forget() {
    if (!IsOpen()) return;
    fDevice->Limpar();
    fWaiting.clear();
    std::vector<LinkUnit> dropped;
    fDecoder.Flush(dropped);
}

std::string RawLink::Brief(std::string_view AData, bool AResponse, bool AMask) {
    // Masked as the monitor masks a recording: by the message's own layout, however it breaks off.
    const ByteString field = AMask ? kestrel::trace::MaskDataField(AData, AResponse) : ByteString(AData);
    const auto AMessage =
        AResponse ? kestrel::trace::DecodeResponse(field) : kestrel::trace::DecodeCommand(field);
    std::string text = AMessage.Name;
    if (AMessage.IsResponse) {
        char code[16];
        std::snprintf(code, sizeof code, " %03d", AMessage.Status);
        text += code;
    }
    for (const auto& block : AMessage.Blocks) {
        if (block.Data.empty()) {
            text += " [empty block]";
            continue;
        }
        if (!block.IsTLV) {
            text += " [" + Clip(kestrel::trace::RenderRaw(block.Data, AMask), block.Data.size()) + "]";
            continue;
        }
        for (const auto& item : block.Items)
            text += " " + (item.Name.empty() ? std::string("(damaged)") : item.Name) + "=" +
                    Clip(kestrel::trace::RenderValue(item.Tag, AMessage.IsResponse, item.Value, AMask),
                         item.Value.size());
    }
    if (!AMessage.Ok()) text += " (" + AMessage.Error + ")";
    return text;
}

std::string RawLink::Describe(const LinkUnit& AUnit) const {
    switch (AUnit.What) {
    case LinkUnit::Kind::Frame:
        if (!AUnit.CrcOk) {
            char crc[64];
            std::snprintf(crc, sizeof crc, "damaged frame (CRC %04X, should be %04X): ", AUnit.CrcGot,
                          AUnit.CrcWant);
            return crc + Clip(kestrel::trace::HexBytes(AUnit.Raw, fMask), AUnit.Raw.size());
        }
        return "frame " + Brief(AUnit.Data, true, fMask);
    case LinkUnit::Kind::Stray:
        return "stray bytes " + Clip(kestrel::trace::HexBytes(AUnit.Raw, fMask), AUnit.Raw.size());
    default:
        return kestrel::trace::KindName(AUnit.What);
    }
}

} // namespace kestrel::cli
