#include "pinpad/VexoAbecsCommandLimits.h"

#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"

#include <array>

namespace vexo {
namespace {

constexpr std::array kCexEvents{
    TVexoAbecsCexEvent{"00", "ENTER key"},
    TVexoAbecsCexEvent{"02", "up arrow key"},
    TVexoAbecsCexEvent{"03", "down arrow key"},
    TVexoAbecsCexEvent{"04", "F1 key"},
    TVexoAbecsCexEvent{"05", "F2 key"},
    TVexoAbecsCexEvent{"06", "F3 key"},
    TVexoAbecsCexEvent{"07", "F4 key"},
    TVexoAbecsCexEvent{"08", "CLEAR key"},
    TVexoAbecsCexEvent{"13", "CANCEL key"},
    TVexoAbecsCexEvent{kCexEventMagneticStripe, "magnetic stripe"},
    TVexoAbecsCexEvent{kCexEventCardRemoved, "card removed"},
    TVexoAbecsCexEvent{kCexEventCardInserted, "card inserted"},
    TVexoAbecsCexEvent{kCexEventNoContactless, "no contactless card in time"},
    TVexoAbecsCexEvent{kCexEventContactless, "contactless card presented"},
};

std::string Range(std::string_view AName) {
    return std::string(AName) + " must be from 0 (not sent) to " + std::to_string(kMaxGcdDigits);
}

} // namespace

std::vector<std::string> MenuOptionsAsSent(std::span<const std::string> AOptions) {
    std::vector<std::string> sent;
    sent.reserve(AOptions.size());
    // Cut in the code page, where a character is one byte, and brought back to text.
    for (const std::string& option : AOptions)
        sent.push_back(AnsiToText(TextToAnsi(option).substr(0, kMaxMenuOptionSize)));
    return sent;
}

std::string GcdLimitsProblem(int AMin, int AMax, std::string_view AMinName, std::string_view AMaxName) {
    if (AMin < 0 || AMin > kMaxGcdDigits) return Range(AMinName) + ", not " + std::to_string(AMin);
    if (AMax < 0 || AMax > kMaxGcdDigits) return Range(AMaxName) + ", not " + std::to_string(AMax);
    if (AMin > 0 && AMax > 0 && AMin > AMax)
        return std::string(AMinName) + " " + std::to_string(AMin) + " is above " + std::string(AMaxName) +
               " " + std::to_string(AMax);
    return {};
}

std::span<const TVexoAbecsCexEvent> CexEvents() {
    return kCexEvents;
}

const char* CexEventName(std::string_view ACode) {
    for (const auto& event : kCexEvents)
        if (event.Code == ACode) return event.Name;
    return nullptr;
}

const char* GkyKeyName(int32_t ACode) {
    switch (ACode) {
    case ST_OK:
        return "ENTER";
    case ST_F1:
        return "F1";
    case ST_F2:
        return "F2";
    case ST_F3:
        return "F3";
    case ST_F4:
        return "F4";
    case ST_BACKSP:
        return "CLEAR";
    case ST_CANCEL:
        return "CANCEL";
    default:
        return nullptr;
    }
}

} // namespace vexo
