#include "vpinpad/SimulatorBridge.h"
#include "util/HostPort.h"
#include <QMetaObject>

namespace kestrel::vpinpad {

TSimulatorBridge::TSimulatorBridge(sim::Profile AProfile, QObject* AParent)
    : QObject(AParent), fRunner(std::make_unique<sim::SimulatorRunner>(std::move(AProfile))) {
    Hook();
}

TSimulatorBridge::~TSimulatorBridge() {
    // The thread goes first: after the join no callback can be on its way to this object.
    fRunner->Stop();
    fRunner->SetOnChange(nullptr);
    fRunner->SetByteTap(nullptr);
}

void TSimulatorBridge::Hook() {
    fRunner->SetOnChange([this] { PostChange(); });
    fRunner->SetByteTap(
        [this](bool AFromHost, const vexo::ByteString& ABytes) { PostChunk(AFromHost, ABytes); });
}

void TSimulatorBridge::PostChange() {
    if (fChangePosted.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            fChangePosted = false;
            emit Changed();
        },
        Qt::QueuedConnection);
}

void TSimulatorBridge::PostChunk(bool AFromHost, const vexo::ByteString& ABytes) {
    {
        std::lock_guard lock(fChunkMutex);
        fChunks.push_back({AFromHost, ABytes, std::chrono::system_clock::now()});
        if (fChunksPosted) return;
        fChunksPosted = true;
    }
    QMetaObject::invokeMethod(
        this, [this] { emit ChunksArrived(); }, Qt::QueuedConnection);
}

std::vector<TLinkChunk> TSimulatorBridge::TakeChunks() {
    std::lock_guard lock(fChunkMutex);
    fChunksPosted = false;
    return std::exchange(fChunks, {});
}

QString TSimulatorBridge::StartPty(const QString& ALink) {
    const std::string path = fRunner->StartPty(ALink.toStdString());
    return ALink.isEmpty() ? QString::fromStdString(path) : ALink;
}

QString TSimulatorBridge::StartTcp(const QString& AHost, uint16_t APort) {
    const uint16_t port = fRunner->StartTcp(AHost.toStdString(), APort);
    return QStringLiteral("TCP:") + QString::fromStdString(vexo::FormatHostPort(AHost.toStdString(), port));
}

void TSimulatorBridge::Stop() {
    fRunner->Stop();
    PostChange();
}

void TSimulatorBridge::SetProfile(sim::Profile AProfile) {
    fRunner->Stop();
    fRunner->SetProfile(std::move(AProfile));
    PostChange();
}

} // namespace kestrel::vpinpad
