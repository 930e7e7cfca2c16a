#include "trace/TraceText.h"

#include "trace/ClassicLayout.h"
#include "trace/LinkMask.h"
#include "trace/ValueText.h"
#include "util/FilesIO.h"

#include <cstdio>

namespace kestrel::trace {

namespace {

const std::string kIndent(22, ' ');

std::string Seconds(Millis ATime) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ATime.count()) / 1000.0);
    return text;
}

std::string Status(const DecodedMessage& AMessage) {
    char code[8];
    std::snprintf(code, sizeof code, "%03d", AMessage.Status);
    return AMessage.StatusText.empty() ? code : std::string(code) + " " + AMessage.StatusText;
}

std::string Summary(const TraceEvent& AEvent) {
    using K = TraceEvent::Kind;
    const DecodedMessage& m = AEvent.Message;
    std::string text;
    switch (AEvent.What) {
    case K::Command: {
        text = m.Name;
        const std::string description = CommandDescription(m.Name);
        if (!description.empty()) text += " (" + description + ")";
        break;
    }
    case K::Response:
        text = m.Name + " " + Status(m);
        break;
    case K::BadFrame:
        text = "damaged frame";
        break;
    case K::Stray:
        text = "stray bytes";
        break;
    case K::Aborted:
        text = "aborted";
        break;
    case K::Timeout:
        text = "timeout";
        break;
    default:
        text = KindName(AEvent.What);
        break;
    }
    if (AEvent.Retry) text += " [again]";
    if (AEvent.What == K::Response && AEvent.Took) text += " after " + Seconds(*AEvent.Took);
    if (!AEvent.Note.empty()) text += ": " + AEvent.Note;
    return text;
}

// A damaged item keeps its tag when its header was whole, so its value is masked by the same rule.
std::string ItemLine(const DecodedTLV& AItem, bool AResponse, bool AMask) {
    if (AItem.Damage.empty())
        return AItem.Name + " = " + RenderValue(AItem.Tag, AResponse, AItem.Value, AMask);
    const std::string value = AItem.Name.empty() ? RenderRaw(AItem.Value, AMask)
                                                 : RenderValue(AItem.Tag, AResponse, AItem.Value, AMask);
    return (AItem.Name.empty() ? std::string("item") : AItem.Name) + " damaged, " + AItem.Damage + ": " +
           value;
}

} // namespace

const char* Arrow(Direction ADir) {
    return ADir == Direction::HostToPinPad ? "->" : "<-";
}

std::vector<std::string> FormatMessageBody(const DecodedMessage& AMessage, bool AMask) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < AMessage.Blocks.size(); ++i) {
        const DecodedBlock& block = AMessage.Blocks[i];
        if (!block.IsTLV) {
            const ByteString data =
                AMask ? MaskClassicBlock(AMessage.Name, AMessage.IsResponse, block.Data) : block.Data;
            const std::string damage = block.Damage.empty() ? "" : " damaged, " + block.Damage + ",";
            lines.push_back("block " + std::to_string(i + 1) + damage + " (" +
                            std::to_string(block.Data.size()) + " bytes) " + RenderRaw(data, AMask));
            continue;
        }
        for (const DecodedTLV& item : block.Items)
            lines.push_back(ItemLine(item, AMessage.IsResponse, AMask));
    }
    return lines;
}

std::vector<std::string> FormatEvent(const TraceEvent& AEvent, const TraceTextOptions& AOptions) {
    const bool linkOnly =
        AEvent.What == TraceEvent::Kind::Aborted || AEvent.What == TraceEvent::Kind::Timeout;
    const std::string arrow = linkOnly ? "!!" : Arrow(AEvent.Dir);
    std::vector<std::string> lines{vexo::LogTimeStamp(AEvent.At) + " " + arrow + " " + Summary(AEvent)};
    for (const std::string& body : FormatMessageBody(AEvent.Message, AOptions.Mask))
        lines.push_back(kIndent + body);
    if (AOptions.Bytes && !AEvent.Unit.Raw.empty()) {
        const bool fromPinPad = AEvent.Dir == Direction::PinPadToHost;
        lines.push_back(kIndent + "bytes " +
                        SpacedHex(AOptions.Mask ? MaskLinkUnit(AEvent.Unit, fromPinPad) : AEvent.Unit.Raw));
    }
    return lines;
}

std::vector<std::string> FormatStats(const TraceStats& AStats) {
    std::vector<std::string> lines;
    std::string commands;
    for (const auto& [name, count] : AStats.Commands)
        commands += (commands.empty() ? "" : ", ") + name + " " + std::to_string(count);
    lines.push_back("commands: " + (commands.empty() ? std::string("none") : commands));
    std::string errors;
    for (const auto& [code, count] : AStats.Errors) {
        char text[16];
        std::snprintf(text, sizeof text, "%03d", code);
        errors += (errors.empty() ? "" : ", ") + std::string(text) + " x" + std::to_string(count);
    }
    lines.push_back("errors: " + (errors.empty() ? std::string("none") : errors));
    lines.push_back("retries: " + std::to_string(AStats.Retries) + ", NAKs: " + std::to_string(AStats.Naks) +
                    ", damaged frames: " + std::to_string(AStats.BadFrames) + ", aborts: " +
                    std::to_string(AStats.Aborts) + ", timeouts: " + std::to_string(AStats.Timeouts) +
                    ", stray pieces: " + std::to_string(AStats.Strays));
    lines.push_back("slowest: " + (AStats.SlowestCommand.empty()
                                       ? std::string("none")
                                       : AStats.SlowestCommand + " " + Seconds(AStats.SlowestTime)));
    lines.push_back("bytes: " + std::to_string(AStats.BytesToPinPad) + " to the PIN pad, " +
                    std::to_string(AStats.BytesToHost) + " to the host");
    if (AStats.RecordedToPinPad != AStats.BytesToPinPad || AStats.RecordedToHost != AStats.BytesToHost)
        lines.push_back("recorded: " + std::to_string(AStats.RecordedToPinPad) + " to the PIN pad, " +
                        std::to_string(AStats.RecordedToHost) + " to the host (masking changed escapes)");
    return lines;
}

} // namespace kestrel::trace
