// The test tool's entry: answer --help and --version, or create the main window and run its event loop
// until it closes.
#include "app/Language.h"
#include "app/PinPadConfig.h"
#include "util/Exception.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QPointer>
#include <cstdio>

namespace {

// Every handler already runs under the window's guard; this catches whatever else would otherwise cross
// Qt's event loop and shows it the same way.
class TKestrelApplication : public QApplication {
public:
    using QApplication::QApplication;
    QPointer<kestrel::TfrMain> MainWindow;

    bool notify(QObject* AReceiver, QEvent* AEvent) override {
        try {
            return QApplication::notify(AReceiver, AEvent);
        } catch (const std::exception& E) {
            if (MainWindow) MainWindow->ApplicationEvents1Exception(E);
        } catch (...) {
            if (MainWindow) MainWindow->ApplicationEvents1Exception(vexo::Exception("Unknown error"));
        }
        return false;
    }
};

void Describe(QCoreApplication& AApp, QCommandLineParser& AParser) {
    AApp.setApplicationName(QStringLiteral("kestrel"));
    AApp.setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    AParser.setApplicationDescription(QCoreApplication::translate(
        "Kestrel",
        "Kestrel drives a PIN pad that speaks the ABECS protocol command by command, from a window with one "
        "page per group of commands, and logs every exchange.\n\n"
        "Its settings are kept in kestrel.ini beside the program when that folder can be written, otherwise "
        "in $XDG_CONFIG_HOME/kestrel/kestrel.ini (by default ~/.config/kestrel/kestrel.ini); a log file "
        "named without a folder is written beside the settings file. The About button names the settings "
        "file in use.\n\n"
        "Serial and USB-serial ports belong to the dialout group: add yourself to it to use them."));
    AParser.addHelpOption();
    AParser.addVersionOption();
    // Read before the parser runs (LanguageArgument); declared here so the parser takes it and --help shows
    // it.
    AParser.addOption(QCommandLineOption(QStringLiteral("lang"), kestrel::LanguageOptionHelp(),
                                         QStringLiteral("LANGUAGE")));
}

} // namespace

int main(int argc, char* argv[]) {
    {
        // The window's application needs a display; --help and --version must not, so they are answered
        // before it exists.
        QCoreApplication early(argc, argv);
        kestrel::InstallLanguage(early, QStringLiteral("kestrel"), kestrel::LanguageArgument(argc, argv));
        QCommandLineParser parser;
        Describe(early, parser);
        parser.parse(early.arguments());
        if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    }
    TKestrelApplication app(argc, argv);
    if (const QString refused =
            kestrel::InstallLanguage(app, QStringLiteral("kestrel"), kestrel::LanguageArgument(argc, argv));
        !refused.isEmpty())
        std::fprintf(stderr, "kestrel: %s\n", qPrintable(refused));
    // Anything left once Qt has taken its own options (-platform, -style...) is a mistake.
    QCommandLineParser parser;
    Describe(app, parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate("Kestrel", "kestrel: unexpected argument '%1'; "
                                                                       "see kestrel --help")
                                    .arg(parser.positionalArguments().constFirst())));
        return 1;
    }
    app.setDesktopFileName(QStringLiteral("org.kestrel.Kestrel"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("org.kestrel.Kestrel")));
    kestrel::TfrMain frMain;
    app.MainWindow = &frMain;
    frMain.show();
    return app.exec();
}
