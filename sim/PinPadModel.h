#pragma once
#include "sim/Cardholder.h"
#include "sim/Profile.h"
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

using vexo::ByteString;

// A command as it arrived: name and the data of its blocks.
struct SimCommand {
    std::string Name;
    std::vector<ByteString> Blocks;
    std::string Fault; // after a failed Parse: where and why the data field is malformed

    // Splits a data field into name and blocks with the message core's codec. Unlike the host's
    // response reader it takes a block of length 000, which hosts send for an empty message.
    // False when the blocks do not add up, or when a command whose parameters are TLV items has
    // a block that is not a whole run of them.
    static bool Parse(std::string_view AData, SimCommand& ACommand);
};

// A response data field under construction: name, return code, blocks of raw data or TLVs.
struct SimReply {
    std::string Name;
    int Status = 0;
    std::vector<ByteString> Blocks;

    SimReply() = default;
    SimReply(std::string AName, int AStatus) : Name(std::move(AName)), Status(AStatus) {}
    SimReply& AddData(ByteString AData);
    // Appends a TLV, in the last block while it fits, else in a new one.
    SimReply& AddTLV(uint16_t ATag, const ByteString& AValue);
    ByteString DataField() const;
};

struct MediaFile {
    std::string Name; // 8 bytes as the host sent it
    ByteString Data;
    int Type = 0; // 1 PNG, 2 JPEG, 3 GIF
};

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
    std::optional<SimReply> Run(const std::string& AName, const SimCommand& ACommand);
    SimReply OPN(const SimCommand&);
    SimReply CLO(const SimCommand&);
    SimReply CLX(const SimCommand&);
    SimReply GIN(const SimCommand&);
    SimReply GIX(const SimCommand&);
    SimReply DSP(const SimCommand&);
    SimReply DEX(const SimCommand&);
    std::optional<SimReply> RMC(const SimCommand&);
    std::optional<SimReply> GKY(const SimCommand&);
    std::optional<SimReply> GCD(const SimCommand&);
    std::optional<SimReply> MNU(const SimCommand&);
    std::optional<SimReply> CEX(const SimCommand&);
    SimReply LMF(const SimCommand&);
    SimReply DSI(const SimCommand&);
    SimReply DMF(const SimCommand&);
    SimReply MLI(const SimCommand&);
    SimReply MLR(const SimCommand&);
    SimReply MLE(const SimCommand&);

    std::optional<SimReply> OfferLocked(const CardholderAction& AAction, std::string& ANote);
    std::optional<SimReply> OfferKey(Key AKey, std::string& ANote);
    std::optional<SimReply> OfferHeld(const CardholderAction& AAction, std::string& ANote);
    std::optional<SimReply> ChooseMenu(int AOption, std::string& ANote);
    void ShowText(const std::vector<std::string>& ALines,
                  VirtualDisplay::Mode AMode = VirtualDisplay::Mode::Text);
    void ShowPrompt();
    void ShowMenu();
    void StartWait(const std::string& AName, int ATimeoutSeconds);
    Clock::time_point After(int ASeconds) const; // scaled by the time scale
    static std::optional<SimReply> Bare(std::optional<SimReply> AReply);
    void Touch() { ++fRevision; }
    std::vector<MediaFile>::iterator FindMedia(std::string_view AName);
    uint64_t MediaUsed() const;

    mutable std::mutex fMutex;
    Profile fProfile;
    VirtualDisplay fDisplay;
    std::vector<MediaFile> fMedia;
    bool fSession = false;
    bool fCardInserted = false;
    double fTimeScale = 1.0;
    uint64_t fRevision = 0;
    std::mt19937 fRandom;

    struct Load {
        std::string Name;
        uint32_t Size = 0;
        uint16_t CRC = 0;
        int Type = 0;
        ByteString Data;
    };
    std::optional<Load> fLoad;

    struct Wait {
        std::string Name;
        std::optional<Clock::time_point> Deadline;
        std::optional<Clock::time_point> CtlsDeadline; // CEX watching the contactless reader
        std::string CexOptions;                        // CEX, six digits
        std::string PanMask;                           // CEX, LLRR
        std::optional<std::pair<CardholderAction, SimReply>> Hold; // a scenario's answer and its cue
    };
    std::optional<Wait> fWait;
};

} // namespace kestrel::sim
