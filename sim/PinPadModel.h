#pragma once
#include "sim/Cardholder.h"
#include "sim/CexOptions.h"
#include "sim/MediaMemory.h"
#include "sim/Profile.h"
#include "sim/SimMessage.h"
#include "sim/VirtualDisplay.h"
#include "util/Types.h"
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kestrel::sim {

// The PIN pad behind the link: session, display, media memory, card slot and the commands.
// Thread-safe: the simulator thread runs commands while a test reads snapshots.
class PinPadModel {
public:
    using Clock = std::chrono::steady_clock;

    explicit PinPadModel(Profile AProfile);

    // Another PIN pad in the same place: the profile's, freshly powered up (no session, no media,
    // empty slot, idle display).
    void Reset(Profile AProfile);

    // Runs a command. A reply means it is done; none means it now waits for the cardholder.
    std::optional<SimReply> Execute(const SimCommand& ACommand);
    // Milliseconds the PIN pad takes to answer ACommand, before the time scale.
    int AnswerDelay(const SimCommand& ACommand) const;
    bool Waiting() const;
    // When the waiting command's own timeout runs out (none when it waits for ever).
    std::optional<Clock::time_point> Deadline() const;
    // The cardholder acts; a reply when that ends the waiting command. ANote says what happened.
    std::optional<SimReply> Offer(const CardholderAction& AAction, std::string& ANote);
    // The waiting command's own timeout ran out: its reply (code 12; for a CEX whose
    // contactless reader gave up first, event 93).
    SimReply Expire();
    // The host cancelled (CAN) or sent another command: the wait ends without a reply.
    void Abandon();
    std::string WaitingFor() const;

    // For scenarios: text rows or a media file of the memory on the display (false: no such file),
    // and a command that answers AReply once the cardholder does AAction (until CAN or a new command).
    void ShowLines(const std::vector<std::string>& ALines);
    bool ShowMedia(const std::string& AName);
    void HoldFor(const std::string& AName, const CardholderAction& AAction, SimReply AReply);

    // The PIN pad is working on ACommand (empty: it is not): the display says so meanwhile.
    void SetProcessing(const std::string& ACommand);
    // Grows by one with every change a person could see: display, menu highlight, typed digits,
    // media memory, session, card slot, waiting command.
    uint64_t Revision() const;

    void SetTimeScale(double AScale);
    double TimeScale() const;

    Profile GetProfile() const;
    Profile::RuleBreaks Breaks() const;
    VirtualDisplay Display() const;
    std::vector<std::string> MediaNames() const;
    std::optional<MediaFile> Media(const std::string& AName) const;
    bool SessionOpen() const;
    bool CardInserted() const;

private:
    using Answer = std::optional<SimReply>; // none: the command waits for the cardholder
    using Handler = Answer (PinPadModel::*)(const SimCommand&);
    struct CommandEntry {
        const char* Name;
        Handler Run;
        bool Media; // a PIN pad without media memory does not know it
    };
    static const CommandEntry kCommands[];

    Answer Run(const std::string& AName, const SimCommand& ACommand);

    // Session and information (PinPadModelSession.cpp).
    Answer OPN(const SimCommand&);
    Answer CLO(const SimCommand&);
    Answer CLX(const SimCommand&);
    Answer GIN(const SimCommand&);
    Answer GIX(const SimCommand&);
    // Display (PinPadModelDisplay.cpp).
    Answer DSP(const SimCommand&);
    Answer DEX(const SimCommand&);
    Answer RMC(const SimCommand&);
    void ShowText(const std::vector<std::string>& ALines,
                  VirtualDisplay::Mode AMode = VirtualDisplay::Mode::Text);
    void ShowPrompt();
    void ShowMenu();
    void ShowPicture(const MediaFile& AFile);
    // Asking the cardholder (PinPadModelAsk.cpp).
    Answer GKY(const SimCommand&);
    Answer GCD(const SimCommand&);
    Answer MNU(const SimCommand&);
    // Events (PinPadModelEvents.cpp).
    Answer CEX(const SimCommand&);
    // Media (PinPadModelMedia.cpp).
    Answer LMF(const SimCommand&);
    Answer DSI(const SimCommand&);
    Answer DMF(const SimCommand&);
    Answer MLI(const SimCommand&);
    Answer MLR(const SimCommand&);
    Answer MLE(const SimCommand&);

    // The cardholder's actions on the waiting command (PinPadModelCardholder.cpp).
    Answer OfferLocked(const CardholderAction& AAction, std::string& ANote);
    Answer OfferKey(Key AKey, std::string& ANote);
    Answer OfferGcdKey(Key AKey, std::string& ANote);
    Answer OfferMenuKey(Key AKey, std::string& ANote);
    Answer OfferCex(const CardholderAction& AAction);
    Answer OfferHeld(const CardholderAction& AAction, std::string& ANote);
    Answer ChooseMenu(int AOption, std::string& ANote);

    void StartWait(const std::string& AName, int ATimeoutSeconds);
    Clock::time_point After(int ASeconds) const; // scaled by the time scale
    static Answer Bare(Answer AReply);
    void Touch() { ++fRevision; }

    mutable std::mutex fMutex;
    Profile fProfile;
    VirtualDisplay fDisplay;
    MediaMemory fMedia;
    bool fSession = false;
    bool fCardInserted = false;
    double fTimeScale = 1.0;
    uint64_t fRevision = 0;
    std::mt19937 fRandom;

    struct Wait {
        std::string Name;
        std::optional<Clock::time_point> Deadline;
        std::optional<Clock::time_point> CtlsDeadline;             // CEX watching the contactless reader
        CexOptions Cex;                                            // CEX: the events it waits for
        PanMask Mask;                                              // CEX: the PAN digits a swipe shows
        std::optional<std::pair<CardholderAction, SimReply>> Hold; // a scenario's answer and its cue
    };
    std::optional<Wait> fWait;
};

} // namespace kestrel::sim
