// Renders the virtual PIN pad and the Kestrel window side by side, in a live session between them, to a
// PNG file. Run under a real (or virtual) X server so the picture shows the platform's own style and fonts.
#include "app/PinPadConfig.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"
#include "vpinpad/PinPadKeypad.h"
#include "vpinpad/PinPadWindow.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

template <class T> T* Control(QWidget* AWindow, const QString& AName) {
    T* found = AWindow->findChild<T*>(AName);
    if (!found) qFatal("no control named %s", qPrintable(AName));
    return found;
}

void Settle(int AMilliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < AMilliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Presses a PIN-pad key once the PIN pad waits for the command, from inside the host's wait.
void PressWhenWaiting(kestrel::vpinpad::TPinPadWindow& APinPad, const char* ACommand,
                      kestrel::sim::Key AKey) {
    auto* timer = new QTimer(&APinPad);
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, &APinPad, [&APinPad, timer, ACommand, AKey] {
        if (APinPad.Runner().WaitingFor() != ACommand) return;
        timer->stop();
        timer->deleteLater();
        Control<QPushButton>(&APinPad, kestrel::vpinpad::TPinPadKeypad::ButtonName(AKey))->click();
    });
    timer->start();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    kestrel::vpinpad::TPinPadWindow pinpad(kestrel::vpinpad::TPinPadOptions{});
    pinpad.resize(980, 760);
    pinpad.show();
    QTemporaryDir settings;
    kestrel::TfrMain kestrel(settings.filePath(QStringLiteral("kestrel.ini")));
    kestrel.show();
    Settle(300);

    Control<QComboBox>(&kestrel, QStringLiteral("cbxPort"))->setEditText(pinpad.Address());
    Control<QPushButton>(&kestrel, QStringLiteral("btActivate"))->click();
    Control<QPushButton>(&kestrel, QStringLiteral("btOPN"))->click();
    Control<QPushButton>(&kestrel, QStringLiteral("btDSP"))->click();
    PressWhenWaiting(pinpad, "GKY", kestrel::sim::Key::F1);
    Control<QPushButton>(&kestrel, QStringLiteral("btGKY"))->click();
    Control<QTabWidget>(&kestrel, QStringLiteral("pgcCommands"))->setCurrentIndex(4);
    Control<QTabWidget>(&kestrel, QStringLiteral("pgMedia"))->setCurrentIndex(1);
    Control<QPushButton>(&kestrel, QStringLiteral("btSendQRCode"))->click();
    Settle(800);

    const QPixmap left = pinpad.grab(), right = kestrel.grab();
    constexpr int kGap = 24;
    QImage canvas(left.width() + right.width() + 3 * kGap, std::max(left.height(), right.height()) + 2 * kGap,
                  QImage::Format_RGB32);
    canvas.fill(QColor(0xD9, 0xDD, 0xE3));
    QPainter painter(&canvas);
    painter.drawPixmap(kGap, kGap, left);
    painter.drawPixmap(left.width() + 2 * kGap, kGap, right);
    painter.end();
    if (!canvas.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const bool live = kestrel.PinPad().IsEnabled() &&
                      pinpad.Runner().Display().What == kestrel::sim::VirtualDisplay::Mode::Picture;
    if (!live) std::fprintf(stderr, "the session did not reach the QR picture\n");
    return live ? 0 : 1;
}
