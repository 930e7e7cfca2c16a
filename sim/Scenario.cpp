#include "sim/Scenario.h"

#include "pinpad/VexoAbecsCodec.h"

namespace kestrel::sim {

namespace {

// The items of a command's blocks; a block that is not exactly a run of items has none.
std::vector<std::pair<uint16_t, vexo::ByteString>> ItemsOf(const SimCommand& ACommand) {
    std::vector<std::pair<uint16_t, vexo::ByteString>> items;
    std::vector<vexo::TVexoAbecsTLVSpan> spans;
    for (const auto& block : ACommand.Blocks) {
        spans.clear();
        if (vexo::SplitTLVs(block, spans)) continue;
        for (const auto& span : spans)
            items.emplace_back(span.Tag, vexo::ByteString(span.Value));
    }
    return items;
}

} // namespace

std::string ScenarioMatch::Describe() const {
    return "rule " + std::to_string(Number) + " (line " + std::to_string(Line) + ")";
}

Scenario::Scenario(const Scenario& AOther) {
    *this = AOther;
}

Scenario& Scenario::operator=(const Scenario& AOther) {
    if (this == &AOther) return *this;
    std::scoped_lock lock(fMutex, AOther.fMutex);
    fName = AOther.fName;
    fRules = AOther.fRules;
    fNext = AOther.fNext;
    return *this;
}

std::vector<ScenarioRule> Scenario::Rules() const {
    std::lock_guard lock(fMutex);
    return fRules;
}

bool Scenario::Matches(const ScenarioRule& ARule, const SimCommand& ACommand) {
    if (ARule.Command != "*" && ARule.Command != ACommand.Name) return false;
    if (ARule.When.empty()) return true;
    const auto items = ItemsOf(ACommand);
    for (const auto& wanted : ARule.When) {
        bool found = false;
        for (const auto& item : items)
            found = found || item == wanted;
        if (!found) return false;
    }
    return true;
}

std::optional<ScenarioMatch> Scenario::Peek(const SimCommand& ACommand) const {
    std::lock_guard lock(fMutex);
    for (size_t i = 0; i < fRules.size(); ++i) {
        const ScenarioRule& rule = fRules[i];
        if (fNext[i] >= rule.Steps.size() || !Matches(rule, ACommand)) continue;
        ScenarioMatch match;
        match.Rule = static_cast<int>(i);
        match.Step = rule.Steps[fNext[i]];
        match.Line = rule.Line;
        match.Number = rule.Number;
        return match;
    }
    return std::nullopt;
}

void Scenario::Commit(const ScenarioMatch& AMatch) {
    std::lock_guard lock(fMutex);
    const size_t i = static_cast<size_t>(AMatch.Rule);
    if (i >= fRules.size()) return;
    // A single answer serves every match; a sequence moves on, and ends unless it repeats.
    if (fRules[i].Steps.size() < 2) return;
    if (++fNext[i] >= fRules[i].Steps.size() && fRules[i].Repeat) fNext[i] = 0;
}

} // namespace kestrel::sim
