#pragma once
// Shared helpers of the window tests: a private settings folder, control look-up by name, the log's lines,
// and bounded waits.
#include "app/PinPadConfig.h"
#include "device/VexoDeviceSerial.h"
#include <QApplication>
#include <pty.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::test {

// The serial probe sees only what a test puts here, never the machine's own ports.
inline std::vector<std::string>& ProbedPorts() {
    static std::vector<std::string> ports;
    return ports;
}

inline void IsolateSerialProbe() {
    vexo::TVexoDeviceSerial::CandidatasPortasSeriais = [] { return ProbedPorts(); };
}

template <class T> T* Find(QObject* AParent, const char* AName) {
    T* found = AParent->findChild<T*>(QString::fromLatin1(AName));
    if (!found) qFatal("no control named %s", AName);
    return found;
}

inline QStringList LogLines(kestrel::TfrMain& AWindow) {
    return Find<QPlainTextEdit>(&AWindow, "mLog")->toPlainText().split(QLatin1Char('\n'));
}

inline QString ReadFile(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

inline void WriteFile(const QString& APath, const QByteArray& AContent) {
    QFile file(APath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(APath));
    file.write(AContent);
}

// The three lines the error display adds for an error, found at the end of the log.
inline bool LogEndsWithError(kestrel::TfrMain& AWindow, const QString& AClass, const QString& AMessage) {
    const QStringList lines = LogLines(AWindow);
    const auto n = lines.size();
    return n >= 3 && lines[n - 3].isEmpty() && lines[n - 2] == QStringLiteral("** %1 **").arg(AClass) &&
           lines[n - 1] == AMessage;
}

// Runs AAction from the event loop once AReady holds (checked every 20 ms, at most ATimeoutMs), so that a
// button can be pressed while another handler blocks in a command or a modal dialog.
inline void WhenReady(std::function<bool()> AReady, std::function<void()> AAction, int ATimeoutMs = 10000) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, AReady, AAction, ATimeoutMs] {
        const bool ready = AReady();
        if (!ready && clock->elapsed() < ATimeoutMs) return;
        timer->stop();
        timer->deleteLater();
        if (ready) AAction();
    });
    timer->start();
}

// A pseudo-terminal with nobody at the other end: a port that opens but never answers.
struct DeadPort {
    int Master = -1, Slave = -1;
    std::string Path;
    DeadPort() {
        char name[256] = {};
        if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0) qFatal("openpty failed");
        Path = name;
    }
    ~DeadPort() {
        close(Master);
        close(Slave);
    }
};

} // namespace kestrel::test
