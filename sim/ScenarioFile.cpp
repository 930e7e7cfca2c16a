// Scenario files are YAML, read with yaml-cpp: every node knows its line, so a mistake is reported
// where it is, and the format takes comments, which a scenario kept for a QA team needs.
#include "sim/Scenario.h"

#include "pinpad/VexoAbecsAnyCommand.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/NumberText.h"
#include "util/Strings.h"

#include <fstream>
#include <set>
#include <sstream>
#include <yaml-cpp/yaml.h>

namespace kestrel::sim {

namespace {

class Reader {
public:
    explicit Reader(std::string AFile) : fFile(std::move(AFile)) {}

    [[noreturn]] void Fail(const YAML::Node& ANode, const std::string& AMessage) const {
        std::string where = fFile;
        if (ANode.IsDefined() && ANode.Mark().line >= 0) where += ":" + std::to_string(ANode.Mark().line + 1);
        if (fRule > 0) where += ": rule " + std::to_string(fRule);
        throw ScenarioError(where + ": " + AMessage);
    }

    void SetRule(int ARule) { fRule = ARule; }

    void OnlyKeys(const YAML::Node& AMap, const std::set<std::string>& AKeys, const char* AWhat) const {
        if (!AMap.IsMap()) Fail(AMap, std::string(AWhat) + " must be a mapping of keys to values");
        for (const auto& entry : AMap) {
            const std::string key = entry.first.as<std::string>();
            if (!AKeys.count(key)) {
                std::string known;
                for (const auto& k : AKeys)
                    known += (known.empty() ? "" : ", ") + k;
                Fail(entry.first, "unknown key \"" + key + "\" in " + AWhat + " (known: " + known + ")");
            }
        }
    }

    std::string Text(const YAML::Node& ANode, const char* AWhat) const {
        if (!ANode.IsScalar()) Fail(ANode, std::string(AWhat) + " must be a single value");
        return ANode.as<std::string>();
    }

    int Number(const YAML::Node& ANode, int AMin, int AMax, const char* AWhat) const {
        const std::string text = Text(ANode, AWhat);
        try {
            return static_cast<int>(vexo::ParseInteger(text, AWhat, AMin, AMax));
        } catch (const vexo::Exception&) {
            Fail(ANode, std::string(AWhat) + " must be a number from " + std::to_string(AMin) + " to " +
                            std::to_string(AMax) + ", not \"" + text + "\"");
        }
    }

    // A value as text (sent in the code page) or as {hex: "..."} bytes.
    vexo::ByteString Value(const YAML::Node& ANode, const std::string& AWhat) const {
        if (ANode.IsMap()) {
            OnlyKeys(ANode, {"hex"}, "a value");
            std::string digits;
            for (char c : Text(ANode["hex"], "hex"))
                if (c != ' ') digits += c;
            vexo::ByteString bytes;
            if (digits.size() % 2 != 0 || !vexo::HexParaBytes(digits, bytes))
                Fail(ANode["hex"], AWhat + ": \"" + digits + "\" is not hexadecimal in pairs");
            return bytes;
        }
        if (ANode.IsNull()) return {};
        const std::string text = Text(ANode, AWhat.c_str());
        vexo::ByteString bytes = vexo::TextToAnsi(text);
        if (vexo::AnsiToText(bytes) != text)
            Fail(ANode, AWhat + ": the text holds characters the code page (Windows-1252) cannot carry; "
                                "give it as {hex: ...}");
        return bytes;
    }

    uint16_t Tag(const YAML::Node& AKey, bool AResponse) const {
        const std::string name = AKey.as<std::string>();
        if (AResponse)
            if (const auto tag = vexo::PPNameToTag(vexo::UpperCase(name))) return *tag;
        if (const auto tag = vexo::AnyParamID(name)) return *tag;
        Fail(AKey, "\"" + name + "\" is not " + (AResponse ? "a PP_ name" : "an SPE_ name") +
                       " nor a tag such as 0x8001");
    }

    std::vector<std::pair<uint16_t, vexo::ByteString>> Items(const YAML::Node& AMap, bool AResponse,
                                                             const char* AWhat) const {
        if (!AMap.IsMap()) Fail(AMap, std::string(AWhat) + " must map item names to values");
        std::vector<std::pair<uint16_t, vexo::ByteString>> items;
        for (const auto& entry : AMap)
            items.emplace_back(Tag(entry.first, AResponse),
                               Value(entry.second, entry.first.as<std::string>()));
        return items;
    }

    FaultRule Fault(const YAML::Node& ANode, const char* AWhat) const {
        try {
            return FaultRule::Parse(Text(ANode, AWhat));
        } catch (const std::invalid_argument& e) {
            Fail(ANode, std::string(AWhat) + ": " + e.what());
        }
    }

    CardholderAction Action(const YAML::Node& ANode) const {
        CardholderAction action;
        try {
            action = CardholderAction::Parse(Text(ANode, "wait_for"));
        } catch (const std::invalid_argument& e) {
            Fail(ANode, std::string("wait_for: ") + e.what());
        }
        using Kind = CardholderAction::Kind;
        const Kind kind = action.What;
        if (!((kind == Kind::Key || kind == Kind::Press) && action.PressedKey()) && kind != Kind::Swipe &&
            kind != Kind::Insert && kind != Kind::Remove && kind != Kind::Tap)
            Fail(ANode,
                 "wait_for takes a key (press ENTER, key F1) or a card event (swipe, insert, remove, tap)");
        return action;
    }

    ScenarioStep Step(const YAML::Node& AMap, const std::string& ACommand) const {
        ScenarioStep step;
        const bool answers = AMap["status"] || AMap["items"] || AMap["blocks"] || AMap["response"];
        if (answers) {
            const std::string name = AMap["response"] ? Text(AMap["response"], "response") : ACommand;
            if (!vexo::IsAbecsCommandName(name) || name == "*")
                Fail(AMap, "the response needs a name of three letters (give response: NAME for a rule of "
                           "any command)");
            step.Reply = SimReply(name, AMap["status"] ? Number(AMap["status"], 0, 999, "status") : 0);
            if (AMap["items"])
                for (const auto& [tag, value] : Items(AMap["items"], true, "items"))
                    step.Reply->AddTLV(tag, value);
            if (const YAML::Node blocks = AMap["blocks"]) {
                if (!blocks.IsSequence()) Fail(blocks, "blocks must be a list of raw blocks");
                for (const auto& block : blocks) {
                    vexo::ByteString data = Value(block, "block");
                    if (data.size() > 999) Fail(block, "a block holds at most 999 bytes");
                    step.Reply->AddData(std::move(data));
                }
            }
        }
        if (AMap["delay"]) step.DelayMs = Number(AMap["delay"], 0, 3600000, "delay");
        if (const YAML::Node display = AMap["display"]) {
            if (display.IsSequence())
                for (const auto& line : display)
                    step.Display.push_back(Text(line, "display"));
            else
                step.Display.push_back(Text(display, "display"));
        }
        if (AMap["media"]) step.ShowMedia = Text(AMap["media"], "media");
        if (AMap["wait_for"]) {
            if (!step.Reply)
                Fail(AMap["wait_for"],
                     "wait_for needs an answer to give when it happens (status, items or blocks)");
            step.WaitFor = Action(AMap["wait_for"]);
        }
        if (AMap["fault"]) step.Fault = Fault(AMap["fault"], "fault");
        if (AMap["after"]) step.After = Fault(AMap["after"], "after");
        return step;
    }

    ScenarioRule Rule(const YAML::Node& AMap, int ANumber) {
        SetRule(ANumber);
        static const std::set<std::string> kStep = {"status",  "items", "blocks",   "response", "delay",
                                                    "display", "media", "wait_for", "fault",    "after"};
        std::set<std::string> keys = kStep;
        keys.insert({"command", "when", "sequence", "repeat", "name"});
        OnlyKeys(AMap, keys, "a rule");
        ScenarioRule rule;
        rule.Number = ANumber;
        rule.Line = AMap.Mark().line + 1;
        if (!AMap["command"]) Fail(AMap, "a rule needs command: NAME (three letters, or * for any)");
        rule.Command = vexo::UpperCase(Text(AMap["command"], "command"));
        if (rule.Command != "*" && !vexo::IsAbecsCommandName(rule.Command))
            Fail(AMap["command"], "command must be three letters or digits, or *");
        if (AMap["when"]) rule.When = Items(AMap["when"], false, "when");
        if (const YAML::Node sequence = AMap["sequence"]) {
            for (const auto& key : kStep)
                if (AMap[key]) Fail(AMap[key], "\"" + key + "\" belongs in a step of the sequence");
            if (!sequence.IsSequence() || sequence.size() == 0)
                Fail(sequence, "sequence must be a list of steps");
            for (const auto& step : sequence) {
                OnlyKeys(step, kStep, "a step");
                rule.Steps.push_back(Step(step, rule.Command));
            }
            if (AMap["repeat"]) rule.Repeat = Text(AMap["repeat"], "repeat") == "true";
        } else {
            if (AMap["repeat"]) Fail(AMap["repeat"], "repeat belongs to a sequence");
            rule.Steps.push_back(Step(AMap, rule.Command));
        }
        return rule;
    }

private:
    std::string fFile;
    int fRule = 0;
};

} // namespace

Scenario Scenario::Parse(const std::string& AText, const std::string& AFileName) {
    Reader reader(AFileName);
    YAML::Node root;
    try {
        root = YAML::Load(AText);
    } catch (const YAML::Exception& e) {
        throw ScenarioError(AFileName + ":" + std::to_string(e.mark.line + 1) + ": " + e.msg);
    }
    if (!root.IsMap()) reader.Fail(root, "a scenario is a mapping with name and rules");
    Scenario scenario;
    int number = 0;
    try {
        reader.OnlyKeys(root, {"name", "rules", "description"}, "the scenario");
        if (!root["rules"] || !root["rules"].IsSequence())
            reader.Fail(root, "rules: must be a list of rules");
        scenario.fName = root["name"] ? reader.Text(root["name"], "name") : AFileName;
        for (const auto& rule : root["rules"])
            scenario.fRules.push_back(reader.Rule(rule, ++number));
    } catch (const YAML::Exception& e) {
        // A key that is itself a list or a mapping, and the like: yaml-cpp's words, with the place.
        throw ScenarioError(AFileName + ":" + std::to_string(e.mark.line + 1) +
                            (number > 0 ? ": rule " + std::to_string(number) : std::string()) + ": " + e.msg);
    }
    scenario.fNext.assign(scenario.fRules.size(), 0);
    return scenario;
}

Scenario Scenario::Load(const std::string& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in) throw ScenarioError(APath + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), APath);
}

} // namespace kestrel::sim
