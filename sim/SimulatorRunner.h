#pragma once
#include "sim/Cardholder.h"
#include "sim/Faults.h"
#include "sim/MemoryChannel.h"
#include "sim/PinPadModel.h"
#include "sim/Profile.h"
#include "sim/Scenario.h"
#include "sim/VirtualDisplay.h"
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::sim {

class Channel;
class PacedChannel;
class Simulator;

// A simulated PIN pad on a background thread, for tests and tools in the same process.
//
//     kestrel::sim::SimulatorRunner sim(kestrel::sim::Profile::GraphicGif());
//     sim.SetTimeScale(0.01);                   // cardholder seconds become 10 ms
//     std::string port = sim.StartPty();        // "/dev/pts/7": give it to the host as its port
//     sim.PressKey(0);                          // queued until a GKY (or CEX) waits for it
//     ... host runs its commands ...
//     auto screen = sim.Display();              // lines and picture now shown
//
// Every method is thread-safe and may be called before or after Start*. Cardholder actions
// queue up and are consumed by blocking commands in order; live input (Press, Act) goes to the
// command that waits at that moment, or nowhere. The destructor stops the thread.
//
// A screen that shows the PIN pad (a virtual PIN pad window) needs no polling:
//
//     sim.SetOnChange([&] { postToGuiThread([&] { redraw(sim.Display()); }); });
//     sim.SetByteTap([&](bool fromHost, const ByteString& bytes) { traceDecoder.Feed(fromHost, bytes); });
//     sim.Press(kestrel::sim::Key::Digit5);   // a keypad button
//     sim.Act(CardholderAction::Insert());     // a card button
//     sim.Stop(); sim.SetProfile(Profile::Load("text")); sim.StartTcp();   // another PIN pad
class SimulatorRunner {
public:
    explicit SimulatorRunner(Profile AProfile = Profile::Graphic());
    ~SimulatorRunner();
    SimulatorRunner(const SimulatorRunner&) = delete;
    SimulatorRunner& operator=(const SimulatorRunner&) = delete;

    // Start on one transport; each raises std::runtime_error when it cannot, or when already
    // started. StartPty returns the slave path the host opens (ALinkPath, when given, becomes a
    // symbolic link to it and is removed on Stop). StartTcp returns the listening port (APort 0
    // picks a free one). StartInProcess returns the host's end of an in-memory channel.
    std::string StartPty(const std::string& ALinkPath = {});
    uint16_t StartTcp(const std::string& AHost = "127.0.0.1", uint16_t APort = 0);
    MemoryChannel::HostEnd StartInProcess();
    // Joins the thread; safe to call twice.
    void Stop();
    bool Running() const { return fThread.joinable(); }
    // Where the host finds the PIN pad now (the pty path changes after a "hangup" fault).
    std::string Address() const;

    // Another PIN pad: the profile's, freshly powered up (no session, no media, empty slot).
    // Only while stopped (raises std::logic_error otherwise); Start* it again after.
    void SetProfile(Profile AProfile);

    // Live cardholder input, as from the PIN pad's own keypad and card reader: delivered at
    // once to the command that waits now (GKY, GCD digit by digit, MNU, CEX, RMC) and dropped,
    // with a trace line, when nothing waits. Card insertion and removal always move the card.
    void Press(Key AKey) { Act(CardholderAction::Press(AKey)); }
    void Act(const CardholderAction& AAction);
    size_t LiveLeft() const; // live input not yet taken by the simulator thread

    // Cardholder script: actions queued until a blocking command consumes them.
    void Push(const CardholderAction& AAction);
    void PressKey(int ACode) { Push(CardholderAction::Key(ACode)); } // 0, 4 to 8, 13
    void TypeDigits(const std::string& ADigits) { Push(CardholderAction::Digits(ADigits)); }
    void ChooseOption(int AOption) { Push(CardholderAction::Choice(AOption)); } // from 1
    void SwipeCard(const std::string& ATrack1 = {}, const std::string& ATrack2 = {},
                   const std::string& ATrack3 = {}) {
        Push(CardholderAction::Swipe(ATrack1, ATrack2, ATrack3));
    }
    void InsertCard() { Push(CardholderAction::Insert()); }
    void RemoveCard() { Push(CardholderAction::Remove()); }
    void TapCard() { Push(CardholderAction::Tap()); }
    void Delay(int AMilliseconds) { Push(CardholderAction::Delay(AMilliseconds)); }
    void NeverAnswer() { Push(CardholderAction::Never()); }
    // Script lines as the program takes them; raises std::invalid_argument.
    void LoadScript(const std::string& AText);
    void ClearScript();
    size_t ScriptLeft() const;
    // Cardholder delays and SPE_TIMEOUT seconds are multiplied by this (0.01: a second is 10 ms).
    void SetTimeScale(double AScale);

    // Faults, one rule ("nak:2@OPN", see FaultRule::Parse) or at random.
    void AddFault(const FaultRule& ARule);
    void AddFault(const std::string& ASpec) { AddFault(FaultRule::Parse(ASpec)); }
    void SetRandomFaults(double AProbability, uint32_t ASeed);
    void ClearFaults();

    // Paces both directions to this many bits per second (10 bits a byte); 0 is off. Takes
    // effect at once.
    void SetBaudRate(unsigned ABaud);

    // Frames and events both ways, one line each, on the simulator thread. Set before Start*.
    void SetTrace(std::function<void(const std::string&)> ATrace);
    // Every chunk of bytes read from (AFromHost) and written to the channel, in order, on the
    // simulator thread. May be set at any time; empty to stop.
    void SetByteTap(std::function<void(bool AFromHost, const ByteString& ABytes)> ATap);
    // Called on the simulator thread after anything visible changed: display, menu highlight,
    // typed digits, media memory, session, card slot, waiting command; and once on every start.
    // May be set at any time; empty to stop. It must not call Stop (that joins its own thread).
    void SetOnChange(std::function<void()> AOnChange);

    // The fault kinds, with a short description each, for a menu.
    static const std::vector<FaultRule::KindInfo>& FaultKinds() { return FaultRule::Kinds(); }

    // The PIN pad's state.
    VirtualDisplay Display() const;
    std::vector<std::string> MediaNames() const; // 8-byte names, as stored
    std::optional<MediaFile> Media(const std::string& AName) const;
    bool SessionOpen() const;
    bool CardInserted() const;
    std::string WaitingFor() const; // the blocking command waiting for the cardholder, or empty
    const Profile& GetProfile() const { return fProfile; }
    PinPadModel& Model() { return fModel; }

    // Rules that answer the commands they match (sim/Scenario.h); an empty scenario answers none.
    // Only while stopped (raises std::logic_error otherwise).
    void SetScenario(Scenario AScenario);

    // Commands executed so far, and a bounded wait for a number of them.
    size_t CommandsHandled() const;
    bool WaitForCommands(size_t ACount, int ATimeoutMs) const;

private:
    void Start(std::unique_ptr<Channel> AChannel);

    void Wake();

    Profile fProfile;
    PinPadModel fModel;
    Cardholder fCardholder;
    Cardholder fLive;
    mutable std::mutex fHookMutex; // guards fByteTap and fOnChange
    std::function<void(bool, const ByteString&)> fByteTap;
    std::function<void()> fOnChange;
    FaultPlan fFaults;
    Scenario fScenario;
    std::function<void(const std::string&)> fTrace;
    std::atomic<unsigned> fBaud{0};
    std::unique_ptr<Channel> fChannel;
    std::unique_ptr<PacedChannel> fPaced;
    std::unique_ptr<Simulator> fSimulator;
    std::atomic<bool> fStop{false};
    mutable std::mutex fWakeMutex; // guards fWakeTarget against Stop
    Channel* fWakeTarget = nullptr;
    std::thread fThread;
};

} // namespace kestrel::sim
