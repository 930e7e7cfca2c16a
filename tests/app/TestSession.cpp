// The window against the simulated PIN pad over pseudo-terminals, with a scripted cardholder.
#include "WindowFixture.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <pty.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::test;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;

namespace {

bool Contains(const std::vector<std::string>& ALines, const std::string& AText) {
    for (const auto& line : ALines)
        if (line.find(AText) != std::string::npos) return true;
    return false;
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> fDir;
    std::unique_ptr<SimulatorRunner> fSim;
    std::unique_ptr<TfrMain> fWindow;

    QString Ini() const { return fDir->filePath(QStringLiteral("kestrel.ini")); }
    TfrMain& W() { return *fWindow; }
    template <class T> T* C(const char* AName) { return Find<T>(fWindow.get(), AName); }
    QString Log() { return C<QPlainTextEdit>("mLog")->toPlainText(); }

    void StartSim(Profile AProfile = Profile::Graphic(), const QString& ALink = QString()) {
        fSim = std::make_unique<SimulatorRunner>(std::move(AProfile));
        fSim->SetTimeScale(0.01);
        fSim->StartPty(ALink.toStdString());
    }

    void Activate(const QString& APort) {
        fWindow = std::make_unique<TfrMain>(Ini());
        fWindow->show();
        C<QComboBox>("cbxPort")->setEditText(APort);
        C<QPushButton>("btActivate")->click();
    }

    // Presses a button whose command may wait for the cardholder; a command still waiting after
    // ATimeoutMs is cancelled, so no test can hang on a cardholder that never comes.
    void Press(const char* AButton, int ATimeoutMs = 20000) {
        QPointer<QWidget> strip = C<QWidget>("pCancelar");
        QTimer::singleShot(ATimeoutMs, fWindow.get(), [strip] {
            if (strip && strip->isVisible()) strip->hide();
        });
        C<QPushButton>(AButton)->click();
    }

    void OpenSession() {
        Press("btOPN");
        QVERIFY2(fSim->SessionOpen(), qPrintable(Log()));
    }

    QStringList Lines(const char* AMemo) {
        return C<QPlainTextEdit>(AMemo)->toPlainText().split(QLatin1Char('\n'));
    }
    bool ErrorShown() { return Log().contains(QStringLiteral("\n** ")); }

private slots:
    void initTestCase() { IsolateSerialProbe(); }
    void init() {
        fDir = std::make_unique<QTemporaryDir>();
        ProbedPorts().clear();
    }
    void cleanup() {
        fWindow.reset();
        fSim.reset();
    }

    void activationWithAPortThatCannotOpen() {
        Activate(QStringLiteral("/dev/ttyKESTRELNONE0"));
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Ativar"));
        for (int i = 1; i < 7; ++i)
            QVERIFY(!C<QTabWidget>("pgcCommands")->widget(i)->isEnabled());
        const QStringList lines = LogLines(W());
        const auto n = lines.size();
        QVERIFY(n >= 3);
        QCOMPARE(lines[n - 3], QString());
        QVERIFY2(lines[n - 2].startsWith(QStringLiteral("** ")) &&
                     lines[n - 2].endsWith(QStringLiteral(" **")),
                 qPrintable(lines[n - 2]));
        QVERIFY(!lines[n - 1].isEmpty());
        QVERIFY2(ReadFile(Ini()).contains(QStringLiteral("Port=/dev/ttyKESTRELNONE0")),
                 qPrintable(ReadFile(Ini()) + Log()));
    }

    void activationReadsCapabilitiesAndListsMediaOnAGraphicDisplay() {
        // Through a symbolic link to the pseudo-terminal, as the demo names the port.
        const QString link = fDir->filePath(QStringLiteral("pinpad"));
        StartSim(Profile::Graphic(), link);
        Activate(link);
        QVERIFY2(W().PinPad().IsEnabled(), qPrintable(Log()));
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Desativar"));
        QCOMPARE(C<QTabWidget>("pgcCommands")->currentIndex(), 1);
        for (int i = 1; i < 7; ++i)
            QVERIFY(C<QTabWidget>("pgcCommands")->widget(i)->isEnabled());
        QVERIFY(Log().contains(QStringLiteral("ExecCommand: GIX")));
        QVERIFY(Log().contains(QStringLiteral("ExecCommand: LMF")));
        QCOMPARE(C<QLabel>("pLMFMediaTitle")->text(), QStringLiteral("No media files"));
        QCOMPARE(C<QLabel>("pCLXMediaTitle")->text(), QStringLiteral("No media files"));
        QCOMPARE(C<QLabel>("sbResponseStat")->text(), QStringLiteral("STAT: 0"));
        QVERIFY(!ErrorShown());

        // Deactivating closes the port and leaves the settings file alone.
        WriteFile(Ini(), "[Serial]\nPort=untouched\n");
        C<QPushButton>("btActivate")->click();
        QVERIFY(!W().PinPad().IsEnabled());
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Ativar"));
        QVERIFY(!C<QTabWidget>("pgcCommands")->widget(1)->isEnabled());
        QCOMPARE(ReadFile(Ini()), QStringLiteral("[Serial]\nPort=untouched\n"));
    }

    void textOnlyDisplayGetsNoMediaList() {
        StartSim(Profile::TextOnly());
        Activate(QString::fromStdString(fSim->Address()));
        QVERIFY2(W().PinPad().IsEnabled(), qPrintable(Log()));
        QVERIFY(Log().contains(QStringLiteral("ExecCommand: GIX")));
        QVERIFY(!Log().contains(QStringLiteral("ExecCommand: LMF")));
        QCOMPARE(C<QTabWidget>("pgcCommands")->currentIndex(), 1);
    }

    void informationPage() {
        // The PIN pad speaks Windows-1252: "\xC9" is an E with an acute accent.
        Profile profile = Profile::Graphic();
        profile.Items[vexo::PP_MNNAME] = "F\xC9NIX";
        StartSim(profile);
        Activate(QString::fromStdString(fSim->Address()));
        OpenSession();

        C<QPushButton>("btVexoPinPadCapabilities")->click();
        C<QPushButton>("btVexoPinPadCapabilities")->click();
        const QStringList caps = Lines("mVexoPinPadCapabilities");
        QCOMPARE(caps.size(), 32);
        QCOMPARE(caps[16], caps[0]);
        QVERIFY(caps[0].startsWith(QStringLiteral("SerialNumber: ")));
        QCOMPARE(caps[11], QStringLiteral("DisplayGraphicPixels.Rows: 240"));
        QCOMPARE(caps[13], QStringLiteral("MediaPNGisSupported: True"));
        QCOMPARE(caps[15], QStringLiteral("MediaGIFisSupported: False"));

        // By selection and by value, in that order; 32802 is PP_MFSUP.
        C<QListWidget>("lbGIXParams")->item(0)->setSelected(true);
        C<QListWidget>("lbGIXParams")->item(3)->setSelected(true);
        C<QLineEdit>("edGIXValue")->setText(QStringLiteral("32802"));
        C<QPushButton>("btGIX")->click();
        QStringList gix = Lines("mGIXResponse");
        QCOMPARE(gix.size(), 3);
        QVERIFY2(gix[0].startsWith(QStringLiteral("PP_SERNUM => ")), qPrintable(gix.join('|')));
        QCOMPARE(gix[1], QStringLiteral("PP_MNNAME => F\u00C9NIX"));
        QCOMPARE(gix[2], QStringLiteral("PP_MFSUP => 110"));
        QVERIFY(caps[4] == QStringLiteral("Manufacturer: F\u00C9NIX"));

        // "All" clears the selection: everything the PIN pad offers, one line each.
        C<QCheckBox>("cbGIXAll")->setChecked(true);
        C<QLineEdit>("edGIXValue")->clear();
        C<QPushButton>("btGIX")->click();
        gix = Lines("mGIXResponse");
        QCOMPARE(gix.size(), static_cast<qsizetype>(fSim->GetProfile().ItemIds().size()));
        for (const QString& line : gix)
            QVERIFY2(line.contains(QStringLiteral(" => ")), qPrintable(line));

        // Text that is not a number adds nothing.
        C<QCheckBox>("cbGIXAll")->setChecked(false);
        C<QListWidget>("lbGIXParams")->item(0)->setSelected(true);
        C<QLineEdit>("edGIXValue")->setText(QStringLiteral("many"));
        C<QPushButton>("btGIX")->click();
        QCOMPARE(Lines("mGIXResponse").size(), 1);
        QVERIFY(!ErrorShown());
    }

    void askPageWithAScriptedCardholder() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        OpenSession();

        fSim->PressKey(4);
        Press("btGKY");
        QCOMPARE(C<QLabel>("pGKYResponse")->text(), QStringLiteral("Key Number: 4"));
        QVERIFY(Contains(fSim->Display().Lines, "Key Number: 4"));

        C<QComboBox>("cbxGCD")->setCurrentIndex(0);
        fSim->TypeDigits("011");
        Press("btGCD");
        QCOMPARE(C<QLabel>("pGCDResponse")->text(), QStringLiteral("011"));

        fSim->ChooseOption(2);
        Press("btMNU");
        QCOMPARE(C<QLabel>("pMNUResponse")->text(), QStringLiteral("02"));

        // An option longer than the PIN pad holds goes out cut, and the window says what was left out.
        C<QPlainTextEdit>("mMNU")->setPlainText(QStringLiteral("ONE\nTWENTY-FOUR CHARACTERS!!CUT"));
        fSim->ChooseOption(1);
        Press("btMNU");
        QCOMPARE(C<QLabel>("pMNUResponse")->text(), QStringLiteral("01"));
        QVERIFY2(!ErrorShown(), qPrintable(Log()));
        QVERIFY2(Log().contains(QStringLiteral("- MNU: 3 character(s) did not fit the display and were not sent: "
                                               "\"CUT\"")),
                 qPrintable(Log()));

        // The PIN pad's own waiting limit: a quiet "USER TIMEOUT", no error display.
        C<QSpinBox>("seGCDTimeOut")->setValue(1);
        C<QSpinBox>("seMNUTimeOut")->setValue(1);
        fSim->NeverAnswer();
        Press("btGCD");
        QCOMPARE(C<QLabel>("pGCDResponse")->text(), QStringLiteral("USER TIMEOUT"));
        fSim->NeverAnswer();
        Press("btMNU");
        QCOMPARE(C<QLabel>("pMNUResponse")->text(), QStringLiteral("USER TIMEOUT"));
        QVERIFY2(!ErrorShown(), qPrintable(Log()));
        QVERIFY(C<QWidget>("pCancelar")->isHidden());
        QVERIFY(C<QWidget>("tsAskEvent")->isEnabled());
    }

    void cexShowsEventsAndTimeouts() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        OpenSession();
        const auto legend = Lines("mCEXResponse").size();
        QCOMPARE(legend, 15);

        C<QCheckBox>("cbCEXVerifyKey")->setChecked(true);
        fSim->PressKey(0);
        Press("btCEX");
        QStringList box = Lines("mCEXResponse");
        QCOMPARE(box.mid(15),
                 (QStringList{QStringLiteral("------------------------------"), QStringLiteral("Press Key"),
                              QString(), QStringLiteral("PP_EVENT => 00")}));
        QVERIFY(Contains(fSim->Display().Lines, "Event: 00"));

        C<QSpinBox>("seCEXTimeOut")->setValue(1);
        fSim->NeverAnswer();
        Press("btCEX");
        box = Lines("mCEXResponse");
        QCOMPARE(box.last(), QStringLiteral("* TIMEOUT *"));
        QVERIFY(Contains(fSim->Display().Lines, "TIMEOUT"));
        QVERIFY2(!ErrorShown(), qPrintable(Log()));

        // A timeout that does not fit a byte: the prompt went out, the display is cleared again.
        C<QSpinBox>("seCEXTimeOut")->setValue(300);
        const auto cexSent = Log().count(QStringLiteral("ExecCommand: CEX"));
        Press("btCEX");
        QCOMPARE(Log().count(QStringLiteral("ExecCommand: CEX")), cexSent);
        QVERIFY(LogEndsWithError(W(), QStringLiteral("ERangeError"), QStringLiteral("Range check error")));
        for (const auto& line : fSim->Display().Lines)
            QVERIFY2(line.find_first_not_of(' ') == std::string::npos, line.c_str());
    }

    void displayAndCloseButtons() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        OpenSession();
        C<QPushButton>("btDSP")->click();
        QVERIFY(Contains(fSim->Display().Lines, "PROJETO VEXO"));
        C<QPushButton>("btDEX")->click();
        QVERIFY(Contains(fSim->Display().Lines, "TEF e PIX ?"));
        C<QPushButton>("btDSPClear")->click();
        QVERIFY(!Contains(fSim->Display().Lines, "PROJETO VEXO"));
        fSim->RemoveCard();
        Press("btRMC");
        C<QPushButton>("btGIN")->click();
        QVERIFY(!C<QPlainTextEdit>("mGINResponse")->toPlainText().isEmpty());
        QVERIFY2(!ErrorShown(), qPrintable(Log()));

        // The secure opening is refused by the component, with nothing sent.
        C<QCheckBox>("cbSecure")->setChecked(true);
        C<QPushButton>("btOPN")->click();
        QVERIFY2(LogEndsWithError(W(), QStringLiteral("EVexoAbecsPinPadError"),
                                  QStringLiteral("OPN Secure is not implemented yet")),
                 qPrintable(Log()));
        C<QCheckBox>("cbSecure")->setChecked(false);

        // CLX on the media page with nothing chosen sends nothing.
        const auto sent = Log().count(QStringLiteral("ExecCommand:"));
        C<QTabWidget>("pgCLX")->setCurrentIndex(1);
        C<QPushButton>("btCLX")->click();
        QCOMPARE(Log().count(QStringLiteral("ExecCommand:")), sent);

        C<QPushButton>("btCLO")->click();
        QVERIFY(!fSim->SessionOpen());
    }

    void cancelDuringABlockingCommand() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        OpenSession();
        fSim->NeverAnswer();

        bool sawBusy = false, pagesBackAtOnce = false, configKeptAway = false;
        WhenReady([this] { return C<QWidget>("pCancelar")->isVisible(); },
                  [&, this] {
                      sawBusy = !C<QWidget>("tsAskEvent")->isEnabled() &&
                                !C<QPushButton>("btActivate")->isEnabled() &&
                                !C<QPushButton>("btDetectPinPad")->isEnabled();
                      C<QPushButton>("btCancel")->click();
                      pagesBackAtOnce =
                          C<QWidget>("tsAskEvent")->isEnabled() && C<QWidget>("pCancelar")->isHidden();
                      // The command has not unwound yet: the toggle must not reach the component.
                      C<QPushButton>("btActivate")->click();
                      configKeptAway = W().PinPad().IsEnabled();
                  });
        Press("btGKY");
        QVERIFY(sawBusy);
        QVERIFY(pagesBackAtOnce);
        QVERIFY(configKeptAway);
        QVERIFY(W().PinPad().IsEnabled());
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Desativar"));
        QVERIFY2(LogEndsWithError(W(), QStringLiteral("EVexoAbecsPinPadError"),
                                  QStringLiteral("Cancelled by User")),
                 qPrintable(Log()));
        QCOMPARE(C<QLabel>("pGKYResponse")->text(), QStringLiteral("PRESS FUNCTION KEY"));

        // The link is still good afterwards.
        fSim->ClearScript();
        fSim->PressKey(5);
        Press("btGKY");
        QCOMPARE(C<QLabel>("pGKYResponse")->text(), QStringLiteral("Key Number: 5"));
    }

    void closingWhileACommandWaitsCancelsItFirst() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        OpenSession();
        fSim->NeverAnswer();
        bool closedAtOnce = true;
        WhenReady([this] { return C<QWidget>("pCancelar")->isVisible(); },
                  [&, this] { closedAtOnce = W().close(); });
        Press("btGKY");
        QVERIFY(!closedAtOnce);
        QTRY_VERIFY_WITH_TIMEOUT(!W().isVisible(), 5000);
        QVERIFY(Log().contains(QStringLiteral("Cancelled by User")));
    }

    void detectionFindsThePinPadOnTheThirdPort() {
        StartSim();
        DeadPort first, second;
        const std::string simPort = fSim->Address();
        ProbedPorts() = {first.Path, second.Path, simPort};
        fWindow = std::make_unique<TfrMain>(Ini());
        QString shown;
        W().SetMessageBox([&shown](const QString& AText) { shown = AText; });
        C<QComboBox>("cbxPort")->setEditText(QStringLiteral("typed by hand"));

        C<QPushButton>("btDetectPinPad")->click();
        QCOMPARE(shown, QStringLiteral("PinPad Found on ") + QString::fromStdString(simPort));
        auto* port = C<QComboBox>("cbxPort");
        QCOMPARE(port->count(), 3);
        QCOMPARE(port->itemText(0), QString::fromStdString(first.Path));
        QCOMPARE(port->currentText(), QString::fromStdString(simPort));
        QVERIFY(!W().PinPad().IsEnabled());
        QCOMPARE(W().PinPad().Port(), simPort);
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Ativar"));
        QVERIFY(!fSim->SessionOpen());
        QVERIFY(!QFile::exists(Ini()));

        // The pages came back with the last command, but the component is off.
        QVERIFY(C<QWidget>("tsOpen")->isEnabled());
        C<QPushButton>("btOPN")->click();
        QVERIFY(LogEndsWithError(W(), QStringLiteral("EVexoAbecsPinPadError"),
                                 QStringLiteral("Communication is not Enabled")));

        // The port search offers the same ports and shows the first.
        C<QToolButton>("btSearchSerialPorts")->click();
        QCOMPARE(port->count(), 3);
        QCOMPARE(port->currentText(), QString::fromStdString(first.Path));
    }
};

QTEST_MAIN(TestSession)
#include "TestSession.moc"
