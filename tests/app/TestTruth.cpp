// The window never shows success after a failure: the status bar tells the outcome of what the
// operator asked for, a port that is gone is closed, an upload can be stopped, and a text that does not
// fit the display is reported.
#include "WindowFixture.h"
#include "media/PictureCodecs.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <pty.h>
#include <random>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::test;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;
using Kind = TfrMain::TStatusKind;

namespace {

// A picture that compresses badly, so that it takes many packets.
vexo::ByteString NoisyPng(int ASide) {
    media::Picture picture = media::MakePicture(ASide, ASide);
    std::mt19937 random(7);
    for (auto& byte : picture.Pixels)
        byte = static_cast<std::uint8_t>(random());
    for (int y = 0; y < ASide; ++y)
        for (int x = 0; x < ASide; ++x)
            picture.PixelAt(x, y)[3] = 0xFF;
    return media::EncodePng(picture);
}

} // namespace

class TestTruth : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> fDir;
    std::unique_ptr<SimulatorRunner> fSim;
    std::unique_ptr<TfrMain> fWindow;

    QString Ini() const { return fDir->filePath(QStringLiteral("kestrel.ini")); }
    TfrMain& W() { return *fWindow; }
    template <class T> T* C(const char* AName) { return Find<T>(fWindow.get(), AName); }
    QString Log() { return C<QPlainTextEdit>("mLog")->toPlainText(); }
    QString Head() { return C<QLabel>("sbResponseStat")->text(); }
    QString Text() { return C<QLabel>("sbResponseError")->text(); }
    QString Status() { return Head() + QStringLiteral(" | ") + Text() + QStringLiteral("\n") + Log(); }

    void StartSim(const QString& ALink = QString()) {
        fSim = std::make_unique<SimulatorRunner>(Profile::Graphic());
        fSim->SetTimeScale(0.01);
        fSim->StartPty(ALink.toStdString());
    }

    void Activate(const QString& APort) {
        if (!fWindow) {
            fWindow = std::make_unique<TfrMain>(Ini());
            fWindow->show();
        }
        C<QComboBox>("cbxPort")->setEditText(APort);
        C<QPushButton>("btActivate")->click();
    }

    // A button whose command may wait; a command still waiting after 20 s is cancelled.
    void Press(const char* AButton) {
        QPointer<QWidget> strip = C<QWidget>("pCancelar");
        QTimer::singleShot(20000, fWindow.get(), [strip] {
            if (strip && strip->isVisible()) strip->hide();
        });
        C<QPushButton>(AButton)->click();
    }

    // The status bar as a picture, for the documentation, when KESTREL_STATUS_SHOTS names a folder.
    void Shot(const char* AName) {
        const QString folder = qEnvironmentVariable("KESTREL_STATUS_SHOTS");
        if (folder.isEmpty()) return;
        W().resize(932, 587);
        QCoreApplication::processEvents();
        W().statusBar()->grab().save(QDir(folder).filePath(QString::fromLatin1(AName)));
    }

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

    void failuresBeforeAnyAnswerAreShownAsErrors() {
        // No port at all: the device's own error, in the error style.
        Activate(QString());
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Ativar"));
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(!Text().contains(QStringLiteral("successfully")), qPrintable(Status()));
        QVERIFY2(Log().endsWith(Text()), qPrintable(Status()));

        // A port that opens but where nothing answers: still activated, and the status bar says so.
        DeadPort dead;
        Activate(QString::fromStdString(dead.Path));
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Desativar"));
        QCOMPARE(W().StatusKind(), Kind::skError);
        QCOMPARE(Head(), QStringLiteral("No PIN pad"));
        QVERIFY2(Text().startsWith(
                     QStringLiteral("No PIN pad answered on %1 (").arg(QString::fromStdString(dead.Path))),
                 qPrintable(Status()));
        Shot("status-no-answer.png");

        // The window's own errors: an empty QR text.
        C<QTextEdit>("mQRCode")->clear();
        C<QPushButton>("btPaintQRCode")->click();
        C<QPushButton>("btSendQRCode")->click();
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(!Text().contains(QStringLiteral("successfully")), qPrintable(Status()));
    }

    void theStatusIsTheOperatorsCommandsNotTheFollowUps() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        QCOMPARE(W().StatusKind(), Kind::skOk);
        C<QPushButton>("btOPN")->click();

        // GKY ended by CANCEL: the DSP that shows the key afterwards does not hide the 013.
        fSim->PressKey(13);
        Press("btGKY");
        QCOMPARE(C<QLabel>("pGKYResponse")->text(), QStringLiteral("Key Number: 13"));
        QCOMPARE(Head(), QStringLiteral("STAT: 13"));
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(!Text().contains(QStringLiteral("successfully")), qPrintable(Status()));
        Shot("status-gky-cancel.png");

        // A function key is an answer, not a failure; a new command clears the error style.
        fSim->PressKey(4);
        Press("btGKY");
        QCOMPARE(Head(), QStringLiteral("STAT: 4"));
        QCOMPARE(W().StatusKind(), Kind::skOk);

        // CEX ended by the PIN pad's own limit: the TIMEOUT shown afterwards keeps the 012.
        C<QCheckBox>("cbCEXVerifyKey")->setChecked(true);
        C<QSpinBox>("seCEXTimeOut")->setValue(1);
        fSim->NeverAnswer();
        Press("btCEX");
        QCOMPARE(Head(), QStringLiteral("STAT: 12"));
        QCOMPARE(W().StatusKind(), Kind::skError);

        // "Cancel Operation": the cancellation, not a success.
        fSim->ClearScript();
        fSim->NeverAnswer();
        WhenReady([this] { return C<QWidget>("pCancelar")->isVisible(); },
                  [this] { C<QPushButton>("btCancel")->click(); });
        Press("btGKY");
        QCOMPARE(Head(), QStringLiteral("EVexoAbecsPinPadError"));
        QCOMPARE(Text(), QStringLiteral("Cancelled by User"));
        QCOMPARE(W().StatusKind(), Kind::skError);

        C<QPushButton>("btDSP")->click();
        QCOMPARE(Head(), QStringLiteral("STAT: 0"));
        QCOMPARE(W().StatusKind(), Kind::skOk);
    }

    void aPortThatIsGoneIsClosedAndAtivarReconnects() {
        const QString link = fDir->filePath(QStringLiteral("pinpad"));
        StartSim(link);
        Activate(link);
        QVERIFY2(W().PinPad().IsEnabled(), qPrintable(Log()));
        // The PIN pad unplugged and plugged in again: a new pseudo-terminal behind the same name.
        fSim.reset();
        StartSim(link);
        C<QPushButton>("btDSP")->click();
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Ativar"));
        QVERIFY(!W().PinPad().IsEnabled());
        QCOMPARE(W().StatusKind(), Kind::skError);
        QCOMPARE(Head(), QStringLiteral("Port gone"));
        QVERIFY2(Text().contains(QStringLiteral("press \"Ativar\"")), qPrintable(Status()));
        for (int i = 1; i < 7; ++i)
            QVERIFY(!C<QTabWidget>("pgcCommands")->widget(i)->isEnabled());

        C<QPushButton>("btActivate")->click();
        QCOMPARE(C<QPushButton>("btActivate")->text(), QStringLiteral("Desativar"));
        QCOMPARE(W().StatusKind(), Kind::skOk);
        C<QPushButton>("btDSP")->click();
        QCOMPARE(Head(), QStringLiteral("STAT: 0"));
    }

    void anUploadCanBeCancelledBetweenPacketsAndSendsNoMle() {
        StartSim();
        fSim->SetBaudRate(115200);
        Activate(QString::fromStdString(fSim->Address()));
        const QString file = fDir->filePath(QStringLiteral("noise.png"));
        const vexo::ByteString png = NoisyPng(120);
        WriteFile(file, QByteArray(png.data(), static_cast<qsizetype>(png.size())));
        W().SetPictureFileChooser([file] { return file; });
        C<QToolButton>("btSearchSerialPorts1")->click();
        C<QLineEdit>("edMediaLoad")->setText(QStringLiteral("NOISE"));

        bool repainted = false;
        WhenReady(
            [this] {
                return C<QProgressBar>("pbMediaLoad")->isVisible() &&
                       C<QProgressBar>("pbMediaLoad")->value() >= 2;
            },
            [&, this] {
                // The window answers clicks while the file goes out; the pages stay out of reach.
                repainted = !C<QWidget>("tsMultimidia")->isEnabled() && C<QWidget>("pCancelar")->isVisible();
                C<QPushButton>("btCancel")->click();
            },
            60000);
        C<QPushButton>("btMediaLoad")->click();
        QVERIFY2(repainted, qPrintable(Status()));
        QCOMPARE(Text(), QStringLiteral("Cancelled by User"));
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(Log().contains(QStringLiteral("MLE not sent")), qPrintable(Log()));
        QVERIFY(!Log().contains(QStringLiteral("ExecCommand: MLE")));
        QVERIFY(!Log().contains(QStringLiteral("Done Loading")));
        QVERIFY(fSim->MediaNames().empty());
        QVERIFY(C<QWidget>("tsMultimidia")->isEnabled());
        QVERIFY(C<QWidget>("pCancelar")->isHidden());
    }

    void textThatDoesNotFitIsReportedAndGixTakesNames() {
        StartSim();
        Activate(QString::fromStdString(fSim->Address()));
        C<QPushButton>("btOPN")->click();
        QString longText;
        for (int i = 0; i < 40; ++i)
            longText += QStringLiteral("WORD%1 ").arg(i, 2, 10, QLatin1Char('0'));
        C<QPlainTextEdit>("mDEX")->setPlainText(longText.trimmed());
        C<QPushButton>("btDEX")->click();
        QCOMPARE(W().StatusKind(), Kind::skWarning);
        QVERIFY2(Text().contains(QStringLiteral("did not fit the display")), qPrintable(Status()));
        QVERIFY2(Log().contains(QStringLiteral("- DEX: ")) && Log().contains(QStringLiteral("WORD39\"")),
                 qPrintable(Log()));
        // The two lines that fit go out without a word.
        C<QPushButton>("btDSP")->click();
        QCOMPARE(W().StatusKind(), Kind::skOk);
        QVERIFY(!Log().contains(QStringLiteral("- DSP: ")));

        C<QLineEdit>("edGIXValue")->setText(QStringLiteral("SERNUM, pp_model"));
        C<QPushButton>("btGIX")->click();
        const QString items = C<QPlainTextEdit>("mGIXResponse")->toPlainText();
        QVERIFY2(items.startsWith(QStringLiteral("PP_SERNUM => ")) &&
                     items.contains(QStringLiteral("\nPP_MODEL => ")),
                 qPrintable(items + Log()));
        // Words that name no id are not asked for, and the operator is told which.
        C<QLineEdit>("edGIXValue")->setText(QStringLiteral("SPECVERX 0x8003 bogus"));
        C<QPushButton>("btGIX")->click();
        QCOMPARE(C<QPlainTextEdit>("mGIXResponse")->toPlainText().count(QStringLiteral(" => ")), 1);
        QCOMPARE(W().StatusKind(), Kind::skWarning);
        QVERIFY2(Text().contains(QStringLiteral("not understood, so not asked for: SPECVERX, bogus")),
                 qPrintable(Status()));
    }
};

QTEST_MAIN(TestTruth)
#include "TestTruth.moc"
