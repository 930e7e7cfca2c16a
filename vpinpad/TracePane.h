#pragma once
// The frame trace: every frame both ways taken apart by the shared decoder (command, blocks, named
// items, return code and its text; ACK, NAK, CAN, EOT), card data masked unless the user asks for it.
#include "trace/LinkTracker.h"
#include "vpinpad/SimulatorBridge.h"
#include <QWidget>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTimer;

namespace kestrel::vpinpad {

class TTracePane : public QWidget {
    Q_OBJECT

public:
    explicit TTracePane(QWidget* AParent = nullptr);

    void Feed(const std::vector<TLinkChunk>& AChunks);
    // A new link: what was traced stays, the pairing of commands and responses starts afresh.
    void NewLink(const QString& ANote);
    // The trace as shown now, one line each.
    QStringList Lines() const { return fLines; }
    // Writes the trace to a file; false (and the reason in Problem) when it cannot.
    bool SaveTo(const QString& APath);
    const trace::TraceStats& Stats() const { return fTracker.Stats(); }

    // The file the user saves to (empty: cancelled); tests name the file instead of a dialog.
    using TFileChooser = std::function<QString()>;
    void SetSaveChooser(TFileChooser AChooser) { fChooser = std::move(AChooser); }

private:
    void Append(const std::vector<trace::TraceEvent>& AEvents);
    void Rerender();
    void Tick();
    void ShowStats();

    trace::LinkTracker fTracker;
    std::vector<trace::TraceEvent> fEvents;
    // A line where a new link began, and how many events came before it, so a new rendering keeps it in
    // place.
    std::vector<QString> fNotes;
    std::vector<size_t> fNoteAt;
    QStringList fLines;
    TFileChooser fChooser;

    QPlainTextEdit* mTrace = nullptr;
    QCheckBox* cbShowCardData = nullptr;
    QCheckBox* cbShowBytes = nullptr;
    QLabel* lbTraceStats = nullptr;
    QTimer* fTicker = nullptr;
    // The view follows the newest frame until the user scrolls up, and again once they scroll back
    // down; moves made here are not the user's.
    bool fFollow = true;
    bool fScrolling = false;
};

} // namespace kestrel::vpinpad
