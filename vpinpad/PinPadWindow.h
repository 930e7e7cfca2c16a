#pragma once
// The virtual PIN pad's window: the PIN pad itself (display, keypad, card reader) on the left; its
// link, the frame trace, the media memory and the fault menu on the right. It holds no protocol
// logic: the simulator decides everything, the window shows its state and passes on what the user
// does.
#include "vpinpad/LinkPanel.h"
#include <QMainWindow>
#include <functional>
#include <memory>

class QLabel;
class QTabWidget;
class QTimer;

namespace kestrel::sim {
struct Profile;
class Scenario;
class SimulatorRunner;
} // namespace kestrel::sim

namespace kestrel::vpinpad {

class TCardPanel;
class TFaultMenu;
class TScenarioMenu;
class TMediaPane;
class TPinPadDisplay;
class TPinPadKeypad;
class TSimulatorBridge;
class TTracePane;

struct TPinPadOptions {
    TLinkPanel::TTransport Transport = TLinkPanel::trPty;
    QString Link;                                // pty: symbolic link to make, empty for none
    QString Tcp = QStringLiteral("127.0.0.1:0"); // TCP: [HOST:]PORT
    QString Profile = QStringLiteral("graphic"); // built-in name or profile file
    unsigned Baud = 0;
    bool Start = true; // serve at once
};

class TPinPadWindow : public QMainWindow {
    Q_OBJECT

public:
    // Raises std::runtime_error when the profile cannot be loaded.
    explicit TPinPadWindow(const TPinPadOptions& AOptions, QWidget* AParent = nullptr);
    ~TPinPadWindow() override;

    sim::SimulatorRunner& Runner();
    // Serves on the link the panel describes; false (the reason shown) when it cannot.
    bool StartLink();
    void StopLink();
    // The name a host opens, empty while stopped.
    QString Address() const;

    TPinPadDisplay& Display() { return *fDisplay; }
    TTracePane& Trace() { return *fTrace; }
    TMediaPane& MediaPane() { return *fMedia; }
    TScenarioMenu& ScenarioMenu() { return *fScenarios; }

private:
    QWidget* BuildPinPad();
    QWidget* BuildSide();
    void Connect();
    void Refresh();
    void RefreshMedia();
    void ChooseProfile(const QString& AName);
    void ChooseScenario(const sim::Scenario& AScenario);
    void Guard(const std::function<void()>& AAction);

    std::unique_ptr<TSimulatorBridge> fBridge;
    TPinPadDisplay* fDisplay = nullptr;
    TPinPadKeypad* fKeypad = nullptr;
    TCardPanel* fCard = nullptr;
    TLinkPanel* fLink = nullptr;
    TTracePane* fTrace = nullptr;
    TMediaPane* fMedia = nullptr;
    TFaultMenu* fFaults = nullptr;
    TScenarioMenu* fScenarios = nullptr;
    QTabWidget* fTabs = nullptr;
    QLabel* lbPinPadState = nullptr;
    QLabel* lbScenario = nullptr;
    QTimer* fMediaTimer = nullptr;
    QString fAddress;
    QString fMediaSignature;
};

} // namespace kestrel::vpinpad
