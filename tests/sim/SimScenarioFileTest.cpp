// Scenario files: the shipped examples load, and every mistake is reported with its line and rule.
#include "pinpad/VexoAbecsTables.h"
#include "sim/Scenario.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kestrel::sim::test {
namespace {

std::string ErrorOf(const std::string& AText) {
    try {
        Scenario::Parse(AText, "s.yaml");
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "";
}

TEST(SimScenarioFile, ShippedExamplesLoad) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KESTREL_SOURCE_DIR "/examples/scenarios")) {
        if (entry.path().extension() != ".yaml") continue;
        ++files;
        const Scenario scenario = Scenario::Load(entry.path().string());
        EXPECT_FALSE(scenario.Rules().empty()) << entry.path();
    }
    EXPECT_GE(files, 4);
}

TEST(SimScenarioFile, RulesReadAsWritten) {
    const Scenario scenario = Scenario::Parse(R"(name: two
rules:
  - command: gcx
    when: {SPE_AMOUNT: "0", 0x0099: {hex: "0A 0b"}}
    status: 77
  - command: "*"
    response: ERR
    status: 10
    delay: 5
    fault: "crc:2"
    after: "silent*0"
  - command: GOX
    repeat: true
    sequence:
      - {wait_for: "press F1", status: 0}
      - {display: "BUSY"}
)");
    EXPECT_EQ(scenario.Name(), "two");
    const auto rules = scenario.Rules();
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].Command, "GCX");
    EXPECT_EQ(rules[0].Line, 3);
    ASSERT_EQ(rules[0].When.size(), 2u);
    EXPECT_EQ(rules[0].When[0], std::make_pair(vexo::SPE_AMOUNT, std::string("0")));
    EXPECT_EQ(rules[0].When[1], std::make_pair(uint16_t(0x0099), std::string("\x0A\x0B")));
    EXPECT_EQ(rules[0].Steps[0].Reply->DataField(), "GCX077");
    EXPECT_EQ(rules[1].Steps[0].Reply->DataField(), "ERR010");
    EXPECT_EQ(rules[1].Steps[0].Fault->Param, 2);
    EXPECT_EQ(rules[1].Steps[0].After->Times, 0);
    ASSERT_EQ(rules[2].Steps.size(), 2u);
    EXPECT_TRUE(rules[2].Repeat);
    EXPECT_TRUE(rules[2].Steps[0].WaitFor.has_value());
    EXPECT_FALSE(rules[2].Steps[1].Reply.has_value());
    EXPECT_EQ(rules[2].Steps[1].Display, std::vector<std::string>{"BUSY"});
}

TEST(SimScenarioFile, EveryMistakeNamesItsLineAndRule) {
    const std::pair<std::string, const char*> cases[] = {
        {"rules:\n  - command: GIX\n    statu: 0\n", "s.yaml:3: rule 1: unknown key \"statu\" in a rule"},
        {"rules:\n  - command: GIX\n  - status: 0\n", "s.yaml:3: rule 2: a rule needs command: NAME"},
        {"rules:\n  - command: GIXX\n", "s.yaml:2: rule 1: command must be three letters"},
        {"rules:\n  - command: GIX\n    status: 1000\n",
         "s.yaml:3: rule 1: status must be a number from 0 to 999"},
        {"rules:\n  - command: GIX\n    items: {PP_NOSUCH: 1}\n",
         "s.yaml:3: rule 1: \"PP_NOSUCH\" is not a PP_ name"},
        {"rules:\n  - command: GIX\n    when: {PP_SERNUM: 1}\n",
         "s.yaml:3: rule 1: \"PP_SERNUM\" is not an SPE_ name"},
        {"rules:\n  - command: GIX\n    items: {PP_SERNUM: {hex: \"ABC\"}}\n",
         "s.yaml:3: rule 1: PP_SERNUM: \"ABC\" is not hexadecimal in pairs"},
        {"rules:\n  - command: GIX\n    items: {PP_SERNUM: \"\xE2\x98\x83\"}\n",
         "s.yaml:3: rule 1: PP_SERNUM: the text holds characters the code page"},
        {"rules:\n  - command: GIX\n    fault: \"boom\"\n", "s.yaml:3: rule 1: fault: "},
        {"rules:\n  - command: GCX\n    wait_for: \"digits 12\"\n    status: 0\n",
         "s.yaml:3: rule 1: wait_for takes a key"},
        {"rules:\n  - command: GCX\n    wait_for: insert\n", "s.yaml:3: rule 1: wait_for needs an answer"},
        {"rules:\n  - command: \"*\"\n    status: 0\n", "s.yaml:2: rule 1: the response needs a name"},
        {"rules:\n  - command: GIX\n    sequence: []\n", "s.yaml:3: rule 1: sequence must be a list"},
        {"rules:\n  - command: GIX\n    status: 0\n    sequence: [{status: 1}]\n",
         "s.yaml:3: rule 1: \"status\" belongs in a step"},
        {"rules:\n  - command: GIX\n    blocks: [{hex: \"" + std::string(2000, '4') + "\"}]\n",
         "s.yaml:3: rule 1: a block holds at most 999 bytes"},
        {"rules:\n  - command: GIX\n    delay: -5\n", "s.yaml:3: rule 1: delay must be a number"},
        {"rule:\n  - command: GIX\n", "s.yaml:1: unknown key \"rule\" in the scenario"},
        {"- just a list\n", "s.yaml:1: a scenario is a mapping"},
    };
    for (const auto& [text, start] : cases) {
        const std::string error = ErrorOf(text);
        EXPECT_EQ(error.rfind(start, 0), 0u) << text << "\n  gave: " << error;
    }
    // A file that is not YAML at all has no rules yet: the line where reading stopped.
    EXPECT_EQ(ErrorOf("rules:\n  - command: GIX\n  - command: [GIX\n").rfind("s.yaml:4: ", 0), 0u)
        << ErrorOf("rules:\n  - command: GIX\n  - command: [GIX\n");
    const std::string missing = [] {
        try {
            Scenario::Load("/nonexistent/s.yaml");
        } catch (const ScenarioError& e) {
            return std::string(e.what());
        }
        return std::string();
    }();
    EXPECT_EQ(missing, "/nonexistent/s.yaml: cannot be read");
}

} // namespace
} // namespace kestrel::sim::test
