// Text the simulator reads from people: profile files, cardholder scripts, fault specifications.
// Each either parses or raises its documented error; nothing else may happen.
#include "sim/Cardholder.h"
#include "sim/Faults.h"
#include "sim/Profile.h"

#include <cstdint>
#include <stdexcept>
#include <string>

using namespace kestrel::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    const std::string text(reinterpret_cast<const char*>(AData), ASize);
    try {
        const Profile profile = Profile::Parse(text);
        for (uint16_t id : profile.ItemIds())
            (void)profile.Item(id);
    } catch (const std::runtime_error&) {
    }
    try {
        for (const auto& action : Cardholder::ParseScript(text))
            (void)action.Describe();
    } catch (const std::invalid_argument&) {
    }
    try {
        (void)FaultRule::Parse(text).Describe();
    } catch (const std::invalid_argument&) {
    }
    return 0;
}
