#include "pinpad/VexoAbecsCommandSet.h"

#include <algorithm>
#include <array>

namespace vexo {
namespace {

// The ABECS 2.x command set, the classic fixed-layout commands among it. Sorted by name.
constexpr std::array kCommands{
    TVexoAbecsCommandInfo{"CEX", "check events", true, true},
    TVexoAbecsCommandInfo{"CHP", "chip card APDU", false, false},
    TVexoAbecsCommandInfo{"CKE", "check event", false, true},
    TVexoAbecsCommandInfo{"CLO", "close session", false, false},
    TVexoAbecsCommandInfo{"CLX", "close session, extended", true, false},
    TVexoAbecsCommandInfo{"CNG", "change parameter", false, false},
    TVexoAbecsCommandInfo{"DEX", "display text, extended", false, false},
    TVexoAbecsCommandInfo{"DMF", "delete media files", true, false},
    TVexoAbecsCommandInfo{"DSI", "display image", true, false},
    TVexoAbecsCommandInfo{"DSP", "display text", false, false},
    TVexoAbecsCommandInfo{"EBX", "encrypt buffer", true, false},
    TVexoAbecsCommandInfo{"ENB", "encrypt buffer (classic)", false, false},
    TVexoAbecsCommandInfo{"FCX", "finish chip, extended", true, false},
    TVexoAbecsCommandInfo{"FNC", "finish chip", false, false},
    TVexoAbecsCommandInfo{"GCD", "get clear data", true, true},
    TVexoAbecsCommandInfo{"GCR", "get card", false, true},
    TVexoAbecsCommandInfo{"GCX", "get card, extended", true, true},
    TVexoAbecsCommandInfo{"GDU", "get DUKPT", true, false},
    TVexoAbecsCommandInfo{"GED", "get EMV data", true, true},
    TVexoAbecsCommandInfo{"GEN", "get encrypted number", false, false},
    TVexoAbecsCommandInfo{"GIN", "get information", false, false},
    TVexoAbecsCommandInfo{"GIX", "get information, extended", true, false},
    TVexoAbecsCommandInfo{"GKY", "get key", false, true},
    TVexoAbecsCommandInfo{"GOC", "go on chip", false, true},
    TVexoAbecsCommandInfo{"GOX", "go on chip, extended", true, true},
    TVexoAbecsCommandInfo{"GPN", "get PIN", false, true},
    TVexoAbecsCommandInfo{"GTK", "get tracks", true, false},
    TVexoAbecsCommandInfo{"LMF", "list media files", true, false},
    TVexoAbecsCommandInfo{"MLE", "media load end", true, false},
    TVexoAbecsCommandInfo{"MLI", "media load init", true, false},
    TVexoAbecsCommandInfo{"MLR", "media load record", true, false},
    TVexoAbecsCommandInfo{"MNU", "menu", true, true},
    TVexoAbecsCommandInfo{"OPN", "open session", false, false},
    TVexoAbecsCommandInfo{"RMC", "remove card", false, true},
    TVexoAbecsCommandInfo{"TLE", "table load end", false, false},
    TVexoAbecsCommandInfo{"TLI", "table load init", false, false},
    TVexoAbecsCommandInfo{"TLR", "table load record", false, false},
};

constexpr bool SortedByName() {
    for (size_t i = 1; i < kCommands.size(); ++i)
        if (std::string_view(kCommands[i - 1].Name) >= std::string_view(kCommands[i].Name)) return false;
    return true;
}
static_assert(SortedByName(), "the lookup is a binary search");

} // namespace

std::span<const TVexoAbecsCommandInfo> AllAbecsCommands() {
    return kCommands;
}

const TVexoAbecsCommandInfo* FindAbecsCommand(std::string_view AName) {
    const auto it =
        std::lower_bound(kCommands.begin(), kCommands.end(), AName,
                         [](const TVexoAbecsCommandInfo& c, std::string_view n) { return c.Name < n; });
    return it != kCommands.end() && it->Name == AName ? &*it : nullptr;
}

bool UsesTLVItems(std::string_view AName) {
    const TVexoAbecsCommandInfo* info = FindAbecsCommand(AName);
    return info && info->TLV;
}

} // namespace vexo
