// For the sample QR code, a PIX payment, a short URL and two pictures: the bytes Kestrel sends to the PIN
// pad, the bytes `optipng -o7` reaches for the same PNG (when optipng is installed), and the time from
// the button ("Send to PinPad" or "Media Load") to the simulated PIN pad showing the picture, its line
// paced at the given rate.
//
//     bench_media_wire [baud]        (default: 19200)
#include "app/MediaPicture.h"
#include "app/PinPadConfig.h"
#include "bench/UploadWireBytes.h"
#include "media/PictureCodecs.h"
#include "media/PictureIO.h"
#include "sim/SimulatorRunner.h"
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <cmath>
#include <cstdio>

namespace {

using vexo::ByteString;

std::string Field(const std::string& AId, const std::string& AValue) {
    char length[3];
    std::snprintf(length, sizeof length, "%02zu", AValue.size() % 100);
    return AId + length + AValue;
}

// The CRC field of an EMV QR payload: CRC-16/CCITT-FALSE (polynomial 1021h, start FFFFh) over every
// character up to and including "6304".
std::uint16_t BrCodeCrc(const std::string& AText) {
    std::uint16_t crc = 0xFFFF;
    for (unsigned char c : AText) {
        crc = static_cast<std::uint16_t>(crc ^ (c << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// A BR Code (EMV merchant-presented QR for PIX) of exactly ALength characters: a phone-number key, an
// amount, merchant name and city, a transaction id stretched to reach the length, and the CRC-16 field.
std::string PixPayload(std::size_t ALength) {
    const auto build = [](const std::string& ATxId) {
        std::string body =
            Field("00", "01") + Field("26", Field("00", "br.gov.bcb.pix") + Field("01", "+5561912345678")) +
            Field("52", "0000") + Field("53", "986") + Field("54", "10.00") + Field("58", "BR") +
            Field("59", "KESTREL") + Field("60", "BRASILIA") + Field("62", Field("05", ATxId)) + "6304";
        char crc[5];
        std::snprintf(crc, sizeof crc, "%04X", unsigned{BrCodeCrc(body)});
        return body + crc;
    };
    std::string txid = "K";
    while (build(txid).size() < ALength)
        txid += static_cast<char>('0' + txid.size() % 10);
    return build(txid);
}

// A 640 x 480 "photograph": smooth light and shade with fine grain, thousands of colours.
kestrel::media::Picture Photograph() {
    kestrel::media::Picture picture = kestrel::media::MakePicture(640, 480);
    std::uint32_t seed = 12345;
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const double grain = static_cast<double>((seed >> 16) % 9) - 4.0;
            const double sky = 120 + 80 * std::sin(x / 90.0) * std::cos(y / 70.0);
            std::uint8_t* p = picture.PixelAt(x, y);
            p[0] = static_cast<std::uint8_t>(std::clamp(sky + 60 * y / 480.0 + grain, 0.0, 255.0));
            p[1] = static_cast<std::uint8_t>(std::clamp(sky * 0.8 + 40 * x / 640.0 + grain, 0.0, 255.0));
            p[2] = static_cast<std::uint8_t>(std::clamp(200 - sky * 0.5 + grain, 0.0, 255.0));
        }
    return picture;
}

bool WriteFile(const QString& APath, const ByteString& ABytes) {
    QFile out(APath);
    return out.open(QIODevice::WriteOnly) &&
           out.write(ABytes.data(), static_cast<qint64>(ABytes.size())) == static_cast<qint64>(ABytes.size());
}

// What optipng -o7 makes of a PNG; -1 when optipng is missing, the bytes are no PNG, or it fails.
long long OptipngBytes(const ByteString& APng, const QTemporaryDir& ADir) {
    if (QStandardPaths::findExecutable(QStringLiteral("optipng")).isEmpty()) return -1;
    if (APng.rfind("\x89PNG", 0) != 0) return -1;
    const QString in = ADir.filePath(QStringLiteral("sent.png")),
                  out = ADir.filePath(QStringLiteral("opt.png"));
    QFile::remove(out);
    if (!WriteFile(in, APng)) return -1;
    QProcess optipng;
    optipng.start(QStringLiteral("optipng"),
                  {QStringLiteral("-o7"), QStringLiteral("-quiet"), QStringLiteral("-out"), out, in});
    if (!optipng.waitForFinished(600000) || optipng.exitCode() != 0) return -1;
    return QFileInfo(out).size();
}

struct Bench {
    kestrel::sim::SimulatorRunner Sim{kestrel::sim::Profile::Graphic()};
    QTemporaryDir Dir;
    std::unique_ptr<kestrel::TfrMain> Window;
    QString PictureFile;
    unsigned Baud = 19200;

    template <class T> T* Find(const char* AName) {
        return Window->findChild<T*>(QString::fromLatin1(AName));
    }

    void Start() {
        const QString port = QString::fromStdString(Sim.StartPty());
        Window = std::make_unique<kestrel::TfrMain>(Dir.filePath(QStringLiteral("kestrel.ini")));
        Window->SetPictureFileChooser([this] { return PictureFile; });
        Window->show();
        Find<QComboBox>("cbxPort")->setEditText(port);
        Find<QPushButton>("btActivate")->click();
        Find<QPushButton>("btOPN")->click();
    }

    // Clicks AButton on a paced line; the milliseconds until the PIN pad shows AName, -1 if it does not.
    double TimeToShow(QAbstractButton* AButton, const std::string& AName) {
        Sim.SetBaudRate(Baud);
        QElapsedTimer clock;
        clock.start();
        AButton->click();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        Sim.SetBaudRate(0);
        const auto display = Sim.Display();
        if (display.Picture.rfind(AName, 0) != 0) {
            std::fprintf(stderr, "%s\n", qPrintable(Find<QPlainTextEdit>("mLog")->toPlainText().right(1500)));
            return -1;
        }
        return ms;
    }

    void Report(const char* ALabel, const std::string& AName, double AMs) {
        const auto file = Sim.Media(AName);
        const ByteString sent = file ? file->Data : ByteString();
        const long long optimised = OptipngBytes(sent, Dir);
        const char* type = sent.starts_with("\x89PNG") ? "PNG" : sent.starts_with("\xFF\xD8") ? "JPEG" : "?";
        const std::string optimisedText = optimised < 0 ? "-" : std::to_string(optimised);
        const QByteArray ratio = optimised <= 0
                                     ? QByteArray("-")
                                     : QByteArray::number(double(sent.size()) / double(optimised), 'f', 3);
        // The upload's own share: MLI, MLR and MLE frames with their ACKs and answers, at the line rate.
        const double wireMs =
            double(kestrel::bench::UploadWireBytes(AName, sent).Bytes) * 10.0 * 1000.0 / double(Baud);
        std::printf("%-14s %-5s %9zu %12s %9s %10.0f %14.0f\n", ALabel, type, sent.size(),
                    optimisedText.c_str(), ratio.constData(), AMs, wireMs);
    }

    void QR(const char* ALabel, const QString& AText) {
        if (!AText.isEmpty()) Find<QTextEdit>("mQRCode")->setPlainText(AText);
        Find<QPushButton>("btPaintQRCode")->click();
        Find<QLineEdit>("edQRCodeImgName")->setText(QStringLiteral("QRCODE01"));
        Report(ALabel, "QRCODE01", TimeToShow(Find<QPushButton>("btSendQRCode"), "QRCODE01"));
    }

    void Picture(const char* ALabel, const QString& AFile) {
        PictureFile = AFile;
        Find<QToolButton>("btSearchSerialPorts1")->click();
        Find<QLineEdit>("edMediaLoad")->setText(QStringLiteral("PICTURE1"));
        Report(ALabel, "PICTURE1", TimeToShow(Find<QPushButton>("btMediaLoad"), "PICTURE1"));
    }
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    Bench bench;
    if (!args.isEmpty()) bench.Baud = args[0].toUInt();
    const QString logo = bench.Dir.filePath(QStringLiteral("logo.png"));
    const QString photo = bench.Dir.filePath(QStringLiteral("photo.jpg"));
    if (!WriteFile(logo, kestrel::media::EncodePng(kestrel::BuiltInMediaPicture())) ||
        !WriteFile(photo, kestrel::media::EncodeJpeg(Photograph(), 92)))
        return 1;
    const std::string pix = PixPayload(118);
    bench.Start();
    std::printf("PIX payload (%zu characters): %s\n", pix.size(), pix.c_str());
    std::printf("line: %u bit/s, 10 bits a byte; display 320 x 240\n", bench.Baud);
    std::printf("%-14s %-5s %9s %12s %9s %10s %14s\n", "sample", "form", "sent_B", "optipng_o7_B", "ratio",
                "show_ms", "upload_wire_ms");
    bench.QR("qr-sample", {});
    bench.QR("qr-pix", QString::fromStdString(pix));
    bench.QR("qr-short-url", QStringLiteral("https://kestrel.example/p/8Xk2"));
    bench.Picture("logo-192.png", logo);
    bench.Picture("photo-640.jpg", photo);
    return 0;
}
