#pragma once
// The simulated PIN pad seen from the GUI thread: its callbacks, which come on the simulator's own
// thread, arrive here as queued signals, so no widget is ever touched from that thread and the
// simulator never waits for a repaint.
#include "sim/SimulatorRunner.h"
#include "util/Types.h"
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrel::vpinpad {

// A chunk of bytes that crossed the link, stamped when the simulator saw it.
struct TLinkChunk {
    bool FromHost = false;
    vexo::ByteString Bytes;
    std::chrono::system_clock::time_point At;
};

// Owns the simulator runner. Changes are coalesced: however many the simulator reports between two
// turns of the event loop, Changed fires once, and the receiver reads the state as it is then.
class TSimulatorBridge : public QObject {
    Q_OBJECT

public:
    explicit TSimulatorBridge(sim::Profile AProfile, QObject* AParent = nullptr);
    ~TSimulatorBridge() override;

    sim::SimulatorRunner& Runner() { return *fRunner; }
    const sim::SimulatorRunner& Runner() const { return *fRunner; }

    // Starts on a new pseudo-terminal (ALink, when not empty, becomes a symbolic link to it) or on a
    // TCP port; raises std::runtime_error when it cannot. Returns the name a host opens.
    QString StartPty(const QString& ALink);
    QString StartTcp(const QString& AHost, uint16_t APort);
    void Stop();
    bool Running() const { return fRunner->Running(); }
    // Another PIN pad, freshly powered up; a running simulator stops first and the caller starts it
    // again.
    void SetProfile(sim::Profile AProfile);

    // The chunks that arrived since the last call, in order.
    std::vector<TLinkChunk> TakeChunks();

signals:
    void Changed();
    void ChunksArrived();

private:
    void Hook();
    void PostChange();
    void PostChunk(bool AFromHost, const vexo::ByteString& ABytes);

    std::unique_ptr<sim::SimulatorRunner> fRunner;
    std::atomic<bool> fChangePosted{false};
    std::mutex fChunkMutex;
    std::vector<TLinkChunk> fChunks;
    bool fChunksPosted = false;
};

} // namespace kestrel::vpinpad
