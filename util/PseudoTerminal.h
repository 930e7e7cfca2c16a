#pragma once
// Owns the pseudo-terminals that the simulator and the monitor offer to a program under test, and the
// symbolic links that give them stable names: how a pair is opened (raw, close-on-exec, the master
// non-blocking), how a link is made (atomically, never over a file that is not a link) and when it may
// be removed (only while it still names our terminal, so a later owner's link survives us).
#include <string>
#include <termios.h>

namespace vexo {

class TPseudoTerminal {
public:
    // Opens a pair; ASpeed (B19200...) is set on the slave when it is not B0. Raises std::runtime_error.
    explicit TPseudoTerminal(speed_t ASpeed = B0);
    ~TPseudoTerminal();
    TPseudoTerminal(TPseudoTerminal&& AOther) noexcept;
    TPseudoTerminal& operator=(TPseudoTerminal&& AOther) noexcept;
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    int Master() const { return fMaster; }
    // The program under test opens SlavePath(); the owner may hold Slave() open as well, so that the
    // line does not hang up while nobody else has it.
    int Slave() const { return fSlave; }
    const std::string& SlavePath() const { return fSlavePath; }
    void Close();

    // Raw, with the receiver on and modem lines ignored: an echo would send a peer's bytes back to it.
    static void MakeRaw(int AFd);

private:
    int fMaster = -1;
    int fSlave = -1;
    std::string fSlavePath;
};

// A symbolic link at a path of the user's choosing that names a pseudo-terminal's slave.
class TPtyLink {
public:
    explicit TPtyLink(std::string APath) : fPath(std::move(APath)) {}
    ~TPtyLink() { Remove(); }
    TPtyLink(const TPtyLink&) = delete;
    TPtyLink& operator=(const TPtyLink&) = delete;

    const std::string& Path() const { return fPath; }
    // Raises std::runtime_error when something other than a symbolic link is at the path.
    void CheckPlace() const;
    // Points the link at ATarget, replacing an older link in one step: a program that opens the path
    // meanwhile finds the old terminal or the new one, never nothing. Raises std::runtime_error.
    void PointAt(const std::string& ATarget);
    // Removes the link if it still names what PointAt made it name; another owner's link stays.
    void Remove() noexcept;

private:
    std::string fPath;
    std::string fTarget;
};

} // namespace vexo
