// The model's core: power-up, the command table, the waiting command and the snapshots. The
// commands themselves live in PinPadModelSession, Display, Ask, Events and Media, the cardholder's
// actions in PinPadModelCardholder.
#include "sim/PinPadModel.h"
#include "pinpad/VexoAbecsCommandLimits.h"
#include "pinpad/VexoAbecsTables.h"
#include <algorithm>

namespace kestrel::sim {

using namespace vexo;

const PinPadModel::CommandEntry PinPadModel::kCommands[] = {
    {"OPN", &PinPadModel::OPN, false}, {"CLO", &PinPadModel::CLO, false}, {"CLX", &PinPadModel::CLX, false},
    {"GIN", &PinPadModel::GIN, false}, {"GIX", &PinPadModel::GIX, false}, {"DSP", &PinPadModel::DSP, false},
    {"DEX", &PinPadModel::DEX, false}, {"RMC", &PinPadModel::RMC, false}, {"GKY", &PinPadModel::GKY, false},
    {"GCD", &PinPadModel::GCD, false}, {"MNU", &PinPadModel::MNU, false}, {"CEX", &PinPadModel::CEX, false},
    {"LMF", &PinPadModel::LMF, true},  {"DSI", &PinPadModel::DSI, true},  {"DMF", &PinPadModel::DMF, true},
    {"MLI", &PinPadModel::MLI, true},  {"MLR", &PinPadModel::MLR, true},  {"MLE", &PinPadModel::MLE, true},
};

PinPadModel::PinPadModel(Profile AProfile) : fProfile(std::move(AProfile)), fRandom(std::random_device{}()) {
    fDisplay.Rows = fProfile.TextRows;
    fDisplay.Cols = fProfile.TextCols;
    fDisplay.Clear(fProfile.TextRows);
}

void PinPadModel::Reset(Profile AProfile) {
    std::lock_guard lock(fMutex);
    fProfile = std::move(AProfile);
    fDisplay = VirtualDisplay{};
    fDisplay.Rows = fProfile.TextRows;
    fDisplay.Cols = fProfile.TextCols;
    fDisplay.Clear(fProfile.TextRows);
    fMedia.Clear();
    fSession = false;
    fCardInserted = false;
    fWait.reset();
    Touch();
}

// An error response is the name and the status, nothing more.
PinPadModel::Answer PinPadModel::Bare(Answer AReply) {
    if (AReply && AReply->Status != ST_OK) AReply->Blocks.clear();
    return AReply;
}

std::optional<SimReply> PinPadModel::Execute(const SimCommand& ACommand) {
    std::lock_guard lock(fMutex);
    fWait.reset();
    Touch();
    return Bare(Run(ACommand.Name, ACommand));
}

int PinPadModel::AnswerDelay(const SimCommand& ACommand) const {
    std::lock_guard lock(fMutex);
    bool everyItem = false;
    if (ACommand.Name == "GIX") {
        CommandParams params;
        everyItem = !params.Read(ACommand) || !params.Find(SPE_IDLIST);
    }
    return fProfile.AnswerDelay(ACommand.Name, everyItem);
}

PinPadModel::Answer PinPadModel::Run(const std::string& AName, const SimCommand& ACommand) {
    for (const auto& entry : kCommands) {
        if (AName != entry.Name) continue;
        if (entry.Media && !fProfile.HasMedia()) break;
        if (!fSession && !fProfile.OpenCommands.count(AName)) {
            if (fProfile.StrictSession) return SimReply(AName, ST_INVCALL);
            fSession = true; // ABECS 2.03 on: a command before OPN opens the session itself
        }
        return (this->*entry.Run)(ACommand);
    }
    return SimReply("ERR", ST_INVCALL);
}

void PinPadModel::ShowLines(const std::vector<std::string>& ALines) {
    std::lock_guard lock(fMutex);
    ShowText(ALines);
}

bool PinPadModel::ShowMedia(const std::string& AName) {
    std::lock_guard lock(fMutex);
    const MediaFile* file = fMedia.Find(AName);
    if (!file) return false;
    ShowPicture(*file);
    return true;
}

void PinPadModel::HoldFor(const std::string& AName, const CardholderAction& AAction, SimReply AReply) {
    std::lock_guard lock(fMutex);
    StartWait(AName, 0);
    fWait->Hold.emplace(AAction, std::move(AReply));
}

// --- the waiting command -------------------------------------------------------------------

void PinPadModel::StartWait(const std::string& AName, int ATimeoutSeconds) {
    fWait = Wait{};
    fWait->Name = AName;
    if (ATimeoutSeconds > 0) fWait->Deadline = After(ATimeoutSeconds);
    Touch();
}

PinPadModel::Clock::time_point PinPadModel::After(int ASeconds) const {
    const auto span = std::chrono::duration<double>(ASeconds * fTimeScale);
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(span);
}

bool PinPadModel::Waiting() const {
    std::lock_guard lock(fMutex);
    return fWait.has_value();
}

std::string PinPadModel::WaitingFor() const {
    std::lock_guard lock(fMutex);
    return fWait ? fWait->Name : std::string();
}

std::optional<PinPadModel::Clock::time_point> PinPadModel::Deadline() const {
    std::lock_guard lock(fMutex);
    if (!fWait) return std::nullopt;
    if (fWait->Deadline && fWait->CtlsDeadline) return std::min(*fWait->Deadline, *fWait->CtlsDeadline);
    return fWait->Deadline ? fWait->Deadline : fWait->CtlsDeadline;
}

SimReply PinPadModel::Expire() {
    std::lock_guard lock(fMutex);
    const std::string name = fWait ? fWait->Name : "ERR";
    // The contactless reader gives up on its own: nothing was presented, which is an event.
    const bool ctls =
        fWait && fWait->CtlsDeadline && (!fWait->Deadline || *fWait->CtlsDeadline <= *fWait->Deadline);
    fWait.reset();
    Touch();
    if (ctls) return SimReply(name, ST_OK).AddTLV(PP_EVENT, ByteString(kCexEventNoContactless));
    return {name, ST_TIMEOUT};
}

void PinPadModel::Abandon() {
    std::lock_guard lock(fMutex);
    if (fWait) Touch();
    fWait.reset();
}

// --- snapshots -----------------------------------------------------------------------------

void PinPadModel::SetProcessing(const std::string& ACommand) {
    std::lock_guard lock(fMutex);
    if (fDisplay.Busy == ACommand) return;
    fDisplay.Busy = ACommand;
    Touch();
}

uint64_t PinPadModel::Revision() const {
    std::lock_guard lock(fMutex);
    return fRevision;
}

void PinPadModel::SetTimeScale(double AScale) {
    std::lock_guard lock(fMutex);
    fTimeScale = AScale > 0 ? AScale : 1.0;
}

double PinPadModel::TimeScale() const {
    std::lock_guard lock(fMutex);
    return fTimeScale;
}

Profile PinPadModel::GetProfile() const {
    std::lock_guard lock(fMutex);
    return fProfile;
}

Profile::RuleBreaks PinPadModel::Breaks() const {
    std::lock_guard lock(fMutex);
    return fProfile.Breaks;
}

VirtualDisplay PinPadModel::Display() const {
    std::lock_guard lock(fMutex);
    VirtualDisplay display = fDisplay;
    display.What = display.Busy.empty() ? display.Beneath : VirtualDisplay::Mode::Processing;
    return display;
}

std::vector<std::string> PinPadModel::MediaNames() const {
    std::lock_guard lock(fMutex);
    std::vector<std::string> names;
    for (const auto& file : fMedia.Files())
        names.push_back(file.Name);
    return names;
}

std::optional<MediaFile> PinPadModel::Media(const std::string& AName) const {
    std::lock_guard lock(fMutex);
    const MediaFile* file = fMedia.Find(AName);
    return file ? std::optional<MediaFile>(*file) : std::nullopt;
}

bool PinPadModel::SessionOpen() const {
    std::lock_guard lock(fMutex);
    return fSession;
}

bool PinPadModel::CardInserted() const {
    std::lock_guard lock(fMutex);
    return fCardInserted;
}

} // namespace kestrel::sim
