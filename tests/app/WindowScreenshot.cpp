// Renders the window, after a short session against the in-process simulated PIN pad, to a PNG file.
// Run under a real (or virtual) X server so the picture shows the platform's own style and fonts.
#include "app/Language.h"
#include "app/PinPadConfig.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

template <class T> T* Control(QWidget* AWindow, const char* AName) {
    return AWindow->findChild<T*>(QString::fromLatin1(AName));
}

void Settle(int AMilliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < AMilliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// GIX of three ids, then the same again from the history: the Command page with an answer and a history.
void SendFromCommandPage(QWidget& AWindow) {
    Control<QComboBox>(&AWindow, "cbxAnyName")->setEditText(QStringLiteral("GIX"));
    Control<QPushButton>(&AWindow, "btAnyAddItem")->click();
    auto* items = Control<QTableWidget>(&AWindow, "tbAnyItems");
    items->item(0, 0)->setText(QStringLiteral("SPE_IDLIST"));
    items->item(0, 1)->setText(QStringLiteral("8001 8002 8003"));
    items->item(0, 2)->setCheckState(Qt::Checked);
    Control<QPushButton>(&AWindow, "btAnySend")->click();
    Control<QPushButton>(&AWindow, "btAnyAgain")->click();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // In the language the environment names, as the program itself would be (LANG=pt_BR.UTF-8).
    kestrel::InstallLanguage(app, QStringLiteral("kestrel"), QString());
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [PAGE]\n", argv[0]);
        return 2;
    }
    kestrel::sim::SimulatorRunner sim(kestrel::sim::Profile::Graphic());
    sim.SetTimeScale(0.05);
    const std::string port = sim.StartPty();

    QTemporaryDir settings;
    kestrel::TfrMain window(settings.filePath(QStringLiteral("kestrel.ini")));
    window.show();
    Settle(300);

    Control<QComboBox>(&window, "cbxPort")->setEditText(QString::fromStdString(port));
    Control<QPushButton>(&window, "btActivate")->click();
    Control<QPushButton>(&window, "btOPN")->click();
    Control<QPushButton>(&window, "btDSP")->click();
    sim.PressKey(4);
    Control<QPushButton>(&window, "btGKY")->click();
    auto* gix = Control<QListWidget>(&window, "lbGIXParams");
    for (int row : {0, 2, 3})
        gix->item(row)->setSelected(true);
    Control<QPushButton>(&window, "btGIX")->click();
    Control<QPushButton>(&window, "btVexoPinPadCapabilities")->click();
    auto* pages = Control<QTabWidget>(&window, "pgcCommands");
    const int page = argc == 3 ? std::atoi(argv[2]) : 2;
    if (pages->widget(page) == Control<QWidget>(&window, "tsCommand")) SendFromCommandPage(window);
    pages->setCurrentIndex(page);
    Settle(500);

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return window.PinPad().IsEnabled() ? 0 : 1;
}
