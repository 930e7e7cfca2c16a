// Scenario files: any text either loads or raises ScenarioError; a loaded scenario matches any
// command without failing.
#include "sim/Scenario.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace kestrel::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string text(reinterpret_cast<const char*>(AData), ASize);
    try {
        Scenario scenario = Scenario::Parse(text);
        SimCommand command;
        // GCX with SPE_AMOUNT "0": the rules' item values are compared with it.
        constexpr std::string_view kGcx("GCX005\x00\x13\x00\x01\x30", 11);
        if (SimCommand::Parse(kGcx, command))
            if (auto match = scenario.Peek(command)) {
                scenario.Commit(*match);
                if (match->Step.Reply) (void)match->Step.Reply->DataField();
            }
    } catch (const ScenarioError&) {
    }
    return 0;
}
