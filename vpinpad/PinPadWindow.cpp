#include "vpinpad/PinPadWindow.h"
#include "util/HostPort.h"
#include "vpinpad/CardPanel.h"
#include "vpinpad/FaultMenu.h"
#include "vpinpad/MediaPane.h"
#include "vpinpad/PinPadDisplay.h"
#include "vpinpad/PinPadKeypad.h"
#include "vpinpad/ScenarioMenu.h"
#include "vpinpad/SimulatorBridge.h"
#include "vpinpad/TracePane.h"
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <stdexcept>

namespace kestrel::vpinpad {

namespace {

// The media memory is read again at most this often while the PIN pad is busy.
constexpr int kMediaRefreshMs = 250;

// "[HOST:]PORT", host 127.0.0.1 when absent. No host or port holds a space, so spaces typed
// around either are dropped.
std::pair<QString, uint16_t> HostPort(const QString& AText) {
    try {
        const vexo::THostPort parsed = vexo::ParseHostPort(
            QString(AText).remove(QLatin1Char(' ')).toStdString(), {"127.0.0.1", true, 0});
        return {QString::fromStdString(parsed.Host), parsed.Port};
    } catch (const vexo::EHostPortError& e) {
        throw std::runtime_error(std::string("the TCP port is [HOST:]PORT, PORT from 0 to 65535 (") +
                                 e.what() + ")");
    }
}

} // namespace

TPinPadWindow::TPinPadWindow(const TPinPadOptions& AOptions, QWidget* AParent) : QMainWindow(AParent) {
    setObjectName(QStringLiteral("frPinPad"));
    setWindowTitle(tr("Kestrel virtual PIN pad"));
    const sim::Profile profile = sim::Profile::Load(AOptions.Profile.toStdString());
    fBridge = std::make_unique<TSimulatorBridge>(profile);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->addWidget(BuildPinPad(), 0, Qt::AlignTop);
    row->addWidget(BuildSide(), 1);
    setCentralWidget(central);
    lbPinPadState = new QLabel(this);
    lbPinPadState->setObjectName(QStringLiteral("lbPinPadState"));
    statusBar()->addWidget(lbPinPadState, 1);
    fScenarios = new TScenarioMenu(this);
    menuBar()->addMenu(fScenarios);
    lbScenario = new QLabel(fScenarios->Loaded(), this);
    lbScenario->setObjectName(QStringLiteral("lbScenario"));
    statusBar()->addPermanentWidget(lbScenario);

    fLink->SetTransport(AOptions.Transport);
    fLink->SetLinkPath(AOptions.Link);
    fLink->SetTcpAddress(AOptions.Tcp);
    fLink->SetProfileName(QString::fromStdString(profile.Name));
    fLink->SetBaud(AOptions.Baud);
    fBridge->Runner().SetBaudRate(AOptions.Baud);
    fDisplay->SetProfile(profile);
    Connect();
    if (AOptions.Start) StartLink();
    Refresh();
}

TPinPadWindow::~TPinPadWindow() = default;

sim::SimulatorRunner& TPinPadWindow::Runner() {
    return fBridge->Runner();
}

QString TPinPadWindow::Address() const {
    return fBridge->Running() ? fAddress : QString();
}

QWidget* TPinPadWindow::BuildPinPad() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* body = new QFrame(column);
    body->setObjectName(QStringLiteral("pnPinPad"));
    body->setStyleSheet(QStringLiteral("#pnPinPad{background:#3a3f47;border-radius:18px;}"
                                       "#pnPinPad QLabel{color:#d8dce2;}"));
    auto* inside = new QVBoxLayout(body);
    inside->setContentsMargins(18, 14, 18, 18);
    inside->setSpacing(10);
    auto* brand = new QLabel(tr("KESTREL"), body);
    brand->setAlignment(Qt::AlignCenter);
    brand->setStyleSheet(QStringLiteral("font-weight:bold;letter-spacing:4px;"));
    inside->addWidget(brand);
    fDisplay = new TPinPadDisplay(body);
    inside->addWidget(fDisplay, 0, Qt::AlignHCenter);
    fKeypad = new TPinPadKeypad(body);
    inside->addWidget(fKeypad);
    layout->addWidget(body);
    fCard = new TCardPanel(column);
    layout->addWidget(fCard);
    layout->addStretch(1);
    return column;
}

QWidget* TPinPadWindow::BuildSide() {
    auto* side = new QWidget(this);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    fLink = new TLinkPanel(side);
    layout->addWidget(fLink);
    fTabs = new QTabWidget(side);
    fTabs->setObjectName(QStringLiteral("pgcSide"));
    fTrace = new TTracePane(fTabs);
    fMedia = new TMediaPane(fTabs);
    fFaults = new TFaultMenu(fTabs);
    fTabs->addTab(fTrace, tr("Trace"));
    fTabs->addTab(fMedia, tr("Media"));
    fTabs->addTab(fFaults, tr("Faults"));
    layout->addWidget(fTabs, 1);
    return side;
}

void TPinPadWindow::Connect() {
    connect(fBridge.get(), &TSimulatorBridge::Changed, this, &TPinPadWindow::Refresh);
    connect(fBridge.get(), &TSimulatorBridge::ChunksArrived, this,
            [this] { fTrace->Feed(fBridge->TakeChunks()); });
    connect(fKeypad, &TPinPadKeypad::Pressed, this, [this](sim::Key AKey) { Runner().Press(AKey); });
    connect(fCard, &TCardPanel::Acted, this,
            [this](const sim::CardholderAction& AAction) { Runner().Act(AAction); });
    connect(fFaults, &TFaultMenu::Added, this,
            [this](const sim::FaultRule& ARule) { Runner().AddFault(ARule); });
    connect(fFaults, &TFaultMenu::Cleared, this, [this] { Runner().ClearFaults(); });
    connect(fScenarios, &TScenarioMenu::Chosen, this, &TPinPadWindow::ChooseScenario);
    connect(fLink, &TLinkPanel::StartRequested, this, &TPinPadWindow::StartLink);
    connect(fLink, &TLinkPanel::StopRequested, this, &TPinPadWindow::StopLink);
    connect(fLink, &TLinkPanel::ProfileChosen, this, &TPinPadWindow::ChooseProfile);
    connect(fLink, &TLinkPanel::BaudChosen, this, [this](unsigned ABaud) { Runner().SetBaudRate(ABaud); });
    fMediaTimer = new QTimer(this);
    fMediaTimer->setSingleShot(true);
    fMediaTimer->setInterval(kMediaRefreshMs);
    connect(fMediaTimer, &QTimer::timeout, this, &TPinPadWindow::RefreshMedia);
}

bool TPinPadWindow::StartLink() {
    if (fBridge->Running()) return true;
    try {
        if (fLink->Transport() == TLinkPanel::trTcp) {
            const auto [host, port] = HostPort(fLink->TcpAddress());
            fAddress = fBridge->StartTcp(host, port);
        } else {
            fAddress = fBridge->StartPty(fLink->LinkPath());
        }
    } catch (const std::exception& E) {
        fLink->ShowRunning(false, QString(), tr("Cannot start: %1").arg(QString::fromStdString(E.what())));
        return false;
    }
    fTrace->NewLink(tr("serving at %1").arg(fAddress));
    fLink->ShowRunning(true, fAddress);
    Refresh();
    return true;
}

void TPinPadWindow::StopLink() {
    fBridge->Stop();
    fLink->ShowRunning(false, QString());
    Refresh();
}

void TPinPadWindow::ChooseProfile(const QString& AName) {
    sim::Profile profile;
    try {
        profile = sim::Profile::Load(AName.toStdString());
    } catch (const std::exception& E) {
        fLink->ShowRunning(fBridge->Running(), fAddress,
                           tr("Cannot load the profile: %1").arg(QString::fromStdString(E.what())));
        return;
    }
    // A different PIN pad is a fresh one: it comes up on the same port, with nothing in memory.
    const bool wasRunning = fBridge->Running();
    fBridge->SetProfile(profile);
    fDisplay->SetProfile(profile);
    fLink->ShowRunning(false, QString());
    if (wasRunning) StartLink();
    RefreshMedia();
}

void TPinPadWindow::ChooseScenario(const sim::Scenario& AScenario) {
    // The simulator takes a scenario only while it is stopped: the PIN pad keeps its state and comes
    // back on its link (a bare pseudo-terminal gets a new path, shown on the link panel).
    const bool wasRunning = fBridge->Running();
    if (wasRunning) fBridge->Stop();
    Runner().SetScenario(AScenario);
    lbScenario->setText(fScenarios->Loaded());
    fTrace->NewLink(fScenarios->Loaded());
    if (wasRunning) StartLink();
}

void TPinPadWindow::Refresh() {
    const sim::SimulatorRunner& runner = Runner();
    // A line that dropped ("hangup" fault) comes back on a new pseudo-terminal; a link follows it by
    // itself, a bare path has to be shown anew.
    if (runner.Running() && fLink->Transport() == TLinkPanel::trPty && fLink->LinkPath().isEmpty()) {
        const QString now = QString::fromStdString(runner.Address());
        if (!now.isEmpty() && now != fAddress) {
            fAddress = now;
            fLink->ShowRunning(true, fAddress);
        }
    }
    sim::VirtualDisplay screen = runner.Display();
    // A PIN pad that was stopped is switched off: its last screen is not left up as if it were live.
    if (!runner.Running()) {
        screen.Clear(screen.Rows);
        screen.Busy.clear();
    }
    vexo::ByteString picture;
    if (!screen.Picture.empty())
        if (const auto file = runner.Media(screen.Picture)) picture = file->Data;
    fDisplay->Show(screen, picture);
    fCard->ShowCardInserted(runner.CardInserted());

    QStringList state;
    state << (runner.Running() ? tr("at %1").arg(fAddress) : tr("stopped"));
    state << (runner.SessionOpen() ? tr("session open") : tr("no session"));
    const QString waiting = QString::fromStdString(runner.WaitingFor());
    if (!waiting.isEmpty()) state << tr("%1 waits for the cardholder").arg(waiting);
    state << QString::fromStdString(screen.Summary());
    lbPinPadState->setText(state.join(QStringLiteral(" \u00B7 ")));
    if (!fMediaTimer->isActive()) fMediaTimer->start();
}

void TPinPadWindow::RefreshMedia() {
    std::vector<sim::MediaFile> files;
    QString signature;
    for (const auto& name : Runner().MediaNames())
        if (auto file = Runner().Media(name)) {
            signature += QStringLiteral("%1/%2/%3/%4;")
                             .arg(QString::fromStdString(file->Name))
                             .arg(file->Data.size())
                             .arg(file->Type)
                             .arg(qHash(QByteArray::fromStdString(file->Data)));
            files.push_back(std::move(*file));
        }
    const uint64_t memory = Runner().GetProfile().MediaMemory;
    signature += QString::number(memory);
    if (signature == fMediaSignature) return;
    fMediaSignature = signature;
    fMedia->Show(files, memory);
}

} // namespace kestrel::vpinpad
