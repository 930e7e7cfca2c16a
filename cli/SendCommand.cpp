// send: any ABECS command by name, its response with items named. The component builds and sends;
// this file turns words into parameters and the answer into the result.
#include "cli/SendCommand.h"
#include "cli/Commands.h"

#include "pinpad/VexoAbecsAnyCommand.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/ValueText.h"
#include "util/Strings.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace kestrel::cli {

using vexo::ByteString;
using vexo::TVexoAbecsAnyParam;

namespace {

ByteString HexArgument(const std::string& AText, const std::string& AWhat) {
    std::string digits;
    for (char c : AText)
        if (c != ' ' && c != ':') digits += c;
    ByteString bytes;
    if (digits.size() % 2 != 0 || !vexo::HexParaBytes(digits, bytes))
        throw BadArguments("send: " + AWhat + " \"" + AText +
                           "\" is not hexadecimal in pairs (such as 00 0C or 000C)");
    return bytes;
}

uint16_t ItemId(const std::string& AText) {
    if (const auto id = vexo::AnyParamID(AText)) return *id;
    throw BadArguments("send: \"" + AText +
                       "\" is not an SPE_ name (such as SPE_DSPMSG) nor a tag such as 0x001B or 001Bh");
}

TVexoAbecsAnyParam ItemParam(const SendParam& AParam) {
    const size_t equals = AParam.Text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw BadArguments("send: \"" + AParam.Text + "\" is not ID=VALUE");
    const uint16_t id = ItemId(AParam.Text.substr(0, equals));
    const std::string value = AParam.Text.substr(equals + 1);
    if (AParam.What == SendParam::Kind::HexItem)
        return TVexoAbecsAnyParam::Bytes(id, HexArgument(value, vexo::SPEParamName(id)));
    return TVexoAbecsAnyParam::Text(id, value);
}

TVexoAbecsAnyParam ToParam(const SendParam& AParam) {
    switch (AParam.What) {
    case SendParam::Kind::Item:
    case SendParam::Kind::HexItem:
        return ItemParam(AParam);
    case SendParam::Kind::Block:
        return TVexoAbecsAnyParam::TextBlock(AParam.Text);
    case SendParam::Kind::HexBlock:
        return TVexoAbecsAnyParam::Block(HexArgument(AParam.Text, "--block-hex"));
    }
    throw BadArguments("send: unknown parameter");
}

JsonValue ShownJson(const kestrel::trace::ValueView& AView, JsonValue AStart = JsonValue::Object()) {
    JsonValue value = std::move(AStart);
    value.Set("value", AView.Shown);
    if (!AView.IsText) value.Set("hex", true);
    if (!AView.Meaning.empty()) value.Set("meaning", AView.Meaning);
    return value;
}

// Every item by name and every raw block, masked unless the user asked for clear card data.
void AddAnswer(const vexo::TVexoAbecsAnyAnswer& AAnswer, bool AMask, CommandResult& AResult) {
    JsonValue items = JsonValue::Array();
    JsonValue raw = JsonValue::Array();
    std::vector<std::string> primary;
    for (size_t b = 0; b < AAnswer.Blocks.size(); ++b) {
        const auto& block = AAnswer.Blocks[b];
        if (!block.IsTLV) {
            const auto view = kestrel::trace::ViewRaw(block.Data, AMask);
            JsonValue start = JsonValue::Object();
            start.Set("block", static_cast<int64_t>(b + 1));
            JsonValue entry = ShownJson(view, std::move(start));
            raw.Push(std::move(entry));
            AResult.Lines.push_back("  block " + std::to_string(b + 1) + ": " +
                                    kestrel::trace::RenderRaw(block.Data, AMask));
            primary.push_back(view.Shown);
            continue;
        }
        for (const auto& item : block.Items) {
            const auto view = kestrel::trace::ViewValue(item.ID, true, item.Value, AMask);
            JsonValue start = JsonValue::Object();
            start.Set("id", Hex4(item.ID));
            start.Set("name", item.Name);
            JsonValue entry = ShownJson(view, std::move(start));
            items.Push(std::move(entry));
            AResult.Lines.push_back("  " + item.Name + " = " +
                                    kestrel::trace::RenderValue(item.ID, true, item.Value, AMask));
            primary.push_back(view.Shown);
        }
    }
    AResult.Fields.Set("items", std::move(items));
    AResult.Fields.Set("blocks", std::move(raw));
    if (primary.size() == 1) AResult.Primary = primary[0];
}

// Runs the exchange with the host's own limit on the wait: a deadline for an ordinary command, a
// cancel (CAN) for one that waits for the cardholder.
class WaitLimit {
public:
    WaitLimit(vexo::TVexoAbecsPinPad& APinPad, double ASeconds, bool ABlocking)
        : fPinPad(APinPad), fTimeOut(APinPad.TimeOut()), fHandler(APinPad.OnWaitForResponse()) {
        if (ASeconds <= 0) return;
        const auto limit = std::chrono::milliseconds(static_cast<int64_t>(std::llround(ASeconds * 1000)));
        if (!ABlocking) {
            fPinPad.SetTimeOut(static_cast<int32_t>(limit.count()));
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        fPinPad.SetOnWaitForResponse([this, deadline, handler = fHandler](bool& ACancel) {
            if (handler) handler(ACancel);
            if (std::chrono::steady_clock::now() >= deadline) {
                fExpired = true;
                ACancel = true;
            }
        });
    }
    ~WaitLimit() {
        fPinPad.SetTimeOut(fTimeOut);
        fPinPad.SetOnWaitForResponse(fHandler);
    }
    WaitLimit(const WaitLimit&) = delete;
    WaitLimit& operator=(const WaitLimit&) = delete;
    bool Expired() const { return fExpired; }

private:
    vexo::TVexoAbecsPinPad& fPinPad;
    int32_t fTimeOut;
    vexo::TVexoAbecsExecEvent fHandler;
    bool fExpired = false;
};

} // namespace

PreparedCommand MakeSend(const SendArgs& AArgs) {
    vexo::TVexoAbecsAnyCommand command;
    command.Name = vexo::UpperCase(AArgs.Name);
    if (!vexo::IsAbecsCommandName(command.Name))
        throw BadArguments("send: \"" + AArgs.Name + "\" is not a command name (three letters, such as GIX)");
    if (!(AArgs.Wait >= 0 && AArgs.Wait <= 86400)) // NaN fails both
        throw BadArguments("send: --wait must be from 0 to 86400 seconds");
    if (AArgs.Blocking) command.Wait = vexo::TVexoAbecsWaitMode::wmBlocking;
    try {
        for (const auto& param : AArgs.Params)
            command.Params.push_back(ToParam(param));
        vexo::TVexoAbecsCommand scratch;
        vexo::BuildAnyCommand(command, scratch);
    } catch (const vexo::EVexoAbecsPinPadError& e) {
        throw BadArguments("send: " + e.Message());
    }
    const double wait = AArgs.Wait;
    return {"send", true, [command, wait](CommandContext& AContext, CommandResult& AResult) {
                vexo::TVexoAbecsPinPad& pinpad = AContext.PinPad;
                AResult.Fields.Set("sent", command.Name);
                WaitLimit limit(pinpad, wait, vexo::AnyCommandBlocks(command));
                try {
                    AddAnswer(pinpad.ExecAny(command), AContext.Mask, AResult);
                } catch (const vexo::EVexoAbecsPinPadError& e) {
                    if (!pinpad.Response().ID().empty())
                        AddAnswer(pinpad.LastAnswer(), AContext.Mask, AResult);
                    if (limit.Expired() && e.Message() == "Cancelled by User")
                        throw vexo::EVexoAbecsPinPadTimeout(
                            "No response within --wait; the command was "
                            "cancelled with CAN and the PIN pad confirmed it");
                    throw;
                }
            }};
}

} // namespace kestrel::cli
