#pragma once
#include <span>
#include <string_view>

namespace vexo {

// What the host, the simulated PIN pad and the trace know of each ABECS command, in one table.
struct TVexoAbecsCommandInfo {
    const char* Name;
    const char* Description;
    bool TLV;      // parameters and results travel as TLV items
    bool Blocking; // waits for the cardholder
};

// The ABECS 2.x command set, the classic fixed-layout commands among it, sorted by name.
std::span<const TVexoAbecsCommandInfo> AllAbecsCommands();
// The command's entry, or nullptr for a name the table does not know.
const TVexoAbecsCommandInfo* FindAbecsCommand(std::string_view AName);

// The command's parameters and its response's results are TLV items in every block, so a block
// that is not a whole run of items is damaged rather than raw data.
bool UsesTLVItems(std::string_view AName);

} // namespace vexo
