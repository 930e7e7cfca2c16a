#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace kestrel::cli {

std::string ProgressBar::Render(const std::string& ALabel, int ADone, int ATotal, int AWidth) {
    const int total = std::max(ATotal, 1);
    const int done = std::clamp(ADone, 0, total);
    const int filled = done * AWidth / total;
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d%%", done * 100 / total);
    return ALabel + " [" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(AWidth - filled), '.') + "] " + percent + " " +
           std::to_string(done) + "/" + std::to_string(total);
}

void ProgressBar::Show(int ADone, int ATotal) {
    fTotal = ATotal;
    if (!fShow) return;
    std::cerr << '\r' << Render(fLabel, ADone, ATotal) << std::flush;
    fDrawn = true;
}

void ProgressBar::Done() {
    if (fDrawn) Show(fTotal, fTotal);
    Abandon();
}

void ProgressBar::Abandon() {
    if (fDrawn) std::cerr << '\n' << std::flush;
    fDrawn = false;
}

} // namespace kestrel::cli
