#include "pinpad/VexoAbecsTables.h"

namespace vexo {

std::string ReturnStatusMessage(int32_t) {
    return {};
}
std::string SPEParamName(uint16_t) {
    return {};
}
std::string PPParamName(uint16_t) {
    return {};
}
std::optional<uint16_t> PPNameToTag(std::string_view) {
    return std::nullopt;
}
std::span<const uint16_t> AllPPParams() {
    return {};
}
std::span<const uint16_t> AllSPEParams() {
    return {};
}

} // namespace vexo
