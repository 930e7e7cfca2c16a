// The test tool's entry: create the main window and run its event loop until it closes.
#include "app/PinPadConfig.h"
#include "util/Exception.h"
#include <QApplication>
#include <QPointer>

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

} // namespace

int main(int argc, char* argv[]) {
    TKestrelApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("kestrel"));
    kestrel::TfrMain frMain;
    app.MainWindow = &frMain;
    frMain.show();
    return app.exec();
}
