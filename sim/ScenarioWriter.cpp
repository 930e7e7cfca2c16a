#include "sim/ScenarioWriter.h"
#include "pinpad/VexoAbecsTables.h"
#include "trace/MessageDecoder.h"
#include "util/Strings.h"

#include <yaml-cpp/yaml.h>

#include <cstdio>
#include <map>

namespace kestrel::sim {

namespace {

bool PlainText(const ByteString& AValue) {
    for (const char c : AValue)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

void EmitValue(YAML::Emitter& AOut, const ByteString& AValue) {
    if (PlainText(AValue)) {
        AOut << YAML::DoubleQuoted << AValue;
        return;
    }
    AOut << YAML::Flow << YAML::BeginMap << YAML::Key << "hex" << YAML::Value << vexo::BytesParaHex(AValue)
         << YAML::EndMap;
}

std::string ItemName(uint16_t ATag) {
    if (const std::string name = vexo::PPParamName(ATag); vexo::PPNameToTag(name)) return name;
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", ATag);
    return text;
}

// One step of a rule: the recorded answer, or silence.
void EmitStep(YAML::Emitter& AOut, const RecordedCommand& ACommand) {
    const std::string name = ACommand.Command.substr(0, 3);
    AOut << YAML::BeginMap;
    const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(ACommand.Took).count();
    if (!ACommand.Response) {
        AOut << YAML::Key << "fault" << YAML::Value << "silent";
        AOut << YAML::Comment(ACommand.CancelAfter ? "the host sent CAN before any answer"
                                                   : "never answered");
        AOut << YAML::EndMap;
        return;
    }
    const auto message = trace::DecodeResponse(*ACommand.Response);
    if (!message.Ok() || message.Status < 0) {
        // What cannot be taken apart cannot be written as items; the simulator answers instead.
        AOut << YAML::Key << "delay" << YAML::Value << delay;
        AOut << YAML::Comment("the recorded answer did not decode: " + message.Error);
        AOut << YAML::EndMap;
        return;
    }
    if (message.Name != name) AOut << YAML::Key << "response" << YAML::Value << message.Name;
    AOut << YAML::Key << "status" << YAML::Value << message.Status;
    std::vector<const trace::DecodedTLV*> items;
    std::vector<const ByteString*> blocks;
    for (const auto& block : message.Blocks) {
        if (!block.IsTLV) blocks.push_back(&block.Data);
        for (const auto& item : block.Items)
            items.push_back(&item);
    }
    if (!items.empty()) {
        AOut << YAML::Key << "items" << YAML::Value << YAML::BeginMap;
        for (const auto* item : items) {
            AOut << YAML::Key << ItemName(item->Tag) << YAML::Value;
            EmitValue(AOut, item->Value);
        }
        AOut << YAML::EndMap;
    }
    if (!blocks.empty()) {
        AOut << YAML::Key << "blocks" << YAML::Value << YAML::BeginSeq;
        for (const auto* block : blocks)
            EmitValue(AOut, *block);
        AOut << YAML::EndSeq;
    }
    if (delay > 0) AOut << YAML::Key << "delay" << YAML::Value << delay;
    AOut << YAML::EndMap;
}

} // namespace

std::string ScenarioFromRecording(const std::vector<RecordedCommand>& ACommands, const std::string& ASource,
                                  bool AMasked) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<const RecordedCommand*>> byName;
    for (const auto& command : ACommands) {
        const std::string name = command.Command.substr(0, 3);
        if (!byName.count(name)) order.push_back(name);
        byName[name].push_back(&command);
    }
    YAML::Emitter out;
    out << YAML::Comment("Written by kestrel-monitor --to-scenario from " + ASource) << YAML::Newline;
    if (AMasked) out << YAML::Comment("card data is masked as it was in the recording") << YAML::Newline;
    out << YAML::BeginMap;
    out << YAML::Key << "name" << YAML::Value << "recorded: " + ASource;
    out << YAML::Key << "rules" << YAML::Value << YAML::BeginSeq;
    for (const auto& name : order) {
        const auto& commands = byName[name];
        out << YAML::BeginMap << YAML::Key << "command" << YAML::Value << YAML::DoubleQuoted << name;
        out << YAML::Key << "sequence" << YAML::Value << YAML::BeginSeq;
        for (const auto* command : commands)
            EmitStep(out, *command);
        out << YAML::EndSeq << YAML::EndMap;
    }
    out << YAML::EndSeq << YAML::EndMap;
    return std::string(out.c_str()) + "\n";
}

} // namespace kestrel::sim
