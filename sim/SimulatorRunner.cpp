#include "sim/SimulatorRunner.h"
#include "sim/PacedChannel.h"
#include "sim/PtyChannel.h"
#include "sim/Simulator.h"
#include "sim/TcpChannel.h"
#include <stdexcept>

namespace kestrel::sim {

SimulatorRunner::SimulatorRunner(Profile AProfile) : fProfile(AProfile), fModel(std::move(AProfile)) {
    fCardholder.SetOnPush([this] { Wake(); });
    fLive.SetOnPush([this] { Wake(); });
}

SimulatorRunner::~SimulatorRunner() {
    Stop();
    fCardholder.SetOnPush(nullptr);
    fLive.SetOnPush(nullptr);
}

void SimulatorRunner::Wake() {
    std::lock_guard lock(fWakeMutex);
    if (fWakeTarget) fWakeTarget->Wake();
}

void SimulatorRunner::SetScenario(Scenario AScenario) {
    if (Running()) throw std::logic_error("stop the simulator before giving it another scenario");
    fScenario = AScenario;
}

void SimulatorRunner::SetProfile(Profile AProfile) {
    if (Running()) throw std::logic_error("stop the simulator before giving it another profile");
    fProfile = AProfile;
    fModel.Reset(std::move(AProfile));
    fLive.Clear();
}

void SimulatorRunner::Act(const CardholderAction& AAction) {
    fLive.Push(AAction);
}

size_t SimulatorRunner::LiveLeft() const {
    return fLive.Size();
}

void SimulatorRunner::SetByteTap(std::function<void(bool, const ByteString&)> ATap) {
    std::lock_guard lock(fHookMutex);
    fByteTap = std::move(ATap);
}

void SimulatorRunner::SetOnChange(std::function<void()> AOnChange) {
    std::lock_guard lock(fHookMutex);
    fOnChange = std::move(AOnChange);
}

std::string SimulatorRunner::StartPty(const std::string& ALinkPath) {
    auto channel = std::make_unique<PtyChannel>(ALinkPath);
    const std::string path = channel->SlavePath();
    Start(std::move(channel));
    return path;
}

uint16_t SimulatorRunner::StartTcp(const std::string& AHost, uint16_t APort) {
    auto channel = std::make_unique<TcpChannel>(AHost, APort);
    const uint16_t port = channel->Port();
    Start(std::move(channel));
    return port;
}

MemoryChannel::HostEnd SimulatorRunner::StartInProcess() {
    auto channel = std::make_unique<MemoryChannel>();
    auto host = channel->Host();
    Start(std::move(channel));
    return host;
}

void SimulatorRunner::Start(std::unique_ptr<Channel> AChannel) {
    if (Running()) throw std::runtime_error("the simulator is already running");
    fChannel = std::move(AChannel);
    fPaced = std::make_unique<PacedChannel>(*fChannel, fBaud);
    fSimulator = std::make_unique<Simulator>(*fPaced, fModel, fCardholder, fFaults);
    fSimulator->SetTrace(fTrace);
    fSimulator->SetLiveInput(&fLive);
    fSimulator->SetScenario(&fScenario);
    // The hooks may change while the thread runs: each call takes the one set at that moment.
    fSimulator->SetByteTap([this](bool AFromHost, const ByteString& ABytes) {
        std::function<void(bool, const ByteString&)> tap;
        {
            std::lock_guard lock(fHookMutex);
            tap = fByteTap;
        }
        if (tap) tap(AFromHost, ABytes);
    });
    fSimulator->SetOnChange([this] {
        std::function<void()> onChange;
        {
            std::lock_guard lock(fHookMutex);
            onChange = fOnChange;
        }
        if (onChange) onChange();
    });
    // Input pressed while no PIN pad ran found nothing waiting.
    fLive.Clear();
    fStop = false;
    {
        std::lock_guard lock(fWakeMutex);
        fWakeTarget = fPaced.get();
    }
    fThread = std::thread([this] { fSimulator->Run(fStop); });
}

void SimulatorRunner::Stop() {
    if (!fThread.joinable()) return;
    fStop = true;
    {
        std::lock_guard lock(fWakeMutex);
        if (fWakeTarget) fWakeTarget->Wake();
        fWakeTarget = nullptr;
    }
    fPaced->Wake();
    fThread.join();
    // The simulator stays for its counters; the channel goes, which removes a pty link.
    fPaced.reset();
    fChannel.reset();
}

std::string SimulatorRunner::Address() const {
    return fChannel ? fChannel->Describe() : std::string();
}

void SimulatorRunner::Push(const CardholderAction& AAction) {
    fCardholder.Push(AAction);
}

void SimulatorRunner::LoadScript(const std::string& AText) {
    for (const auto& action : Cardholder::ParseScript(AText))
        fCardholder.Push(action);
}

void SimulatorRunner::ClearScript() {
    fCardholder.Clear();
}

size_t SimulatorRunner::ScriptLeft() const {
    return fCardholder.Size();
}

void SimulatorRunner::SetTimeScale(double AScale) {
    fModel.SetTimeScale(AScale);
}

void SimulatorRunner::AddFault(const FaultRule& ARule) {
    fFaults.Add(ARule);
}

void SimulatorRunner::SetRandomFaults(double AProbability, uint32_t ASeed) {
    fFaults.SetRandom(AProbability, ASeed);
}

void SimulatorRunner::ClearFaults() {
    fFaults.Clear();
}

void SimulatorRunner::SetBaudRate(unsigned ABaud) {
    fBaud = ABaud;
    std::lock_guard lock(fWakeMutex);
    if (fWakeTarget) fPaced->SetBaud(ABaud);
}

void SimulatorRunner::SetTrace(std::function<void(const std::string&)> ATrace) {
    fTrace = std::move(ATrace);
}

VirtualDisplay SimulatorRunner::Display() const {
    return fModel.Display();
}

std::vector<std::string> SimulatorRunner::MediaNames() const {
    return fModel.MediaNames();
}

std::optional<MediaFile> SimulatorRunner::Media(const std::string& AName) const {
    return fModel.Media(AName);
}

bool SimulatorRunner::SessionOpen() const {
    return fModel.SessionOpen();
}

bool SimulatorRunner::CardInserted() const {
    return fModel.CardInserted();
}

std::string SimulatorRunner::WaitingFor() const {
    return fModel.WaitingFor();
}

size_t SimulatorRunner::CommandsHandled() const {
    return fSimulator ? fSimulator->CommandsHandled() : 0;
}

bool SimulatorRunner::WaitForCommands(size_t ACount, int ATimeoutMs) const {
    if (!fSimulator) return ACount == 0;
    return fSimulator->WaitForCommands(ACount, Millis(ATimeoutMs));
}

} // namespace kestrel::sim
