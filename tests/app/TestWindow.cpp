// The window without a PIN pad: start-up, settings file, error display, local controls, the serial dialog.
#include "WindowFixture.h"
#include "app/ConfiguraSerial.h"
#include "device/VexoDevice.h"
#include "pinpad/VexoAbecsPinPad.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>
#include <pty.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::test;

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& AUrl) { Opened << AUrl; }
};

class TestWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> fDir;
    QString Ini() const { return fDir->filePath(QStringLiteral("kestrel.ini")); }
    std::unique_ptr<TfrMain> NewWindow() { return std::make_unique<TfrMain>(Ini()); }

private slots:
    void initTestCase() { IsolateSerialProbe(); }
    void init() {
        fDir = std::make_unique<QTemporaryDir>();
        ProbedPorts().clear();
    }

    void startsWithDefaultsAndDisabledPages() {
        auto w = NewWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Teste ABECS PinPad"));
        QCOMPARE(Find<QComboBox>(w.get(), "cbxPort")->currentText(), QString());
        QCOMPARE(Find<QComboBox>(w.get(), "cbxPort")->count(), 0);
        QCOMPARE(Find<QLineEdit>(w.get(), "edLogFile")->text(), QString());
        QCOMPARE(Find<QSpinBox>(w.get(), "seLogLevel")->value(), 2);
        QCOMPARE(Find<QComboBox>(w.get(), "cbxMsgAlign")->currentText(), QStringLiteral("alCenter"));
        QVERIFY(Find<QCheckBox>(w.get(), "cbMsgWordWrap")->isChecked());
        QCOMPARE(w->PinPad().Device().ParamsString(), std::string());
        QCOMPARE(w->PinPad().Device().Baud(), 9600);
        QCOMPARE(Find<QPushButton>(w.get(), "btActivate")->text(), QStringLiteral("Ativar"));
        QVERIFY(Find<QWidget>(w.get(), "pCancelar")->isHidden());

        auto* pages = Find<QTabWidget>(w.get(), "pgcCommands");
        // The six command pages, then the Command page for any command, then Close.
        QCOMPARE(pages->count(), 8);
        QCOMPARE(pages->indexOf(Find<QWidget>(w.get(), "tsCommand")),
                 pages->indexOf(Find<QWidget>(w.get(), "tsAskEvent")) + 1);
        QCOMPARE(pages->currentIndex(), 0);
        QVERIFY(pages->widget(0)->isEnabled());
        for (int i = 1; i < pages->count(); ++i)
            QVERIFY2(!pages->widget(i)->isEnabled(), qPrintable(pages->tabText(i)));
        QVERIFY(LogLines(*w).contains(QStringLiteral("- ReadParams")));
        QCOMPARE(Find<QLabel>(w.get(), "sbResponseStat")->text(), QStringLiteral("STAT:"));
        QCOMPARE(Find<QLabel>(w.get(), "sbResponseError")->text(), QStringLiteral("ERROR:"));

        auto* gcd = Find<QComboBox>(w.get(), "cbxGCD");
        QCOMPARE(gcd->count(), 53);
        QCOMPARE(gcd->currentIndex(), -1);
        QCOMPARE(gcd->itemText(44), QStringLiteral("QuilometragemFinal"));
        auto* gix = Find<QListWidget>(w.get(), "lbGIXParams");
        QCOMPARE(gix->count(), 64);
        QCOMPARE(gix->item(0)->text(), QStringLiteral("PP_SERNUM     "));
        QCOMPARE(gix->item(63)->text(), QStringLiteral("PP_TABVER63   "));
    }

    void saveAndReadKeepOtherKeys() {
        WriteFile(Ini(), "; operator notes\n[other]\nkeep=me\n[SERIAL]\nPORT=/dev/old\n");
        auto w = NewWindow();
        QCOMPARE(Find<QComboBox>(w.get(), "cbxPort")->currentText(), QStringLiteral("/dev/old"));

        Find<QComboBox>(w.get(), "cbxPort")->setEditText(QStringLiteral("TCP:127.0.0.1:4000"));
        w->PinPad().Device().SetParamsString("BAUD=115200 HANDSHAKE=RTS/CTS HARDFLOW");
        Find<QLineEdit>(w.get(), "edLogFile")->setText(QStringLiteral("pinpad.log"));
        Find<QSpinBox>(w.get(), "seLogLevel")->setValue(5);
        Find<QComboBox>(w.get(), "cbxMsgAlign")->setCurrentIndex(1);
        Find<QCheckBox>(w.get(), "cbMsgWordWrap")->setChecked(false);
        Find<QPushButton>(w.get(), "btSaveParams")->click();
        QCOMPARE(LogLines(*w).last(), QStringLiteral("- SaveParams"));

        const QString text = ReadFile(Ini());
        QVERIFY(text.contains(QStringLiteral("keep=me")));
        QVERIFY(text.contains(QStringLiteral("; operator notes")));
        QCOMPARE(text.count(QStringLiteral("TCP:127.0.0.1:4000")), 1);
        QVERIFY(!text.contains(QStringLiteral("/dev/old")));
        QVERIFY(text.contains(QStringLiteral("BAUD=115200 HANDSHAKE=RTS/CTS HARDFLOW")));

        // Disturb everything, then read it back.
        Find<QComboBox>(w.get(), "cbxPort")->setEditText(QString());
        w->PinPad().Device().SetParamsString("");
        Find<QLineEdit>(w.get(), "edLogFile")->clear();
        Find<QSpinBox>(w.get(), "seLogLevel")->setValue(0);
        Find<QComboBox>(w.get(), "cbxMsgAlign")->setCurrentIndex(3);
        Find<QCheckBox>(w.get(), "cbMsgWordWrap")->setChecked(true);
        Find<QPushButton>(w.get(), "btReadParms")->click();
        QCOMPARE(Find<QComboBox>(w.get(), "cbxPort")->currentText(), QStringLiteral("TCP:127.0.0.1:4000"));
        QCOMPARE(w->PinPad().Device().Baud(), 115200);
        QCOMPARE(w->PinPad().Device().HandShake(), vexo::hsRTS_CTS);
        QCOMPARE(Find<QLineEdit>(w.get(), "edLogFile")->text(), QStringLiteral("pinpad.log"));
        QCOMPARE(Find<QSpinBox>(w.get(), "seLogLevel")->value(), 5);
        QCOMPARE(Find<QComboBox>(w.get(), "cbxMsgAlign")->currentIndex(), 1);
        QVERIFY(!Find<QCheckBox>(w.get(), "cbMsgWordWrap")->isChecked());
    }

    void oddStoredValues_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("align");
        QTest::addColumn<bool>("wrap");
        QTest::newRow("level 15 shows as 9") << QByteArray("[Log]\nLevel=15\n") << 9 << 3 << true;
        QTest::newRow("level not a number") << QByteArray("[Log]\nLevel=high\n") << 2 << 3 << true;
        QTest::newRow("level in hex") << QByteArray("[Log]\nLevel=$4\n") << 4 << 3 << true;
        QTest::newRow("align out of range") << QByteArray("[PinPad]\nMsgAlign=7\n") << 2 << -1 << true;
        QTest::newRow("align none selected") << QByteArray("[PinPad]\nMsgAlign=-1\n") << 2 << -1 << true;
        QTest::newRow("wrap 0") << QByteArray("[PinPad]\nMsgWordWrap=0\n") << 2 << 3 << false;
        QTest::newRow("wrap 7") << QByteArray("[PinPad]\nMsgWordWrap=7\n") << 2 << 3 << true;
        QTest::newRow("wrap garbage") << QByteArray("[pinpad]\nmsgwordwrap=yes please\n") << 2 << 3 << true;
    }
    void oddStoredValues() {
        QFETCH(QByteArray, stored);
        QFETCH(int, level);
        QFETCH(int, align);
        QFETCH(bool, wrap);
        WriteFile(Ini(), stored);
        auto w = NewWindow();
        QCOMPARE(Find<QSpinBox>(w.get(), "seLogLevel")->value(), level);
        QCOMPARE(Find<QComboBox>(w.get(), "cbxMsgAlign")->currentIndex(), align);
        QCOMPARE(Find<QCheckBox>(w.get(), "cbMsgWordWrap")->isChecked(), wrap);
    }

    // Masking card data in the log is on unless the operator turns it off; the choice is kept in the
    // settings file and handed to the component at activation.
    void cardDataMaskingIsOnByDefaultAndKept() {
        auto w = NewWindow();
        auto* mask = Find<QCheckBox>(w.get(), "cbLogMaskCardData");
        QVERIFY(mask->isChecked());
        mask->setChecked(false);
        Find<QPushButton>(w.get(), "btSaveParams")->click();
        QVERIFY(ReadFile(Ini()).contains(QStringLiteral("MaskCardData=0")));
        mask->setChecked(true);
        Find<QPushButton>(w.get(), "btReadParms")->click();
        QVERIFY(!mask->isChecked());
        QVERIFY(w->PinPad().LogMaskCardData());            // not yet handed over
        Find<QPushButton>(w.get(), "btActivate")->click(); // no port: fails after handing the settings over
        QVERIFY(!w->PinPad().IsEnabled());
        QVERIFY(!w->PinPad().LogMaskCardData());

        WriteFile(Ini(), "[Log]\nMaskCardData=x\n");
        auto fresh = NewWindow();
        QVERIFY(Find<QCheckBox>(fresh.get(), "cbLogMaskCardData")->isChecked());
    }

    void unwritableSettingsShowTheErrorDisplay() {
        const QString path = fDir->filePath(QStringLiteral("missing/folder/kestrel.ini"));
        TfrMain w(path);
        Find<QPushButton>(&w, "btSaveParams")->click();
        QVERIFY(
            LogEndsWithError(w, QStringLiteral("Exception"), QStringLiteral("Unable to write to ") + path));
        // The window's own error, in the error style: no PIN-pad success is shown for it.
        QCOMPARE(Find<QLabel>(&w, "sbResponseStat")->text(), QStringLiteral("Exception"));
        QCOMPARE(w.StatusKind(), TfrMain::TStatusKind::skError);

        // Activation stores the settings first: failing that, the component stays disabled.
        Find<QPushButton>(&w, "btActivate")->click();
        QVERIFY(
            LogEndsWithError(w, QStringLiteral("Exception"), QStringLiteral("Unable to write to ") + path));
        QVERIFY(!w.PinPad().IsEnabled());
        QCOMPARE(Find<QPushButton>(&w, "btActivate")->text(), QStringLiteral("Ativar"));
    }

    void rangeErrorsComeBeforeAnythingIsSent_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("button");
        QTest::newRow("GCD timeout 256") << "tsAskEvent"
                                         << "btGCD";
        QTest::newRow("MNU timeout 300") << "tsAskEvent"
                                         << "btMNU";
        QTest::newRow("GIX value 65536") << "tsGIX"
                                         << "btGIX";
        QTest::newRow("GIX value -1") << "tsGIX"
                                      << "btGIX";
    }
    void rangeErrorsComeBeforeAnythingIsSent() {
        QFETCH(QString, page);
        QFETCH(QString, button);
        auto w = NewWindow();
        Find<QWidget>(w.get(), page.toLatin1().constData())->setEnabled(true);
        Find<QComboBox>(w.get(), "cbxGCD")->setCurrentIndex(0);
        Find<QSpinBox>(w.get(), "seGCDTimeOut")->setValue(256);
        Find<QSpinBox>(w.get(), "seMNUTimeOut")->setValue(300);
        Find<QLineEdit>(w.get(), "edGIXValue")
            ->setText(QString::fromLatin1(QTest::currentDataTag()).endsWith(QLatin1String("-1")) ? "-1"
                                                                                                 : "65536");
        Find<QPushButton>(w.get(), button.toLatin1().constData())->click();
        QVERIFY(LogEndsWithError(*w, QStringLiteral("ERangeError"), QStringLiteral("Range check error")));
        QVERIFY(
            !Find<QPlainTextEdit>(w.get(), "mLog")->toPlainText().contains(QStringLiteral("ExecCommand")));
    }

    void gcdWithoutPromptIsRefused() {
        auto w = NewWindow();
        Find<QWidget>(w.get(), "tsAskEvent")->setEnabled(true);
        Find<QPushButton>(w.get(), "btGCD")->click();
        QVERIFY(LogEndsWithError(*w, QStringLiteral("Exception"), QStringLiteral("No Msg Index selected")));
        QCOMPARE(Find<QLabel>(w.get(), "pGCDResponse")->text(), QStringLiteral("Response: "));
    }

    void hotkeyRenumbering_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("numbered");
        QTest::newRow("defaults") << "Great\nSatisfactory\nGood\nBad"
                                  << "1 Great\n2 Satisfactory\n3 Good\n4 Bad";
        QTest::newRow("fifth line and a zero") << "a\nb\n0c\nd\ne"
                                               << "1 a\n2 b\n3 0c\n4 d\n5 e";
        QTest::newRow("already numbered stays") << "7 seven\nplain"
                                                << "7 seven\n2 plain";
        QTest::newRow("tenth line never numbered") << "1\n2\n3\n4\n5\n6\n7\n8\nnine\nten"
                                                   << "1\n2\n3\n4\n5\n6\n7\n8\n9 nine\nten";
    }
    void hotkeyRenumbering() {
        QFETCH(QString, options);
        QFETCH(QString, numbered);
        auto w = NewWindow();
        auto* memo = Find<QPlainTextEdit>(w.get(), "mMNU");
        auto* hotkey = Find<QCheckBox>(w.get(), "cbMNUHotKey");
        memo->setPlainText(options);
        hotkey->setChecked(true);
        QCOMPARE(memo->toPlainText(), numbered);
        hotkey->setChecked(false);
        if (QTest::currentDataTag() == QByteArrayLiteral("defaults")) {
            QCOMPARE(memo->toPlainText(), options);
            hotkey->setChecked(true);
            hotkey->setChecked(false);
            QCOMPARE(memo->toPlainText(), options);
        }
    }

    void gixAllClearsAndLocksTheList() {
        auto w = NewWindow();
        auto* list = Find<QListWidget>(w.get(), "lbGIXParams");
        auto* all = Find<QCheckBox>(w.get(), "cbGIXAll");
        list->item(0)->setSelected(true);
        list->item(5)->setSelected(true);
        all->setChecked(true);
        QVERIFY(list->selectedItems().isEmpty());
        auto* page = Find<QWidget>(w.get(), "tsGIX");
        QVERIFY(!list->isEnabledTo(page));
        QVERIFY(!Find<QLineEdit>(w.get(), "edGIXValue")->isEnabledTo(page));
        all->setChecked(false);
        QVERIFY(list->isEnabledTo(page));
        QVERIFY(Find<QLineEdit>(w.get(), "edGIXValue")->isEnabledTo(page));
        QVERIFY(list->selectedItems().isEmpty());
    }

    void logViewerOpensTheFileTheComponentWrites() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
        auto w = NewWindow();
        auto* logFile = Find<QLineEdit>(w.get(), "edLogFile");
        // A bare name lies beside the settings file, wherever the program was started from.
        logFile->setText(QStringLiteral("pinpad.log"));
        Find<QPushButton>(w.get(), "sbShowLogFile")->click();
        // Activation hands the same file to the component before the (empty) port fails to open.
        Find<QPushButton>(w.get(), "btActivate")->click();
        QCOMPARE(QString::fromStdString(w->PinPad().LogFile()), fDir->filePath(QStringLiteral("pinpad.log")));
        QCOMPARE(logFile->text(), QStringLiteral("pinpad.log"));
        logFile->setText(QStringLiteral("/var/tmp/other.log"));
        Find<QPushButton>(w.get(), "sbShowLogFile")->click();
        logFile->setText(QStringLiteral("logs/pinpad.log"));
        Find<QPushButton>(w.get(), "sbShowLogFile")->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.Opened.size(), 3);
        QCOMPARE(catcher.Opened[0].toLocalFile(), fDir->filePath(QStringLiteral("pinpad.log")));
        QCOMPARE(catcher.Opened[1].toLocalFile(), QStringLiteral("/var/tmp/other.log"));
        // A name with a folder in it is the operator's own path, relative to where they started.
        QCOMPARE(catcher.Opened[2].toLocalFile(),
                 QDir::current().absoluteFilePath(QStringLiteral("logs/pinpad.log")));
    }

    void aboutNamesTheSettingsFileInUse() {
        auto w = NewWindow();
        QString shown;
        w->SetMessageBox([&shown](const QString& AText) { shown = AText; });
        Find<QPushButton>(w.get(), "btAbout")->click();
        QVERIFY2(shown.startsWith(QStringLiteral("Kestrel " KESTREL_VERSION "\n")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("Settings file: ") + Ini()), qPrintable(shown));
        QCOMPARE(Find<QPushButton>(w.get(), "btSaveParams")->toolTip(), Ini());
        // The About box is no command: it reaches neither the log nor the settings file.
        QVERIFY(!LogLines(*w).last().startsWith(QStringLiteral("Kestrel")));
        QVERIFY(!QFile::exists(Ini()));
    }

    void withoutANameTheSettingsFileIsTheProgramsOwn() {
        // The test program's folder can be written, so it is the portable case: the file lies beside it.
        TfrMain w;
        QCOMPARE(w.ParamsFileName(),
                 QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("TestWindow.ini")));
    }

    // Run by ctest under umockdev with a USB printer and a USB PIN pad described (TestWindow.USBDevices).
    void portBoxOffersUSBDevicesAfterTheSerialPorts() {
        if (qEnvironmentVariableIsEmpty("KESTREL_TEST_USB_DEVICES"))
            QSKIP("needs the USB devices that umockdev describes");
        int master = -1;
        int slave = -1;
        char name[128] = {};
        QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ProbedPorts() = {name};
        const QStringList expected{QString::fromLatin1(name), QStringLiteral("USB:Epson, TM-T20"),
                                   QStringLiteral("USB:Gertec, PPC930")};
        const auto items = [](QComboBox* ABox) {
            QStringList all;
            for (int i = 0; i < ABox->count(); ++i)
                all << ABox->itemText(i);
            return all;
        };
        auto w = NewWindow();
        auto* port = Find<QComboBox>(w.get(), "cbxPort");
        QCOMPARE(items(port), expected);
        Find<QToolButton>(w.get(), "btSearchSerialPorts")->click();
        QCOMPARE(items(port), expected);
        QCOMPARE(port->currentText(), QString::fromLatin1(name));
        close(master);
        close(slave);
    }

    void portSearchWithoutPortsKeepsTheText() {
        auto w = NewWindow();
        auto* port = Find<QComboBox>(w.get(), "cbxPort");
        port->setEditText(QStringLiteral("TCP:localhost:4000"));
        Find<QToolButton>(w.get(), "btSearchSerialPorts")->click();
        QCOMPARE(port->count(), 0);
        QCOMPARE(port->currentText(), QStringLiteral("TCP:localhost:4000"));

        QString shown;
        w->SetMessageBox([&shown](const QString& AText) { shown = AText; });
        Find<QPushButton>(w.get(), "btDetectPinPad")->click();
        QCOMPARE(shown, QStringLiteral("PinPad not Found"));
        QCOMPARE(port->currentText(), QStringLiteral("TCP:localhost:4000"));
    }

    // --- The serial dialog --------------------------------------------------------------------------

    void dialogShowsTheDeviceAndKeepsFlowConsistent() {
        QStringList errors;
        TfrConfiguraSerial dialog(nullptr, [&errors](const std::exception& E) { errors << E.what(); });
        dialog.FillControls();
        QCOMPARE(dialog.cmbPortaSerial->currentText(), QStringLiteral("COM1"));
        QCOMPARE(dialog.cmbBaudRate->currentText(), QStringLiteral("9600"));
        QCOMPARE(dialog.cmbDataBits->currentText(), QStringLiteral("8"));
        QCOMPARE(dialog.cmbParity->currentText(), QStringLiteral("None"));
        QCOMPARE(dialog.cmbStopBits->currentText(), QStringLiteral("1"));
        QCOMPARE(dialog.cmbHandShaking->currentText(), QStringLiteral("Nenhum"));
        QVERIFY(!dialog.chHardFlow->isChecked());
        QVERIFY(!dialog.chSoftFlow->isChecked());

        dialog.cmbHandShaking->setCurrentIndex(2);
        emit dialog.cmbHandShaking->activated(2);
        QVERIFY(dialog.chHardFlow->isChecked());
        QVERIFY(!dialog.chSoftFlow->isChecked());
        dialog.chHardFlow->click();
        QCOMPARE(dialog.cmbHandShaking->currentText(), QStringLiteral("Nenhum"));
        QVERIFY(!dialog.chHardFlow->isChecked());
        dialog.chSoftFlow->click();
        QCOMPARE(dialog.cmbHandShaking->currentText(), QStringLiteral("XON/XOFF"));
        dialog.chHardFlow->click();
        QCOMPARE(dialog.cmbHandShaking->currentText(), QStringLiteral("RTS/CTS"));
        QVERIFY(!dialog.chSoftFlow->isChecked());

        // Digit by digit: the short rates are refused, the device keeps the last one it took.
        const QString typed = QStringLiteral("19200");
        for (int i = 1; i <= typed.size(); ++i)
            dialog.cmbBaudRate->setEditText(typed.left(i));
        QCOMPARE(dialog.Device().Baud(), 19200);
        QCOMPARE(errors.size(), 2);
        dialog.cmbBaudRate->setEditText(QStringLiteral("fast"));
        QCOMPARE(errors.last(), QStringLiteral("'fast' is not a valid integer value"));
        QCOMPARE(dialog.Device().Baud(), 19200);

        dialog.Device().SetBaud(230400);
        dialog.FillControls();
        QCOMPARE(dialog.cmbBaudRate->currentText(), QString());
        QCOMPARE(dialog.Device().Baud(), 230400);
    }

    void dialogSaysOneAndAHalfStopBitsNeedFiveDataBits() {
        TfrConfiguraSerial dialog;
        dialog.FillControls();
        QLabel* note = dialog.lbStopBitsNote;
        QVERIFY(note && note->isHidden());
        auto choose = [](QComboBox* ABox, const QString& AText) {
            ABox->setCurrentIndex(ABox->findText(AText));
            emit ABox->activated(ABox->currentIndex());
        };
        choose(dialog.cmbStopBits, QStringLiteral("1,5"));
        QVERIFY(!note->isHidden());
        QVERIFY(note->text().contains(QStringLiteral("5 data bits")));
        choose(dialog.cmbDataBits, QStringLiteral("5"));
        QVERIFY(note->isHidden());
        choose(dialog.cmbDataBits, QStringLiteral("7"));
        QVERIFY(!note->isHidden());
        choose(dialog.cmbStopBits, QStringLiteral("2"));
        QVERIFY(note->isHidden());
        // A setting read from the file is flagged as soon as the dialog shows it.
        dialog.Device().SetParamsString("DATA=6 STOP=1,5");
        dialog.FillControls();
        QVERIFY(!note->isHidden());
    }

    void dialogOkCopiesBackAndCancelChangesNothing() {
        auto w = NewWindow();
        auto* port = Find<QComboBox>(w.get(), "cbxPort");
        port->setEditText(QStringLiteral("/dev/ttyUSB0"));

        auto edit = [](bool AAccept) {
            WhenReady(
                [] {
                    return qobject_cast<TfrConfiguraSerial*>(QApplication::activeModalWidget()) != nullptr;
                },
                [AAccept] {
                    auto* d = qobject_cast<TfrConfiguraSerial*>(QApplication::activeModalWidget());
                    d->cmbPortaSerial->setEditText(QStringLiteral("TCP:127.0.0.1:4100"));
                    d->cmbBaudRate->setEditText(QStringLiteral("115200"));
                    d->cmbHandShaking->setCurrentIndex(2);
                    emit d->cmbHandShaking->activated(2);
                    (AAccept ? d->btOK : d->btCancel)->click();
                });
            // A dialog that never appeared must not leave the test waiting: close whatever is modal.
            QTimer::singleShot(15000, [] {
                if (auto* m = QApplication::activeModalWidget()) m->close();
            });
        };

        edit(false);
        Find<QToolButton>(w.get(), "btSerial")->click();
        QCOMPARE(port->currentText(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(w->PinPad().Device().ParamsString(), std::string());

        edit(true);
        Find<QToolButton>(w.get(), "btSerial")->click();
        QCOMPARE(port->currentText(), QStringLiteral("TCP:127.0.0.1:4100"));
        QCOMPARE(w->PinPad().Device().ParamsString(), std::string("BAUD=115200 HANDSHAKE=RTS/CTS HARDFLOW"));
        Find<QPushButton>(w.get(), "btSaveParams")->click();
        QVERIFY(
            ReadFile(Ini()).contains(QStringLiteral("ParamsString=BAUD=115200 HANDSHAKE=RTS/CTS HARDFLOW")));
    }
};

QTEST_MAIN(TestWindow)
#include "TestWindow.moc"
