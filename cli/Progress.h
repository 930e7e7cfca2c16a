#pragma once
#include <string>

namespace kestrel::cli {

// A one-line progress bar on standard error, redrawn in place; shown only when asked (the program
// asks when standard error is a terminal), so scripts and logs never get carriage returns.
class ProgressBar {
public:
    ProgressBar(bool AShow, std::string ALabel) : fShow(AShow), fLabel(std::move(ALabel)) {}
    ~ProgressBar() { Abandon(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Show(int ADone, int ATotal);
    // The work is over: the bar shows it full and the line ends.
    void Done();
    // The work stopped: the line ends where the bar was.
    void Abandon();

    // The bar as drawn, without the carriage return: "LABEL [#####.....]  50% 1/2".
    static std::string Render(const std::string& ALabel, int ADone, int ATotal, int AWidth = 30);

private:
    bool fShow;
    bool fDrawn = false;
    int fTotal = 0;
    std::string fLabel;
};

} // namespace kestrel::cli
