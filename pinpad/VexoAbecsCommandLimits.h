#pragma once
// The limits and names of the interactive commands (MNU, GCD, CEX, GKY) that the host component, the
// window, the command line, the simulated PIN pad and the trace share, each written once.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// An MNU option on the wire, in code-page bytes (one byte a character).
inline constexpr std::size_t kMaxMenuOptionSize = 24;

// The options as MNU sends them: each cut to kMaxMenuOptionSize characters, so a caller can say what
// was cut.
std::vector<std::string> MenuOptionsAsSent(std::span<const std::string> AOptions);

// GCD's digit limits (SPE_MINDIG, SPE_MAXDIG) go from 1 to kMaxGcdDigits; 0 leaves a limit unsent, and
// the least is never above the most. Prompts are numbered from 1 to kGcdPromptCount.
inline constexpr int kMaxGcdDigits = 32;
inline constexpr int kGcdPromptCount = 53;

// Empty when the limits can go to a PIN pad; otherwise why not, naming AWhat ("--min", say) as given.
std::string GcdLimitsProblem(int AMin, int AMax, std::string_view AMinName = "the least number of digits",
                             std::string_view AMaxName = "the most");

// The events CEX answers with (PP_EVENT), by their two-digit code.
struct TVexoAbecsCexEvent {
    std::string_view Code;
    const char* Name;
};
inline constexpr std::string_view kCexEventMagneticStripe = "90";
inline constexpr std::string_view kCexEventCardRemoved = "91";
inline constexpr std::string_view kCexEventCardInserted = "92";
inline constexpr std::string_view kCexEventNoContactless = "93";
inline constexpr std::string_view kCexEventContactless = "94";

std::span<const TVexoAbecsCexEvent> CexEvents();
// The event's name ("card inserted"), or nullptr for a code the table does not know.
const char* CexEventName(std::string_view ACode);

// The key a GKY return code names ("F1", "CLEAR"), or nullptr when the code is not a key.
const char* GkyKeyName(int32_t ACode);

} // namespace vexo
