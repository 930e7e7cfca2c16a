// The window as a Brazilian desk shows it: run with LANG=pt_BR.UTF-8, the program's own catalogue and Qt's
// are installed as the program installs them, and every caption on every page comes out in Portuguese.
#include "WindowFixture.h"
#include "app/Language.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QTabWidget>
#include <QXmlStreamReader>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// The catalogue's source texts whose translation differs, by context: one of them on screen means a text
// that was marked for translation and still reached the window in English.
QMap<QString, QString> Catalogue(const QString& AContext) {
    QFile file(QStringLiteral(KESTREL_TS_FILE));
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", KESTREL_TS_FILE);
    QMap<QString, QString> texts;
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("name")) context = xml.readElementText();
        if (xml.name() == QLatin1String("source")) source = xml.readElementText();
        if (xml.name() == QLatin1String("translation")) {
            const QString translation = xml.readElementText();
            if (context == AContext && translation != source) texts.insert(source, translation);
        }
    }
    return texts;
}

// Every caption a person reads on a page: buttons, check boxes, frames, labels, tab captions, hints.
QStringList Captions(QWidget* APage) {
    QStringList texts;
    for (auto* button : APage->findChildren<QAbstractButton*>())
        texts << button->text() << button->toolTip();
    for (auto* group : APage->findChildren<QGroupBox*>())
        texts << group->title();
    for (auto* label : APage->findChildren<QLabel*>())
        texts << label->text();
    for (auto* tabs : APage->findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i);
    texts.removeAll(QString());
    return texts;
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> fDir;
    std::unique_ptr<TfrMain> NewWindow() {
        return std::make_unique<TfrMain>(fDir->filePath(QStringLiteral("kestrel.ini")));
    }

private slots:
    void initTestCase() {
        IsolateSerialProbe();
        QCOMPARE(qgetenv("LANG"), QByteArray("pt_BR.UTF-8"));
        QCOMPARE(InstallLanguage(*qApp, QStringLiteral("kestrel"), QString()), QString());
    }
    void init() { fDir = std::make_unique<QTemporaryDir>(); }

    void everyPageShowsPortugueseCaptions() {
        auto w = NewWindow();
        auto* pages = Find<QTabWidget>(w.get(), "pgcCommands");
        const QStringList tabs = {QStringLiteral("Configuração"), QStringLiteral("Abertura"),
                                  QStringLiteral("Informações"),  QStringLiteral("Display"),
                                  QStringLiteral("Multimídia"),   QStringLiteral("Captura / Eventos"),
                                  QStringLiteral("Comando"),      QStringLiteral("Encerramento")};
        QCOMPARE(pages->count(), tabs.size());
        for (int i = 0; i < pages->count(); ++i)
            QCOMPARE(pages->tabText(i), tabs[i]);
        QCOMPARE(w->windowTitle(), QStringLiteral("Teste ABECS PinPad"));

        // One caption of each page, written out, so a catalogue that lost its translations fails here too.
        const std::pair<const char*, const char*> buttons[] = {
            {"btDetectPinPad", "Detectar PinPad"},
            {"btSaveParams", "Salvar Parâmetros"},
            {"btActivate", "Ativar"},
            {"btOPN", "Abrir (OPN)"},
            {"btGIX", "GIX"},
            {"btDSPClear", "Limpar o display"},
            {"btLMF", "Listar (LMF)"},
            {"btSendQRCode", "Enviar ao PinPad"},
            {"btCEX", "CEX"},
            {"cbCEXVerifyKey", "Verificar tecla"},
            {"btCLO", "Encerrar (CLO)"},
            {"btAnySend", "Enviar"},
            {"btAnyCopy", "Copiar como comando do kestrel-cli"},
            {"btCancel", "Cancelar Operação"},
        };
        for (const auto& [name, caption] : buttons)
            QCOMPARE(Find<QAbstractButton>(w.get(), name)->text(), QString::fromUtf8(caption));
        QCOMPARE(Find<QLabel>(w.get(), "sbResponseError")->text(), QStringLiteral("ERRO:"));
        QCOMPARE(Find<QLabel>(w.get(), "pLMFMediaTitle")->text(), QStringLiteral("Arquivos de mídia"));
        QVERIFY(Find<QLabel>(w.get(), "pMediaInfo")->text().startsWith(QStringLiteral("l:")));

        // Nothing marked for translation is left in English anywhere in the window.
        const QMap<QString, QString> english = Catalogue(QStringLiteral("kestrel::TfrMain"));
        QVERIFY(english.size() > 80);
        QStringList shown = Captions(w.get());
        shown << Find<QPlainTextEdit>(w.get(), "mCEXResponse")->toPlainText();
        for (const QString& text : shown)
            QVERIFY2(!english.contains(text), qPrintable(QStringLiteral("still in English: ") + text));
    }

    void protocolNamesAndThePinPadsTextsStayAsTheyAre() {
        auto w = NewWindow();
        // Command names, PP_ identifiers and the prompts of the GCD table are the protocol's words.
        auto* params = Find<QListWidget>(w.get(), "lbGIXParams");
        QVERIFY(params->count() > 0);
        QVERIFY(params->item(0)->text().startsWith(QStringLiteral("PP_")));
        QCOMPARE(Find<QComboBox>(w.get(), "cbxGCD")->itemText(0), QStringLiteral("msgDigiteDDD"));
        QCOMPARE(Find<QComboBox>(w.get(), "cbxMsgAlign")->itemText(3), QStringLiteral("alCenter"));
        // What goes to the PIN pad's display is the operator's data: it stays as typed, in any language.
        QCOMPARE(Find<QLineEdit>(w.get(), "edtDSPMsg1")->text(), QStringLiteral("PROJETO VEXO"));
        QCOMPARE(Find<QLineEdit>(w.get(), "edtRMCMsg1")->text(), QStringLiteral("OPERATION "));
        // The CEX legend translates the words around the event codes, never the codes.
        const QString legend = Find<QPlainTextEdit>(w.get(), "mCEXResponse")->toPlainText();
        QVERIFY2(legend.startsWith(QStringLiteral("Identificação do evento:")), qPrintable(legend));
        for (const char* code : {"00", "04", "13", "90", "94"})
            QVERIFY(legend.contains(QStringLiteral("\u201C%1\u201D").arg(QLatin1String(code))));
    }

    void aboutNamesTheLanguageInUseAndQtsOwnButtonsFollow() {
        auto w = NewWindow();
        QString shown;
        w->SetMessageBox([&shown](const QString& AText) { shown = AText; });
        Find<QPushButton>(w.get(), "btAbout")->click();
        QVERIFY2(shown.contains(QStringLiteral("Idioma: português (Brasil)")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("Arquivo de configurações: ")), qPrintable(shown));
        // Qt's own dialogs (the Yes/No box, the file dialog) speak Portuguese as well.
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
        QVERIFY2(box.button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("Cancelar")),
                 qPrintable(box.button(QDialogButtonBox::Cancel)->text()));
        QVERIFY2(box.button(QDialogButtonBox::Yes)->text().contains(QStringLiteral("Sim")),
                 qPrintable(box.button(QDialogButtonBox::Yes)->text()));
    }

    void statesAndMessagesComeOutInPortugueseToo() {
        auto w = NewWindow();
        QString shown;
        w->SetMessageBox([&shown](const QString& AText) { shown = AText; });
        // No port at all: detection ends at once with its message.
        Find<QPushButton>(w.get(), "btDetectPinPad")->click();
        QCOMPARE(shown, QStringLiteral("PinPad não encontrado"));
        // The status bar after an error names the error, never a success, in any language.
        Find<QComboBox>(w.get(), "cbxPort")->setEditText(fDir->filePath(QStringLiteral("no/such/port")));
        Find<QPushButton>(w.get(), "btActivate")->click();
        QCOMPARE(Find<QPushButton>(w.get(), "btActivate")->text(), QStringLiteral("Ativar"));
        QVERIFY(!Find<QLabel>(w.get(), "sbResponseStat")->text().startsWith(QStringLiteral("STAT: 0")));
        QVERIFY(!Find<QLabel>(w.get(), "sbResponseError")->text().isEmpty());
    }
};

QTEST_MAIN(TestLanguage)
#include "TestLanguage.moc"
