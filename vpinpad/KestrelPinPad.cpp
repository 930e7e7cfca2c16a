// kestrel-pinpad: a simulated ABECS PIN pad that a person sees and presses.
#include "app/Language.h"
#include "sim/ControlLine.h"
#include "util/NumberText.h"
#include "util/Signals.h"
#include "vpinpad/PinPadWindow.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[]) {
    // SIGINT, SIGTERM and SIGHUP end the program through the normal path, so the pty link is removed.
    // Blocked before any thread starts, so every thread leaves them to the descriptor.
    const int signalFd = vexo::BlockStopSignals(true);
    QApplication app(argc, argv);
    if (signalFd >= 0) {
        auto* notifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
    }
    app.setApplicationName(QStringLiteral("kestrel-pinpad"));
    if (const QString refused = kestrel::InstallLanguage(app, QStringLiteral("kestrel-pinpad"),
                                                         kestrel::LanguageArgument(argc, argv));
        !refused.isEmpty())
        std::fprintf(stderr, "kestrel-pinpad: %s\n", qPrintable(refused));
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "KestrelPinPad",
        "A simulated ABECS PIN pad in a window: its display, keypad and card reader, the frame trace, the "
        "media memory and link faults on demand."));
    parser.addHelpOption();
    const QCommandLineOption pty(
        QStringLiteral("pty"),
        QCoreApplication::translate("KestrelPinPad", "serve on a new pseudo-terminal (the default)"));
    const QCommandLineOption link(
        QStringLiteral("link"),
        QCoreApplication::translate("KestrelPinPad",
                                    "with a pseudo-terminal: make a symbolic link to it at PATH"),
        QStringLiteral("PATH"));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QCoreApplication::translate("KestrelPinPad", "serve on TCP at [HOST:]PORT (0: any port)"),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption profile(
        QStringLiteral("profile"),
        QCoreApplication::translate("KestrelPinPad",
                                    "built-in profile (graphic, graphic-gif, text, ...) or file"),
        QStringLiteral("NAME"), QStringLiteral("graphic"));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QCoreApplication::translate("KestrelPinPad", "pace the link to N bit/s (0: unpaced)"),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption stopped(
        QStringLiteral("stopped"),
        QCoreApplication::translate("KestrelPinPad", "open the window without serving"));
    const QCommandLineOption right(
        QStringLiteral("right"),
        QCoreApplication::translate("KestrelPinPad",
                                    "open at the right edge of the screen, beside a host's window"));
    const QCommandLineOption lang(QStringLiteral("lang"), kestrel::LanguageOptionHelp(),
                                  QStringLiteral("LANGUAGE"));
    parser.addOptions({pty, link, tcp, profile, baud, stopped, right, lang});
    parser.process(app);

    kestrel::vpinpad::TPinPadOptions options;
    if (parser.isSet(tcp) && (parser.isSet(pty) || parser.isSet(link))) {
        std::fprintf(stderr, "kestrel-pinpad: --tcp does not go with --pty or --link\n");
        return 2;
    }
    if (parser.isSet(tcp)) {
        options.Transport = kestrel::vpinpad::TLinkPanel::trTcp;
        options.Tcp = parser.value(tcp);
    }
    options.Link = parser.value(link);
    options.Profile = parser.value(profile);
    try {
        options.Baud = static_cast<unsigned>(
            vexo::ParseInteger(parser.value(baud).toStdString(), "--baud", 0, kestrel::sim::kMaxLineRate));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrel-pinpad: --baud takes a number of bits per second (%s)\n", e.what());
        return 2;
    }
    options.Start = !parser.isSet(stopped);
    try {
        kestrel::vpinpad::TPinPadWindow window(options);
        if (parser.isSet(right))
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect free = screen->availableGeometry();
                window.adjustSize();
                window.move(std::max(free.left(), free.right() + 1 - window.width()), free.top());
            }
        window.show();
        // The address goes to standard output, as kestrel-sim gives it, so scripts can wait for it.
        if (!window.Address().isEmpty()) std::printf("%s\n", qPrintable(window.Address()));
        std::fflush(stdout);
        return app.exec();
    } catch (const std::exception& E) {
        std::fprintf(stderr, "kestrel-pinpad: %s\n", E.what());
        return 1;
    }
}
