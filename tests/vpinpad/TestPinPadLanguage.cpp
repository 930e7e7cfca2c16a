// The virtual PIN pad's window under LANG=pt_BR.UTF-8: Portuguese captions, the keys labelled as Brazilian
// PIN pads label them, and the PIN pad's own screen left as the simulator draws it.
#include "app/Language.h"
#include "vpinpad/PinPadWindow.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

using namespace kestrel::vpinpad;

class TestPinPadLanguage : public QObject {
    Q_OBJECT

    template <class T> static T* Find(QObject* AParent, const char* AName) {
        T* found = AParent->findChild<T*>(QString::fromLatin1(AName));
        if (!found) qFatal("no control named %s", AName);
        return found;
    }

private slots:
    void initTestCase() {
        QCOMPARE(qgetenv("LANG"), QByteArray("pt_BR.UTF-8"));
        QCOMPARE(kestrel::InstallLanguage(*qApp, QStringLiteral("kestrel-pinpad"), QString()), QString());
        QCOMPARE(kestrel::LanguageInUse(), QStringLiteral("português (Brasil)"));
    }

    void captionsAndKeysArePortuguese() {
        TPinPadOptions options;
        options.Start = false;
        TPinPadWindow window(options);
        QCOMPARE(window.windowTitle(), QStringLiteral("PinPad virtual do Kestrel"));
        auto* tabs = Find<QTabWidget>(&window, "pgcSide");
        QCOMPARE(tabs->tabText(0), QStringLiteral("Trace"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Mídia"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Falhas"));
        QCOMPARE(Find<QAbstractButton>(&window, "btStart")->text(), QStringLiteral("Iniciar"));
        QCOMPARE(Find<QAbstractButton>(&window, "btSwipe")->text(), QStringLiteral("Passar"));
        QCOMPARE(Find<QGroupBox>(&window, "gbCard")->title(), QStringLiteral("Cartão"));
        QCOMPARE(Find<QLabel>(&window, "lbLinkState")->text(),
                 QStringLiteral("Parado: nenhuma automação alcança o PinPad"));
        // The keys as a Brazilian PIN pad has them printed.
        QCOMPARE(Find<QAbstractButton>(&window, "btKeyCancel")->text(), QStringLiteral("ANULA"));
        QCOMPARE(Find<QAbstractButton>(&window, "btKeyClear")->text(), QStringLiteral("LIMPA"));
        QCOMPARE(Find<QAbstractButton>(&window, "btKeyEnter")->text(), QStringLiteral("ENTRA"));
        QCOMPARE(Find<QAbstractButton>(&window, "btKeyF1")->text(), QStringLiteral("F1"));
        // Command names stay the protocol's in the fault menu.
        auto* commands = window.findChild<QComboBox*>(QStringLiteral("cbxFaultCommand"));
        QVERIFY(commands);
        QCOMPARE(commands->itemText(0), QStringLiteral("próximo comando"));
        QCOMPARE(commands->itemText(1), QStringLiteral("OPN"));
    }
};

QTEST_MAIN(TestPinPadLanguage)
#include "TestPinPadLanguage.moc"
