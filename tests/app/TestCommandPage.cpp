// The Command page against the simulated PIN pad: a command without a page of its own goes out with
// the items as typed and comes back named, a malformed row never reaches the link, the history sends
// again, and the command line it copies is one kestrel-cli runs.
#include "WindowFixture.h"
#include "sim/Scenario.h"
#include "sim/SimulatorRunner.h"
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>

using namespace kestrel;
using namespace kestrel::test;
using kestrel::sim::Profile;
using kestrel::sim::Scenario;
using kestrel::sim::SimulatorRunner;
using Kind = TfrMain::TStatusKind;

namespace {

// GTK has no page in the window; the rule answers it with a public EMV test card.
const char* const kTracks = R"(name: tracks
rules:
  - command: GTK
    status: 0
    items:
      PP_PAN: "4761739001010010"
      PP_CARDTYPE: "00"
)";

} // namespace

class TestCommandPage : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> fDir;
    std::unique_ptr<SimulatorRunner> fSim;
    std::unique_ptr<TfrMain> fWindow;

    template <class T> T* C(const char* AName) { return Find<T>(fWindow.get(), AName); }
    QString Log() { return C<QPlainTextEdit>("mLog")->toPlainText(); }
    QString Status() {
        return C<QLabel>("sbResponseStat")->text() + QStringLiteral(" | ") +
               C<QLabel>("sbResponseError")->text();
    }

    void Start(Scenario AScenario = {}) {
        fSim = std::make_unique<SimulatorRunner>(Profile::Graphic());
        fSim->SetTimeScale(0.01);
        fSim->SetScenario(std::move(AScenario));
        const std::string port = fSim->StartPty();
        fWindow = std::make_unique<TfrMain>(fDir->filePath(QStringLiteral("kestrel.ini")));
        fWindow->show();
        C<QComboBox>("cbxPort")->setEditText(QString::fromStdString(port));
        C<QPushButton>("btActivate")->click();
        QVERIFY2(C<QWidget>("tsCommand")->isEnabled(), qPrintable(Log()));
    }

    // The page as the operator fills it: the name, then rows of identifier, value and hexadecimal flag.
    void Fill(const QString& AName, const QList<QStringList>& AItems,
              const QList<QStringList>& ABlocks = {}) {
        C<QComboBox>("cbxAnyName")->setEditText(AName);
        auto* items = C<QTableWidget>("tbAnyItems");
        items->setRowCount(0);
        for (const auto& row : AItems) {
            C<QPushButton>("btAnyAddItem")->click();
            const int r = items->rowCount() - 1;
            items->item(r, 0)->setText(row[0]);
            items->item(r, 1)->setText(row[1]);
            items->item(r, 2)->setCheckState(row.size() > 2 ? Qt::Checked : Qt::Unchecked);
        }
        auto* blocks = C<QTableWidget>("tbAnyBlocks");
        blocks->setRowCount(0);
        for (const auto& row : ABlocks) {
            C<QPushButton>("btAnyAddBlock")->click();
            blocks->item(blocks->rowCount() - 1, 0)->setText(row[0]);
            blocks->item(blocks->rowCount() - 1, 1)
                ->setCheckState(row.size() > 1 ? Qt::Checked : Qt::Unchecked);
        }
    }

    // The copied command line with its program replaced, as a shell command.
    QString InShell(const QString& AProgram) {
        const QString line = QGuiApplication::clipboard()->text();
        if (!line.startsWith(QStringLiteral("kestrel-cli "))) return QStringLiteral("false");
        return AProgram + line.mid(QStringLiteral("kestrel-cli").size());
    }

    // The response table as "NAME=VALUE" lines.
    QStringList Answer() {
        auto* table = C<QTableWidget>("tbAnyResponse");
        QStringList rows;
        for (int r = 0; r < table->rowCount(); ++r)
            rows << table->item(r, 0)->text() + QLatin1Char('=') + table->item(r, 1)->text();
        return rows;
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

    void commandWithoutAPageIsSentAndReadByName() {
        Start(Scenario::Parse(kTracks));
        // GIX with the ids chosen in hexadecimal: the serial number comes back under its PP_ name.
        Fill(QStringLiteral("gix  get information, extended"), {{"SPE_IDLIST", "80 01", "hex"}});
        C<QPushButton>("btAnySend")->click();
        QCOMPARE(W().StatusKind(), Kind::skOk);
        QCOMPARE(Answer().size(), 1);
        QVERIFY2(Answer()[0].startsWith(QStringLiteral("PP_SERNUM=\"")), qPrintable(Answer().join('\n')));

        // GTK answered by the scenario rule: the card number is masked as the log masks it...
        Fill(QStringLiteral("GTK"), {});
        C<QPushButton>("btAnySend")->click();
        QCOMPARE(W().StatusKind(), Kind::skOk);
        const QString masked = Answer().join('\n');
        QVERIFY2(masked.contains(QStringLiteral("PP_CARDTYPE=\"00\"")), qPrintable(masked));
        QVERIFY2(masked.contains(QStringLiteral("PP_PAN=")) &&
                     !masked.contains(QStringLiteral("4761739001010010")),
                 qPrintable(masked));
        QVERIFY(!Log().contains(QStringLiteral("4761739001010010")));
        // ...and shown in clear only when the operator turned masking off.
        C<QCheckBox>("cbLogMaskCardData")->setChecked(false);
        C<QPushButton>("btAnySend")->click();
        QVERIFY2(Answer().contains(QStringLiteral("PP_PAN=\"4761739001010010\"")),
                 qPrintable(Answer().join('\n')));
    }

    void malformedRowsAreRefusedBeforeAnythingIsSent() {
        Start();
        const size_t before = fSim->CommandsHandled();
        Fill(QStringLiteral("GIX"), {{"SPE_IDLIST", "80 0G", "hex"}});
        C<QPushButton>("btAnySend")->click();
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(Status().contains(QStringLiteral("Item 1")) && Status().contains(QStringLiteral("80 0G")),
                 qPrintable(Status()));

        Fill(QStringLiteral("GIX"), {{"SPE_IDLIST", "8001", "hex"}, {"SPE_NOSUCH", "1"}});
        C<QPushButton>("btAnySend")->click();
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(Status().contains(QStringLiteral("Item 2")) &&
                     Status().contains(QStringLiteral("SPE_NOSUCH")),
                 qPrintable(Status()));

        Fill(QStringLiteral("GI"), {});
        C<QPushButton>("btAnySend")->click();
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(Status().contains(QStringLiteral("\"GI\"")), qPrintable(Status()));

        Fill(QStringLiteral("DSP"), {}, {{"GG", "hex"}});
        C<QPushButton>("btAnySend")->click();
        QVERIFY2(Status().contains(QStringLiteral("Block 1")), qPrintable(Status()));

        QVERIFY(!Log().contains(QStringLiteral("ExecAny")));
        QCOMPARE(C<QListWidget>("lbAnyHistory")->count(), 0);
        QCOMPARE(fSim->CommandsHandled(), before);
    }

    void historySendsAgainAndEdits() {
        Start();
        Fill(QStringLiteral("GIX"), {{"SPE_IDLIST", "8001", "hex"}});
        C<QPushButton>("btAnySend")->click();
        Fill(QStringLiteral("DSP"), {}, {{"HELLO"}});
        C<QPushButton>("btAnySend")->click();
        auto* history = C<QListWidget>("lbAnyHistory");
        QCOMPARE(history->count(), 2);
        QCOMPARE(history->item(0)->text(), QStringLiteral("GIX --hex SPE_IDLIST=8001"));
        QCOMPARE(history->item(1)->text(), QStringLiteral("DSP --block HELLO"));

        history->setCurrentRow(0);
        const size_t before = fSim->CommandsHandled();
        C<QPushButton>("btAnyAgain")->click();
        QCOMPARE(W().StatusKind(), Kind::skOk);
        QCOMPARE(fSim->CommandsHandled(), before + 1);
        QCOMPARE(history->count(), 3);
        QVERIFY(Answer().join('\n').startsWith(QStringLiteral("PP_SERNUM=")));
        // The page shows what was sent again, ready to change.
        QCOMPARE(C<QComboBox>("cbxAnyName")->currentText(), QStringLiteral("GIX"));
        QCOMPARE(C<QTableWidget>("tbAnyItems")->item(0, 1)->text(), QStringLiteral("8001"));

        history->setCurrentRow(1);
        C<QPushButton>("btAnyEdit")->click();
        QCOMPARE(C<QComboBox>("cbxAnyName")->currentText(), QStringLiteral("DSP"));
        QCOMPARE(C<QTableWidget>("tbAnyItems")->rowCount(), 0);
        QCOMPARE(C<QTableWidget>("tbAnyBlocks")->item(0, 0)->text(), QStringLiteral("HELLO"));
        QCOMPARE(fSim->CommandsHandled(), before + 1);
    }

    void copiedCommandRunsInKestrelCli() {
        Start();
        Fill(QStringLiteral("GIX"), {{"SPE_IDLIST", "80 01", "hex"}, {"0x0001", "x"}});
        C<QPushButton>("btAnyCopy")->click();
        QCOMPARE(W().StatusKind(), Kind::skOk);
        const QString line = QGuiApplication::clipboard()->text();
        const QString port = QString::fromStdString(fSim->Address());
        QCOMPARE(line,
                 QStringLiteral("kestrel-cli --port %1 send GIX --hex SPE_IDLIST=8001 0x0001=x").arg(port));

        // The same page with an item kestrel-cli takes, run by kestrel-cli itself on the simulated PIN pad
        // once the window has let the port go.
        Fill(QStringLiteral("GIX"), {{"SPE_IDLIST", "80 01", "hex"}});
        C<QPushButton>("btAnyCopy")->click();
        C<QPushButton>("btActivate")->click();
        QProcess cli;
        cli.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), InShell(QStringLiteral(KESTREL_CLI))});
        QVERIFY(cli.waitForFinished(60000));
        const QString out = QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError());
        QVERIFY2(cli.exitCode() == 0, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("PP_SERNUM")), qPrintable(out));
    }

    void blockingCommandIsCancelledFromTheWindow() {
        Start();
        C<QPushButton>("btOPN")->click();
        QVERIFY2(fSim->SessionOpen(), qPrintable(Log()));
        fSim->NeverAnswer();
        bool busy = false;
        WhenReady([this] { return C<QWidget>("pCancelar")->isVisible(); },
                  [&, this] {
                      busy = !C<QWidget>("tsCommand")->isEnabled();
                      C<QPushButton>("btCancel")->click();
                  });
        // GKY waits for the cardholder by the command table, without the box ticked.
        Fill(QStringLiteral("GKY"), {});
        QPointer<QWidget> strip = C<QWidget>("pCancelar");
        QTimer::singleShot(20000, fWindow.get(), [strip] {
            if (strip && strip->isVisible()) strip->hide();
        });
        C<QPushButton>("btAnySend")->click();
        QVERIFY(busy);
        QCOMPARE(W().StatusKind(), Kind::skError);
        QVERIFY2(LogEndsWithError(W(), QStringLiteral("EVexoAbecsPinPadError"),
                                  QStringLiteral("Cancelled by User")),
                 qPrintable(Log()));
        QVERIFY(C<QWidget>("tsCommand")->isEnabled());
    }

    void quotesWhatAShellWouldSplit() {
        Start();
        Fill(QStringLiteral("DSP"), {}, {{"IT'S OK  NOW"}});
        C<QCheckBox>("cbAnyBlocking")->setChecked(true);
        C<QPushButton>("btAnyCopy")->click();
        // The shell gives each word back as the page holds it.
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), InShell(QStringLiteral("printf '%s\\n'"))});
        QVERIFY(shell.waitForFinished(30000));
        const QStringList words = QString::fromUtf8(shell.readAllStandardOutput()).split(QLatin1Char('\n'));
        QCOMPARE(words.mid(2, 5), (QStringList{"send", "DSP", "--block", "IT'S OK  NOW", "--blocking"}));
    }

private:
    TfrMain& W() { return *fWindow; }
};

QTEST_MAIN(TestCommandPage)
#include "TestCommandPage.moc"
