#pragma once
#include <span>
#include <string_view>

namespace vexo {

// What the host needs to know of an ABECS command it sends by name: whether its parameters and
// results travel as TLV items (or as fixed-layout blocks), and whether it waits for the cardholder,
// which makes the host wait without a deadline and abort with CAN.
struct TVexoAbecsCommandInfo {
    const char* Name;
    const char* Description;
    bool TLV;
    bool Blocking;
};

// The ABECS 2.x command set, the classic fixed-layout commands among it, sorted by name.
std::span<const TVexoAbecsCommandInfo> AllAbecsCommands();
// nullptr for a name not in the table.
const TVexoAbecsCommandInfo* FindAbecsCommand(std::string_view AName);

} // namespace vexo
