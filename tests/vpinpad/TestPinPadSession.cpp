// The virtual PIN pad's window against the real host component over a pseudo-terminal: what the host
// puts on the display shows there, and what the user presses answers the host.
#include "HostThread.h"
#include "media/Picture.h"
#include "media/PictureCodecs.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"
#include "vpinpad/MediaPane.h"
#include "vpinpad/PinPadDisplay.h"
#include "vpinpad/PinPadKeypad.h"
#include "vpinpad/PinPadWindow.h"
#include "vpinpad/ScenarioMenu.h"
#include "vpinpad/TracePane.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <sstream>

using namespace kestrel;
using namespace kestrel::vpinpad;
using kestrel::sim::Key;
using kestrel::sim::VirtualDisplay;
using kestrel::test::THostThread;

namespace {

// Whether anything is painted in AArea besides the background (the colour of its first pixel).
bool Inked(const QImage& AScreen, const QRect& AArea) {
    const QRgb back = AScreen.pixel(AArea.topLeft());
    for (int y = AArea.top(); y <= AArea.bottom(); ++y)
        for (int x = AArea.left(); x <= AArea.right(); ++x)
            if (AScreen.pixel(x, y) != back) return true;
    return false;
}

void WriteText(const QString& APath, const char* AText) {
    QFile file(APath);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(APath));
    file.write(AText);
}

} // namespace

class TestPinPadSession : public QObject {
    Q_OBJECT

    std::unique_ptr<TPinPadWindow> fWindow;
    std::unique_ptr<THostThread> fHost;

    template <class T> T* C(const QString& AName) {
        T* found = fWindow->findChild<T*>(AName);
        if (!found) qFatal("no control named %s", qPrintable(AName));
        return found;
    }
    void Press(Key AKey) { C<QPushButton>(TPinPadKeypad::ButtonName(AKey))->click(); }
    const VirtualDisplay& Shown() { return fWindow->Display().Shown(); }
    bool WaitingFor(const char* ACommand) {
        return QTest::qWaitFor([&] { return fWindow->Runner().WaitingFor() == ACommand; }, 10000);
    }
    // The host opens the PIN pad's port and a session.
    void Connect(const QString& AProfile = QStringLiteral("graphic")) {
        TPinPadOptions options;
        options.Profile = AProfile;
        fWindow = std::make_unique<TPinPadWindow>(options);
        fWindow->show();
        QVERIFY(!fWindow->Address().isEmpty());
        fHost = std::make_unique<THostThread>();
        const std::string port = fWindow->Address().toStdString();
        QCOMPARE(fHost->RunAndWait([port](vexo::TVexoAbecsPinPad& APinPad) {
            APinPad.SetPort(port);
            APinPad.Enable();
            APinPad.OPN();
            return std::string("open");
        }),
                 std::string("open"));
    }

private slots:
    void cleanup() {
        fHost.reset();
        fWindow.reset();
    }

    void dspTextAppearsOnTheDisplay() {
        Connect();
        QCOMPARE(fHost->RunAndWait([](auto& APinPad) {
            APinPad.DSP("Hello", "World");
            return std::string("shown");
        }),
                 std::string("shown"));
        QVERIFY(QTest::qWaitFor([&] { return Shown().What == VirtualDisplay::Mode::Text; }, 5000));
        QVERIFY2(Shown().Lines.size() >= 2, Shown().Summary().c_str());
        QCOMPARE(QString::fromStdString(Shown().Lines[0]).trimmed(), QStringLiteral("Hello"));
        QCOMPARE(QString::fromStdString(Shown().Lines[1]).trimmed(), QStringLiteral("World"));
        // The text is painted in the display's grid: the first row has ink, the last row none.
        const QImage& screen = fWindow->Display().Screen();
        const int rowHeight = screen.height() / fWindow->Runner().GetProfile().TextRows;
        QVERIFY(Inked(screen, QRect(0, 0, screen.width(), rowHeight)));
        QVERIFY(!Inked(screen, QRect(0, screen.height() - rowHeight, screen.width(), rowHeight)));
        // The trace shows the command decoded and its response's return code.
        QVERIFY(QTest::qWaitFor(
            [&] { return fWindow->Trace().Lines().join('\n').contains(QStringLiteral("DSP 000")); }, 5000));
    }

    void keypadClicksAnswerGky() {
        Connect();
        const std::pair<Key, int> keys[] = {
            {Key::F2, 5}, {Key::Enter, 0}, {Key::Clear, 8}, {Key::Cancel, 13}};
        for (const auto& [key, code] : keys) {
            fHost->Run([](auto& APinPad) { return std::to_string(APinPad.GKY()); });
            QVERIFY(WaitingFor("GKY"));
            Press(key);
            QCOMPARE(fHost->Outcome(), std::to_string(code));
        }
    }

    void keyboardShortcutsPressTheSameKeys() {
        Connect();
        fHost->Run([](auto& APinPad) { return std::to_string(APinPad.GKY()); });
        QVERIFY(WaitingFor("GKY"));
        QTest::keyClick(fWindow.get(), Qt::Key_F4);
        QCOMPARE(fHost->Outcome(), std::string("7"));
    }

    void digitsAndEnterAnswerGcd() {
        Connect();
        fHost->Run(
            [](auto& APinPad) { return APinPad.GCD(vexo::TVexoAbecsMSGIDX::msgDigiteIdentificacao, 0); });
        QVERIFY(WaitingFor("GCD"));
        QVERIFY(QTest::qWaitFor([&] { return Shown().What == VirtualDisplay::Mode::Prompt; }, 5000));
        for (Key key : {Key::Digit4, Key::Digit0, Key::Digit7})
            Press(key);
        // The digits show in clear against the right edge of the row under the prompt as they are typed.
        QVERIFY(QTest::qWaitFor([&] { return Shown().Typed == "407"; }, 5000));
        int digits = int(Shown().Lines.size()) - 1;
        while (digits > 0 && Shown().Lines[size_t(digits)].empty())
            --digits;
        QVERIFY(digits > 0);
        QCOMPARE(QString::fromStdString(Shown().Lines[size_t(digits)]).right(4), QStringLiteral(" 407"));
        QCOMPARE(int(Shown().Lines[size_t(digits)].size()), Shown().Cols);
        // Painted so: ink in the right quarter of that row, none in its left half.
        const QImage& screen = fWindow->Display().Screen();
        const int rowHeight = screen.height() / Shown().Rows, top = digits * rowHeight;
        QVERIFY(Inked(screen, QRect(screen.width() * 3 / 4, top, screen.width() / 4, rowHeight)));
        QVERIFY(!Inked(screen, QRect(0, top, screen.width() / 2, rowHeight)));
        QTest::keyClick(fWindow.get(), Qt::Key_3);
        QVERIFY(QTest::qWaitFor([&] { return Shown().Typed == "4073"; }, 5000));
        Press(Key::Clear);
        QVERIFY(QTest::qWaitFor([&] { return Shown().Typed.size() < 4; }, 5000));
        Press(Key::Digit9);
        QVERIFY(QTest::qWaitFor([&] { return Shown().Typed.back() == '9'; }, 5000));
        const std::string typed = Shown().Typed;
        Press(Key::Enter);
        QCOMPARE(fHost->Outcome(), typed);
    }

    void arrowAndEnterChooseInMnu() {
        Connect();
        fHost->Run([](auto& APinPad) {
            return APinPad.MNU(std::vector<std::string>{"CREDITO", "DEBITO", "VOUCHER"}, "PAGAMENTO", 0);
        });
        QVERIFY(WaitingFor("MNU"));
        QVERIFY(QTest::qWaitFor([&] { return Shown().What == VirtualDisplay::Mode::Menu; }, 5000));
        QCOMPARE(Shown().MenuOptions.size(), size_t(3));
        QCOMPARE(Shown().Highlight, 0);
        Press(Key::Down);
        QVERIFY(QTest::qWaitFor([&] { return Shown().Highlight == 1; }, 5000));
        // The highlighted option is the inverted row.
        int row = -1;
        const auto rows = MenuRows(Shown(), Shown().Rows, row);
        QCOMPARE(QString::fromStdString(rows[size_t(row)]).trimmed(), QStringLiteral("DEBITO"));
        Press(Key::Enter);
        QCOMPARE(fHost->Outcome(), std::string("02"));
    }

    void cancelGives013() {
        Connect();
        fHost->Run([](auto& APinPad) { return APinPad.GCD(vexo::TVexoAbecsMSGIDX::msgDigiteCPF, 0); });
        QVERIFY(WaitingFor("GCD"));
        Press(Key::Digit1);
        Press(Key::Cancel);
        const std::string outcome = fHost->Outcome();
        QVERIFY2(outcome.starts_with("error: ") && outcome.find("13") != std::string::npos, outcome.c_str());
        QVERIFY2(fHost->LogHas("Response.STAT: 13"), fHost->LogText().c_str());
    }

    void keysWithNothingWaitingAreDropped() {
        Connect();
        Press(Key::F1);
        Press(Key::Digit5);
        QVERIFY(QTest::qWaitFor([&] { return fWindow->Runner().LiveLeft() == 0; }, 5000));
        fHost->Run([](auto& APinPad) { return std::to_string(APinPad.GKY()); });
        QVERIFY(WaitingFor("GKY"));
        Press(Key::F3);
        QCOMPARE(fHost->Outcome(), std::string("6"));
    }

    void faultChosenInTheMenuShowsInTheHostLog() {
        Connect();
        auto* kind = C<QComboBox>(QStringLiteral("cbxFaultKind"));
        kind->setCurrentIndex(kind->findText(QStringLiteral("crc")));
        C<QComboBox>(QStringLiteral("cbxFaultCommand"))->setCurrentText(QStringLiteral("GIN"));
        C<QPushButton>(QStringLiteral("btAddFault"))->click();
        // Another command passes untouched; the named one gets a damaged response, which the host refuses
        // with NAK and then reads again.
        QCOMPARE(fHost->RunAndWait([](auto& APinPad) {
            APinPad.DSP("no fault", "");
            return std::string("ok");
        }),
                 std::string("ok"));
        QVERIFY(!fHost->LogHas("TX -> NAK"));
        QCOMPARE(fHost->RunAndWait([](auto& APinPad) {
            APinPad.GIN(0);
            return std::string("ok");
        }),
                 std::string("ok"));
        QVERIFY2(fHost->LogHas("TX -> NAK"), fHost->LogText().c_str());
        QVERIFY(QTest::qWaitFor([&] { return fWindow->Trace().Stats().Naks > 0; }, 5000));
    }

    void aDroppedLineShowsItsNewAddress() {
        Connect();
        const QString before = fWindow->Address();
        auto* kind = C<QComboBox>(QStringLiteral("cbxFaultKind"));
        kind->setCurrentIndex(kind->findText(QStringLiteral("hangup")));
        C<QPushButton>(QStringLiteral("btAddFault"))->click();
        const std::string outcome = fHost->RunAndWait([](auto& APinPad) {
            APinPad.SetTimeOut(1000);
            APinPad.GIN(0);
            return std::string("answered");
        });
        QVERIFY2(outcome.starts_with("error: "), outcome.c_str());
        QVERIFY(QTest::qWaitFor([&] { return fWindow->Address() != before && !fWindow->Address().isEmpty(); },
                                5000));
        QCOMPARE(C<QLineEdit>(QStringLiteral("edAddress"))->text(), fWindow->Address());
    }

    void pictureUploadedByTheHostAppearsAfterDsi() {
        Connect();
        const media::Picture red = media::MakePicture(80, 60, 0xFF0000FFu);
        const std::string png = media::EncodePng(red);
        QCOMPARE(fHost->RunAndWait([png](auto& APinPad) {
            std::stringstream file(png);
            APinPad.LoadMedia("RED", file, vexo::TVexoAbecsPinPadMediaType::mtPNG);
            APinPad.DSI("RED");
            return std::string("shown");
        }),
                 std::string("shown"));
        QVERIFY(QTest::qWaitFor([&] { return Shown().What == VirtualDisplay::Mode::Picture; }, 5000));
        const QImage& picture = fWindow->Display().PictureShown();
        QCOMPARE(picture.size(), QSize(80, 60));
        // At the display's own pixels: 80 x 60 in the middle of 320 x 240.
        const QImage& screen = fWindow->Display().Screen();
        QCOMPARE(screen.size(), QSize(320, 240));
        QCOMPARE(QColor(screen.pixel(160, 120)), QColor(Qt::red));
        QVERIFY(QColor(screen.pixel(10, 10)) != QColor(Qt::red));
        // The media memory lists it.
        auto* list = C<QTreeWidget>(QStringLiteral("tvMedia"));
        QVERIFY(QTest::qWaitFor([&] { return list->topLevelItemCount() == 1; }, 5000));
        QCOMPARE(list->topLevelItem(0)->text(0).trimmed(), QStringLiteral("RED"));
        QCOMPARE(list->topLevelItem(0)->text(1).remove(QRegularExpression(QStringLiteral("\\D"))),
                 QString::number(png.size()));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("PNG"));
    }

    void aLargePictureIsShrunkToTheDisplay() {
        Connect();
        const std::string png = media::EncodePng(media::MakePicture(640, 240, 0x00FF00FFu));
        QCOMPARE(fHost->RunAndWait([png](auto& APinPad) {
            std::stringstream file(png);
            APinPad.LoadMedia("WIDE", file, vexo::TVexoAbecsPinPadMediaType::mtPNG);
            APinPad.DSI("WIDE");
            return std::string("shown");
        }),
                 std::string("shown"));
        QVERIFY(QTest::qWaitFor([&] { return !fWindow->Display().PictureShown().isNull(); }, 5000));
        QCOMPARE(fWindow->Display().PictureShown().size(), QSize(320, 120));
    }

    // The trace keeps the newest frame in sight through an upload's long lines, stays where a user who
    // scrolled up left it, and follows again once they are back at the end.
    void traceFollowsTheNewestFrameUnlessScrolledUp() {
        Connect();
        auto* trace = C<QPlainTextEdit>(QStringLiteral("mTrace"));
        QScrollBar* bar = trace->verticalScrollBar();
        const auto sendAndSettle = [&](const std::string& AText) {
            QCOMPARE(fHost->RunAndWait([AText](auto& APinPad) {
                APinPad.DSP(AText);
                return std::string("ok");
            }),
                     std::string("ok"));
            QVERIFY(QTest::qWaitFor(
                [&] { return trace->toPlainText().contains(QString::fromStdString(AText)); }, 5000));
            QTest::qWait(50);
        };
        media::Picture noise = media::MakePicture(64, 64);
        for (size_t i = 0; i < noise.Pixels.size(); ++i)
            noise.Pixels[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
        const std::string png = media::EncodePng(noise);
        // The user watches the media memory fill while the file goes in, then comes back to the trace.
        auto* tabs = C<QTabWidget>(QStringLiteral("pgcSide"));
        tabs->setCurrentIndex(1);
        QCOMPARE(fHost->RunAndWait([png](auto& APinPad) {
            std::stringstream file(png);
            APinPad.LoadMedia("NOISE", file, vexo::TVexoAbecsPinPadMediaType::mtPNG);
            return std::string("loaded");
        }),
                 std::string("loaded"));
        QTest::qWait(100);
        tabs->setCurrentIndex(0);
        for (int i = 0; i < 3; ++i)
            sendAndSettle("AFTER UPLOAD " + std::to_string(i));
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(0); // the user scrolls up to read
        sendAndSettle("WHILE READING");
        QCOMPARE(bar->value(), 0);
        bar->setValue(bar->maximum());
        sendAndSettle("BACK AT THE END");
        QCOMPARE(bar->value(), bar->maximum());
    }

    void stoppingClearsTheDisplay() {
        Connect();
        QCOMPARE(fHost->RunAndWait([](auto& APinPad) {
            APinPad.DSP("STILL HERE");
            return std::string("ok");
        }),
                 std::string("ok"));
        QVERIFY(QTest::qWaitFor([&] { return Shown().Render(16).find("STILL HERE") != std::string::npos; },
                                5000));
        fHost.reset();
        fWindow->StopLink();
        QVERIFY(QTest::qWaitFor([&] { return Shown().Render(16).find("STILL HERE") == std::string::npos; },
                                5000));
        for (const auto& line : Shown().Lines)
            QVERIFY2(line.find_first_not_of(' ') == std::string::npos, line.c_str());
    }

    void swipedCardDataIsMaskedInTheTraceUnlessAskedFor() {
        Connect();
        fHost->Run([](auto& APinPad) {
            APinPad.CEX(false, true, false, false, false, 0, "");
            return std::string("swiped");
        });
        QVERIFY(WaitingFor("CEX"));
        C<QPushButton>(QStringLiteral("btSwipe"))->click();
        QCOMPARE(fHost->Outcome(), std::string("swiped"));
        // The test card's number, 4761739001010010: the PIN pad masks with 0604, the trace on top of that.
        QVERIFY(QTest::qWaitFor(
            [&] { return fWindow->Trace().Lines().join('\n').contains(QStringLiteral("CEX 000")); }, 5000));
        const QString masked = fWindow->Trace().Lines().join('\n');
        QVERIFY2(!masked.contains(QStringLiteral("4761739001010010")), qPrintable(masked));
        C<QCheckBox>(QStringLiteral("cbShowCardData"))->setChecked(true);
        const QString shown = fWindow->Trace().Lines().join('\n');
        QVERIFY2(shown.contains(QStringLiteral("PP_TRK2INC")), qPrintable(shown));

        // The saved trace holds what the pane shows.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.trace"));
        fWindow->Trace().SetSaveChooser([path] { return path; });
        C<QPushButton>(QStringLiteral("btSaveTrace"))->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(file.readAll());
        QVERIFY(saved.startsWith(fWindow->Trace().Lines().first()));
        QVERIFY(saved.contains(QStringLiteral("# commands: ")));
    }

    void anotherProfileIsAFreshPinPadOnTheSamePort() {
        QTemporaryDir dir;
        TPinPadOptions options;
        options.Link = dir.filePath(QStringLiteral("pinpad"));
        fWindow = std::make_unique<TPinPadWindow>(options);
        QCOMPARE(fWindow->Address(), options.Link);
        auto* profile = C<QComboBox>(QStringLiteral("cbxProfile"));
        profile->setCurrentText(QStringLiteral("text"));
        QMetaObject::invokeMethod(profile, "activated", Q_ARG(int, profile->currentIndex()));
        QCOMPARE(fWindow->Runner().GetProfile().Name, std::string("text"));
        QCOMPARE(fWindow->Address(), options.Link);
        QCOMPARE(fWindow->Display().Screen().size().width() / 16, 12);
        fHost = std::make_unique<THostThread>();
        const std::string port = options.Link.toStdString();
        QCOMPARE(fHost->RunAndWait([port](auto& APinPad) {
            APinPad.SetPort(port);
            APinPad.Enable();
            APinPad.OPN();
            APinPad.DSP("text only", "");
            return APinPad.GetPinPadCapabilities().DisplayIsGraphic ? std::string("graphic")
                                                                    : std::string("text");
        }),
                 std::string("text"));
        // A profile that does not load leaves the PIN pad as it was, and says why.
        profile->setCurrentText(QStringLiteral("/no/such/profile"));
        QMetaObject::invokeMethod(profile, "activated", Q_ARG(int, profile->currentIndex()));
        QCOMPARE(fWindow->Runner().GetProfile().Name, std::string("text"));
        QVERIFY(fWindow->findChild<QLabel*>(QStringLiteral("lbLinkState"))
                    ->text()
                    .startsWith(QStringLiteral("Cannot load")));
    }

    void scenarioMenuLoadsAFileAndTellsWhatIsWrongWithABadOne() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("tracks.yaml"));
        const QString bad = dir.filePath(QStringLiteral("bad.yaml"));
        WriteText(good, "name: tracks\nrules:\n  - command: GTK\n    status: 0\n    items:\n"
                        "      PP_CARDTYPE: \"03\"\n");
        WriteText(bad, "name: broken\nrules:\n  - command: GTK\n  - command: GIX\n    status: many\n");
        TPinPadOptions options;
        options.Link = dir.filePath(QStringLiteral("pinpad"));
        fWindow = std::make_unique<TPinPadWindow>(options);
        auto& menu = fWindow->ScenarioMenu();
        QStringList errors;
        QString chosen;
        menu.SetErrorBox([&](const QString& AText) { errors << AText; });
        menu.SetFileChooser([&] { return chosen; });
        auto* label = C<QLabel>(QStringLiteral("lbScenario"));
        QCOMPARE(label->text(), QStringLiteral("No scenario"));

        chosen = good;
        C<QAction>(QStringLiteral("actScenarioLoad"))->trigger();
        QVERIFY(errors.isEmpty());
        QCOMPARE(label->text(), QStringLiteral("Scenario: tracks (tracks.yaml)"));
        QCOMPARE(fWindow->Address(), options.Link);
        const std::string port = options.Link.toStdString();
        const auto cardType = [port](vexo::TVexoAbecsPinPad& APinPad) {
            APinPad.SetPort(port);
            APinPad.Enable();
            std::string outcome;
            try {
                vexo::TVexoAbecsAnyCommand gtk;
                gtk.Name = "GTK";
                const auto value = APinPad.ExecAny(gtk).Value(vexo::PP_CARDTYPE);
                outcome = value ? std::string(value->begin(), value->end()) : std::string("none");
            } catch (const std::exception& E) {
                outcome = E.what();
            }
            APinPad.Disable();
            return outcome;
        };
        fHost = std::make_unique<THostThread>();
        QCOMPARE(fHost->RunAndWait(cardType), std::string("03"));

        // A file with a mistake: its line and rule are told, and the PIN pad keeps the scenario it had.
        chosen = bad;
        C<QAction>(QStringLiteral("actScenarioLoad"))->trigger();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("bad.yaml:5")) &&
                     errors[0].contains(QStringLiteral("rule 2")),
                 qPrintable(errors[0]));
        QCOMPARE(label->text(), QStringLiteral("Scenario: tracks (tracks.yaml)"));
        QCOMPARE(fHost->RunAndWait(cardType), std::string("03"));

        C<QAction>(QStringLiteral("actScenarioClear"))->trigger();
        QCOMPARE(label->text(), QStringLiteral("No scenario"));
        QVERIFY(fHost->RunAndWait(cardType) != std::string("03"));
    }
};

QTEST_MAIN(TestPinPadSession)
#include "TestPinPadSession.moc"
