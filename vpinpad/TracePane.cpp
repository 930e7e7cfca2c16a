#include "vpinpad/TracePane.h"
#include "trace/TraceText.h"
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrel::vpinpad {

namespace {
// How often silences are looked for: an ACK or a response that does not come shows as a timeout.
constexpr int kTickMs = 500;
} // namespace

TTracePane::TTracePane(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("pnTrace"));
    auto* column = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    cbShowCardData = new QCheckBox(tr("show card data"), this);
    cbShowCardData->setObjectName(QStringLiteral("cbShowCardData"));
    cbShowBytes = new QCheckBox(tr("bytes"), this);
    cbShowBytes->setObjectName(QStringLiteral("cbShowBytes"));
    auto* save = new QPushButton(tr("Save..."), this);
    save->setObjectName(QStringLiteral("btSaveTrace"));
    auto* clear = new QPushButton(tr("Clear"), this);
    clear->setObjectName(QStringLiteral("btClearTrace"));
    bar->addWidget(cbShowCardData);
    bar->addWidget(cbShowBytes);
    bar->addStretch(1);
    bar->addWidget(save);
    bar->addWidget(clear);
    column->addLayout(bar);
    mTrace = new QPlainTextEdit(this);
    mTrace->setObjectName(QStringLiteral("mTrace"));
    mTrace->setReadOnly(true);
    mTrace->setLineWrapMode(QPlainTextEdit::NoWrap);
    mTrace->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(mTrace, 1);
    lbTraceStats = new QLabel(this);
    lbTraceStats->setObjectName(QStringLiteral("lbTraceStats"));
    lbTraceStats->setWordWrap(true);
    column->addWidget(lbTraceStats);

    connect(cbShowCardData, &QCheckBox::toggled, this, &TTracePane::Rerender);
    connect(cbShowBytes, &QCheckBox::toggled, this, &TTracePane::Rerender);
    connect(clear, &QPushButton::clicked, this, [this] {
        fEvents.clear();
        fNotes.clear();
        fNoteAt.clear();
        Rerender();
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = fChooser ? fChooser()
                                      : QFileDialog::getSaveFileName(this, tr("Save the trace"),
                                                                     QStringLiteral("kestrel-pinpad.trace"),
                                                                     tr("Trace files (*.trace *.txt)"));
        if (!path.isEmpty() && SaveTo(path)) lbTraceStats->setText(tr("Trace saved to %1").arg(path));
    });
    QScrollBar* vertical = mTrace->verticalScrollBar();
    connect(vertical, &QScrollBar::valueChanged, this, [this, vertical](int AValue) {
        if (!fScrolling) fFollow = AValue >= vertical->maximum();
    });
    // The range grows after the text is laid out, and shrinks the view when a long line brings the
    // horizontal scroll bar: a view that follows stays at the end through both.
    connect(vertical, &QScrollBar::rangeChanged, this, [this, vertical](int, int AMaximum) {
        if (!fFollow) return;
        fScrolling = true;
        vertical->setValue(AMaximum);
        fScrolling = false;
    });
    fTicker = new QTimer(this);
    fTicker->setInterval(kTickMs);
    connect(fTicker, &QTimer::timeout, this, &TTracePane::Tick);
    fTicker->start();
    ShowStats();
}

void TTracePane::Feed(const std::vector<TLinkChunk>& AChunks) {
    std::vector<trace::TraceEvent> events;
    for (const auto& chunk : AChunks)
        fTracker.Feed(chunk.FromHost ? trace::Direction::HostToPinPad : trace::Direction::PinPadToHost,
                      chunk.Bytes, chunk.At, events);
    Append(events);
}

void TTracePane::Tick() {
    std::vector<trace::TraceEvent> events;
    fTracker.Tick(trace::TraceClock::now(), events);
    Append(events);
}

void TTracePane::NewLink(const QString& ANote) {
    std::vector<trace::TraceEvent> events;
    fTracker.Flush(trace::TraceClock::now(), events);
    Append(events);
    fTracker = trace::LinkTracker();
    fNotes.push_back(QStringLiteral("-- ") + ANote);
    fNoteAt.push_back(fEvents.size());
    fLines << fNotes.back();
    QScrollBar* bar = mTrace->verticalScrollBar();
    const int kept = bar->value();
    fScrolling = true;
    mTrace->appendPlainText(fNotes.back());
    bar->setValue(fFollow ? bar->maximum() : kept);
    fScrolling = false;
}

void TTracePane::Append(const std::vector<trace::TraceEvent>& AEvents) {
    if (AEvents.empty()) return;
    const trace::TraceTextOptions options{!cbShowCardData->isChecked(), cbShowBytes->isChecked()};
    QStringList added;
    for (const auto& event : AEvents) {
        fEvents.push_back(event);
        for (const auto& line : trace::FormatEvent(event, options))
            added << QString::fromStdString(line);
    }
    fLines << added;
    // A user who scrolled back to read stays where they are.
    QScrollBar* bar = mTrace->verticalScrollBar();
    const int kept = bar->value();
    fScrolling = true;
    mTrace->appendPlainText(added.join(QLatin1Char('\n')));
    bar->setValue(fFollow ? bar->maximum() : kept);
    fScrolling = false;
    ShowStats();
}

void TTracePane::Rerender() {
    const trace::TraceTextOptions options{!cbShowCardData->isChecked(), cbShowBytes->isChecked()};
    fLines.clear();
    size_t note = 0;
    for (size_t i = 0; i <= fEvents.size(); ++i) {
        for (; note < fNoteAt.size() && fNoteAt[note] == i; ++note)
            fLines << fNotes[note];
        if (i == fEvents.size()) break;
        for (const auto& line : trace::FormatEvent(fEvents[i], options))
            fLines << QString::fromStdString(line);
    }
    fFollow = true;
    fScrolling = true;
    mTrace->setPlainText(fLines.join(QLatin1Char('\n')));
    mTrace->verticalScrollBar()->setValue(mTrace->verticalScrollBar()->maximum());
    fScrolling = false;
    ShowStats();
}

void TTracePane::ShowStats() {
    const auto lines = trace::FormatStats(fTracker.Stats());
    lbTraceStats->setText(lines.empty() ? QString() : QString::fromStdString(lines[0] + "; " + lines[1]));
    QStringList all;
    for (const auto& line : lines)
        all << QString::fromStdString(line);
    lbTraceStats->setToolTip(all.join(QLatin1Char('\n')));
}

bool TTracePane::SaveTo(const QString& APath) {
    QFile file(APath);
    QByteArray text = fLines.join(QLatin1Char('\n')).toUtf8();
    text += '\n';
    for (const auto& line : trace::FormatStats(fTracker.Stats()))
        text += QByteArray::fromStdString("# " + line + "\n");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() ||
        !file.flush()) {
        lbTraceStats->setText(tr("Cannot save the trace to %1: %2").arg(APath, file.errorString()));
        return false;
    }
    return true;
}

} // namespace kestrel::vpinpad
