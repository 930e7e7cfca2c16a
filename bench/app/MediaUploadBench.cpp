// Uploads a picture of about 50 KB through the window's "Media Load" button against the simulated PIN
// pad, its line paced at 19200 and at 115200 baud, and prints the time the window reports ("Done
// Loading ..., N seconds") next to the wire-time lower bound: every byte of every command frame, ACK and
// response frame of MLI, MLR and MLE at that rate, 10 bits a byte.
//
//     bench_media_upload [bytes] [baud ...]        (defaults: 51200, 19200 115200)
#include "app/PinPadConfig.h"
#include "bench/UploadWireBytes.h"
#include "media/PictureCodecs.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

using namespace vexo;

// A PNG of random pixels of at least ABytes: PNG cannot squeeze it, so its size is close to the pixels'.
ByteString PictureOfAbout(std::size_t ABytes) {
    const int side = static_cast<int>(std::sqrt(static_cast<double>(ABytes) / 3.0)) + 1;
    kestrel::media::Picture picture = kestrel::media::MakePicture(side, side);
    std::uint32_t x = 2463534242u;
    for (std::size_t i = 0; i < picture.Pixels.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        picture.Pixels[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(x);
    }
    return kestrel::media::EncodePng(picture);
}

// The duration of the last "Done Loading" line of the log; negative when the upload failed.
double ReportedSeconds(const QString& ALog) {
    static const QRegularExpression done(QStringLiteral("Done Loading [^\\n]*, (\\d+[.,]\\d{3}) seconds"));
    QRegularExpressionMatch last;
    for (auto it = done.globalMatch(ALog); it.hasNext();)
        last = it.next();
    if (!last.hasMatch()) return -1;
    return last.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

double UploadThroughTheWindow(const QString& APicture, unsigned ABaud, const QTemporaryDir& ADir) {
    kestrel::sim::SimulatorRunner sim(kestrel::sim::Profile::Graphic());
    const QString port = QString::fromStdString(sim.StartPty());
    kestrel::TfrMain window(ADir.filePath(QStringLiteral("kestrel.ini")));
    window.SetPictureFileChooser([&APicture] { return APicture; });
    window.show();
    auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("mLog"));
    window.findChild<QComboBox*>(QStringLiteral("cbxPort"))->setEditText(port);
    window.findChild<QPushButton*>(QStringLiteral("btActivate"))->click();
    window.findChild<QPushButton*>(QStringLiteral("btOPN"))->click();
    window.findChild<QToolButton*>(QStringLiteral("btSearchSerialPorts1"))->click();
    sim.SetBaudRate(ABaud); // only the upload is paced
    window.findChild<QPushButton*>(QStringLiteral("btMediaLoad"))->click();
    const double seconds = ReportedSeconds(log->toPlainText());
    if (seconds < 0) std::fprintf(stderr, "%s\n", qPrintable(log->toPlainText().right(2000)));
    return seconds;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const std::size_t size = args.isEmpty() ? 51200 : args[0].toULongLong();
    std::vector<unsigned> bauds;
    for (const QString& arg : args.mid(1))
        bauds.push_back(arg.toUInt());
    if (bauds.empty()) bauds = {19200, 115200};

    QTemporaryDir dir;
    const ByteString picture = PictureOfAbout(size);
    const QString file = dir.filePath(QStringLiteral("bench.png"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(picture.data(), static_cast<qint64>(picture.size())) != static_cast<qint64>(picture.size()))
        return 1;
    out.close();

    const std::size_t wire = kestrel::bench::UploadWireBytes("BENCH   ", picture).Bytes;
    std::printf("picture: %zu bytes (PNG); on the wire: %zu bytes\n", picture.size(), wire);
    std::printf("%8s %12s %14s %8s\n", "baud", "reported_s", "wire_bound_s", "ratio");
    for (unsigned baud : bauds) {
        const double reported = UploadThroughTheWindow(file, baud, dir);
        const double bound = static_cast<double>(wire) * 10.0 / baud;
        std::printf("%8u %12.3f %14.3f %8.3f\n", baud, reported, bound, reported / bound);
    }
    return 0;
}
