#include "sim/VirtualDisplay.h"
#include "util/Strings.h"

namespace kestrel::sim {

std::string VirtualDisplay::Render(int ACols) const {
    const std::string edge = "+" + std::string(static_cast<size_t>(ACols), '-') + "+\n";
    std::string out = edge;
    if (!Picture.empty()) {
        out += "|" + vexo::CompletarDireita("[picture " + Picture + "]", ACols) + "|\n";
    } else {
        for (const auto& line : Lines)
            out += "|" + vexo::CompletarDireita(line, ACols) + "|\n";
    }
    return out + edge;
}

} // namespace kestrel::sim
