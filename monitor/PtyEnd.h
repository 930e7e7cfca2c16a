#pragma once
#include "monitor/Ends.h"
#include "util/PseudoTerminal.h"
#include <optional>

namespace kestrel::monitor {

// A pseudo-terminal the peer opens through a symbolic link.
//
// One terminal for the whole session, its far side held open by the monitor too, so that a peer
// that closes and opens again at any speed always finds the same terminal, and nothing it wrote
// before closing is lost: its bytes wait in the terminal until the relay reads them. Whether the
// peer has the terminal open is followed by its open and close events.
class PtyEnd : public End {
public:
    PtyEnd(std::string ALink, std::string AWho);
    ~PtyEnd() override;

    std::string Describe() const override { return "pty " + fLink.Path(); }
    bool Connected() const override { return fFd >= 0 && fOpens > 0; }
    void Start(Notes& ANotes) override;
    void Stop() override;
    pollfd Watch() const override { return {fInotify, POLLIN, 0}; }
    void Service(Notes& ANotes) override;
    void Lost(const std::string& AWhy, Notes& ANotes) override;

private:
    void Released(Notes& ANotes);
    void MakePair();

    vexo::TPtyLink fLink;
    std::string fWho;
    std::optional<vexo::TPseudoTerminal> fPty;
    int fInotify = -1, fWatch = -1;
    int fOpens = 0;
};

} // namespace kestrel::monitor
