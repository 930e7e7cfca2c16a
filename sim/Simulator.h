#pragma once
#include "sim/Cardholder.h"
#include "sim/Channel.h"
#include "sim/Faults.h"
#include "sim/PinPadModel.h"
#include "sim/Scenario.h"
#include "trace/FrameDecoder.h"
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace kestrel::sim {

// The device side of the ABECS link over one channel: takes command frames (ACK, or NAK for a
// damaged one), runs them on the model, sends the response frame and sends it again on NAK (at
// most three sends in all), answers CAN with EOT, feeds the cardholder's actions to a waiting
// command, and applies the faults of the plan.
class Simulator {
public:
    using TraceFn = std::function<void(const std::string&)>;
    using ByteTapFn = std::function<void(bool AFromHost, const ByteString& ABytes)>;

    Simulator(Channel& AChannel, PinPadModel& AModel, Cardholder& ACardholder, FaultPlan& AFaults);

    // Called on the simulator thread for every frame and byte both ways, and for what the
    // cardholder does. Set before Run.
    void SetTrace(TraceFn ATrace) { fTrace = std::move(ATrace); }
    // A frame whose next byte is this late is damaged (NAK).
    void SetInterByteTimeout(Millis ATimeout) { fInterByte = ATimeout; }
    // Every chunk read from and written to the channel, in order, on the simulator thread.
    void SetByteTap(ByteTapFn ATap) { fByteTap = std::move(ATap); }
    // Called on the simulator thread after anything a person could see has changed (once when
    // Run starts, too).
    void SetOnChange(std::function<void()> AOnChange) { fOnChange = std::move(AOnChange); }
    // Live cardholder input: taken at once by the command that waits now, dropped when nothing
    // waits. Set before Run.
    void SetLiveInput(Cardholder* ALive) { fLive = ALive; }

    // Rules that answer the commands they match before the model does. Set before Run.
    void SetScenario(Scenario* AScenario) { fScenario = AScenario; }

    // Serves the link until AStop is true; Wake() the channel after setting it.
    void Run(const std::atomic<bool>& AStop);

    // Takes bytes as if they had just arrived, on the caller's thread; answers go to the
    // channel. For fuzzers and tests that drive the link without Run's thread.
    void Receive(const ByteString& ABytes);

    // Commands received in good frames and executed (refused frames do not count).
    size_t CommandsHandled() const;
    // Waits until at least ACount commands were handled; false when the time ran out.
    bool WaitForCommands(size_t ACount, Millis ATimeout) const;

private:
    using Clock = std::chrono::steady_clock;

    void Feed(const ByteString& ABytes);
    void Serve(); // timers: frame gaps, late responses, the cardholder
    void OnUnit(const trace::LinkUnit& AUnit);
    void OnFrame(const ByteString& AFrame);
    void OnBadFrame(const std::string& AWhy, const ByteString& AFrame);
    void EndIncompleteFrame();
    void OnCommand(const ByteString& AData);
    void OnCan();
    void OnNak();
    void ServeCardholder(Clock::time_point ANow);
    void ServeLive();
    bool OfferAction(const CardholderAction& AAction);
    bool Send(std::string_view ABytes);
    void NotifyIfChanged();
    void UpdateProcessing();
    void SendReply(const SimReply& AReply);
    ByteString CutLastTLVShort(const SimReply& AReply, int ABytes) const;
    void Transmit(const ByteString& AData, bool AFirst);
    void WriteRaw(const ByteString& ABytes, const std::string& AWhat);
    void SendByte(unsigned char AByte, const char* AName);
    Clock::time_point NextWake(Clock::time_point ANow) const;
    void Pause(Millis ATime);
    void Trace(const std::string& ALine) const;
    void CountCommand();
    std::optional<ScenarioMatch> PeekScenario(const ByteString& AData);
    std::optional<SimReply> RunScenario(const ScenarioMatch& AMatch, const SimCommand& ACommand);

    Channel& fChannel;
    PinPadModel& fModel;
    Cardholder& fCardholder;
    FaultPlan& fFaults;
    TraceFn fTrace;
    ByteTapFn fByteTap;
    std::function<void()> fOnChange;
    Cardholder* fLive = nullptr;
    Scenario* fScenario = nullptr;
    bool fScenarioFaulted = false; // the matched rule's fault is in the plan for this command's frames
    uint64_t fSeenRevision = ~uint64_t(0);
    Millis fInterByte{500};
    const std::atomic<bool>* fStop = &kNeverStop;
    static inline const std::atomic<bool> kNeverStop{false};

    trace::FrameDecoder fDecoder;
    Clock::time_point fLastRx{};

    ActiveFaults fCurrent;           // faults of the command being served
    std::optional<ByteString> fLast; // data field of the last response, for resends
    int fSends = 0;
    // Late responses, in the order they fall due. A new command does not call them off: an
    // answer that comes after the host gave up is the point of the fault.
    std::deque<std::pair<Clock::time_point, ByteString>> fScheduled;
    // The response of the command the PIN pad is still working on (the profile's answer delay).
    // Unlike a late response it goes with its command: CAN or a new command call it off.
    struct Answering {
        Clock::time_point Due;
        SimReply Reply;
    };
    std::optional<Answering> fAnswering;
    // The EOT of a PIN pad that confirms CAN late, on purpose.
    std::optional<Clock::time_point> fEotDue;
    static constexpr Millis kLateEot{3000};
    static constexpr Millis kAnswerAfterEot{1500};
    std::optional<Clock::time_point> fDelayUntil; // the cardholder is taking their time
    bool fWalkedAway = false;

    mutable std::mutex fCountMutex;
    mutable std::condition_variable fCountChanged;
    size_t fHandled = 0;
};

} // namespace kestrel::sim
