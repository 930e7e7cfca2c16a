// The Multimedia page: pictures and QR codes made, picked, uploaded, listed, shown and deleted, against
// the simulated PIN pad.
#include "WindowFixture.h"
#include "app/MediaPicture.h"
#include "app/PictureFileDialog.h"
#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include "media/PictureIO.h"
#include "media/QRCode.h"
#include "media/Scaling.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "sim/SimulatorRunner.h"
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextEdit>
#include <ZXing/ReadBarcode.h>
#include <cstdio>
#include <sstream>

using namespace kestrel;
using namespace kestrel::test;
using kestrel::media::MediaType;
using kestrel::media::Picture;
using kestrel::sim::Profile;
using kestrel::sim::SimulatorRunner;

namespace {

// A 1 x 1 GIF: one black pixel.
const std::string kGif("GIF87a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
                       ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                       35);

// Every pixel differs from its neighbours, so PNG cannot squeeze it and JPEG must approximate it.
Picture Noise(int AWidth, int AHeight) {
    Picture picture = media::MakePicture(AWidth, AHeight);
    std::uint32_t x = 2463534242u;
    for (auto& byte : picture.Pixels) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<std::uint8_t>(x);
    }
    for (std::size_t i = 3; i < picture.Pixels.size(); i += 4)
        picture.Pixels[i] = 255;
    return picture;
}

// A Windows bitmap as Qt writes it, which is what other programs on the desktop make too.
std::string QtBmp(const QImage& AImage) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    AImage.save(&buffer, "BMP");
    return bytes.toStdString();
}

bool BlackAndWhiteOnly(const Picture& APicture) {
    for (std::size_t i = 0; i < APicture.Pixels.size(); i += 4) {
        const auto* p = &APicture.Pixels[i];
        const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
        const bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
        if (!(black || white) || p[3] != 255) return false;
    }
    return true;
}

// Enlarged (for one-pixel modules) and set in a wide white margin, as a camera would see it.
Picture ForReaders(const Picture& APicture) {
    const int factor = APicture.Width < 100 ? 4 : 1;
    const Picture big = media::ScaleNearest(APicture, APicture.Width * factor, APicture.Height * factor);
    Picture framed = media::MakePicture(big.Width + 40, big.Height + 40);
    for (int y = 0; y < big.Height; ++y)
        for (int x = 0; x < big.Width; ++x)
            std::copy_n(big.PixelAt(x, y), 4, framed.PixelAt(x + 20, y + 20));
    return framed;
}

std::string ZXingDecode(const Picture& APicture) {
    const Picture framed = ForReaders(APicture);
    const ZXing::ImageView view(framed.Pixels.data(), framed.Width, framed.Height, ZXing::ImageFormat::RGBX);
    const auto result =
        ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
    if (!result.isValid()) return "<no symbol>";
    return std::string(result.bytes().begin(), result.bytes().end());
}

// zbar reads the symbol independently of the library that wrote it; nothing when zbarimg is missing.
std::optional<std::string> ZbarDecode(const Picture& APicture, const QString& AFolder) {
    if (std::system("command -v zbarimg >/dev/null 2>&1") != 0) return std::nullopt;
    const std::string path = (AFolder + QStringLiteral("/qr.png")).toStdString();
    media::SavePng(ForReaders(APicture), path);
    FILE* pipe = popen(("timeout 30 zbarimg -q --raw -Sbinary '" + path + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return "<zbarimg did not start>";
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pclose(pipe) != 0) return "<no symbol>";
    return out;
}

} // namespace

class TestMedia : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> fDir;
    std::unique_ptr<SimulatorRunner> fSim;
    std::unique_ptr<TfrMain> fWindow;
    QString fChosen;
    QStringList fQuestions;
    bool fAnswer = true;

    TfrMain& W() { return *fWindow; }
    template <class T> T* C(const char* AName) { return Find<T>(fWindow.get(), AName); }
    QString Log() { return C<QPlainTextEdit>("mLog")->toPlainText(); }
    QString FilePath(const QString& AName) const { return fDir->filePath(AName); }
    QString Write(const QString& AName, const std::string& ABytes) {
        WriteFile(FilePath(AName), QByteArray::fromStdString(ABytes));
        return FilePath(AName);
    }

    // The window on its own; its Multimedia page is enabled as if a PIN pad were active, for what the
    // page does without one.
    void NewWindow() {
        fWindow = std::make_unique<TfrMain>(fDir->filePath(QStringLiteral("kestrel.ini")));
        C<QWidget>("tsMultimidia")->setEnabled(true);
        W().SetPictureFileChooser([this] { return fChosen; });
        W().SetQuestionBox([this](const QString& AText) {
            fQuestions << AText;
            return fAnswer;
        });
    }

    // The window, activated on a simulated PIN pad with an open session.
    void Connect(Profile AProfile = Profile::GraphicGif()) {
        fSim = std::make_unique<SimulatorRunner>(std::move(AProfile));
        fSim->SetTimeScale(0.01);
        const QString port = QString::fromStdString(fSim->StartPty());
        NewWindow();
        W().show();
        C<QComboBox>("cbxPort")->setEditText(port);
        C<QLineEdit>("edLogFile")->setText(FilePath(QStringLiteral("pinpad.log")));
        C<QPushButton>("btActivate")->click();
        QVERIFY2(W().PinPad().IsEnabled(), qPrintable(Log()));
        C<QPushButton>("btOPN")->click();
        QVERIFY2(fSim->SessionOpen(), qPrintable(Log()));
    }

    void Pick(const QString& APath) {
        fChosen = APath;
        C<QToolButton>("btSearchSerialPorts1")->click();
    }

    bool ErrorShown() { return Log().contains(QStringLiteral("\n** ")); }

    QStringList ListedMedia() {
        QStringList names;
        for (int i = 0; i < C<QListWidget>("lbLMFMedias")->count(); ++i)
            names << C<QListWidget>("lbLMFMedias")->item(i)->text();
        return names;
    }

    void Select(const QStringList& ANames) {
        auto* list = C<QListWidget>("lbLMFMedias");
        list->clearSelection();
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(ANames.contains(list->item(i)->text()));
    }

    // The upload ended as it should: listed, shown on the PIN pad, its two log lines in place.
    void CheckUploaded(const QString& AName, int AType) {
        // The log names the upload as typed; the PIN pad keeps the 8-character wire name.
        const std::string name = W().PinPad().FormatSPE_MFNAME(AName.toStdString());
        const auto media = fSim->Media(name);
        QVERIFY2(media.has_value(), qPrintable(Log()));
        QCOMPARE(media->Type, AType);
        QVERIFY(ListedMedia().contains(QString::fromStdString(name)));
        QCOMPARE(fSim->Display().Picture, name);
        const QStringList lines = LogLines(W());
        QCOMPARE(lines.last().left(13 + AName.size() + 2), QStringLiteral("Done Loading ") + AName + ", ");
        static const QRegularExpression done(QStringLiteral("^Done Loading .*, \\d+\\.\\d{3} seconds$"));
        QVERIFY2(done.match(lines.last()).hasMatch(), qPrintable(lines.last()));
        QVERIFY(lines.lastIndexOf(QStringLiteral("Start Loading ") + AName) >= 0);
        QVERIFY(!ErrorShown());
    }

private slots:
    void initTestCase() { IsolateSerialProbe(); }
    void init() {
        fDir = std::make_unique<QTemporaryDir>();
        fQuestions.clear();
        fAnswer = true;
        fChosen.clear();
    }
    void cleanup() {
        fWindow.reset();
        fSim.reset();
    }

    void startsWithTheBuiltInPictureAndTheSampleQRCode() {
        NewWindow();
        QCOMPARE(C<QTabWidget>("pgMedia")->currentIndex(), 0);
        QCOMPARE(C<QLabel>("pMediaInfo")->text(), QStringLiteral("w:192 x h:192"));
        QCOMPARE(W().MediaPictureType(), MediaType::mtPNG);
        QCOMPARE(C<QLineEdit>("edMediaLoad")->text(), QStringLiteral("LOGOVEXO"));
        QCOMPARE(C<QLineEdit>("edQRCodeImgName")->text(), QStringLiteral("QRCODE01"));
        QCOMPARE(C<QTextEdit>("mQRCode")->toPlainText(), SampleQRCodeText());
        QCOMPARE(SampleQRCodeText().size(), 133);

        const Picture& qr = W().QRCodePicture();
        QCOMPARE(qr.Width, qr.Height);
        QCOMPARE((qr.Width - 2 - 21) % 4, 0);
        QVERIFY(BlackAndWhiteOnly(qr));
        QCOMPARE(ZXingDecode(qr), SampleQRCodeText().toStdString());
        if (const auto zbar = ZbarDecode(qr, fDir->path())) QCOMPARE(*zbar, SampleQRCodeText().toStdString());
        QVERIFY2(!ErrorShown(), qPrintable(Log()));
    }

    void qrCodeFromWhatTheOperatorTypes() {
        NewWindow();
        // Lines are joined by CR LF; the characters go as UTF-8 with no ECI.
        const QString typed = QStringLiteral("Caf\u00E9 S\u00E3o Paulo\nR$ 10,00");
        const std::string expected = "Caf\xC3\xA9 S\xC3\xA3o Paulo\r\nR$ 10,00";
        C<QTextEdit>("mQRCode")->setPlainText(typed);
        C<QPushButton>("btPaintQRCode")->click();
        QCOMPARE(ZXingDecode(W().QRCodePicture()), expected);
        if (const auto zbar = ZbarDecode(W().QRCodePicture(), fDir->path())) QCOMPARE(*zbar, expected);
        QVERIFY(!C<TPictureView>("imgQRCode")->Image().isNull());
        QTest::keyClick(C<QTextEdit>("mQRCode"), Qt::Key_Return);
        QCOMPARE(C<QTextEdit>("mQRCode")->toPlainText(), typed);

        // Too long for any symbol: a clear error, and no stale picture left to be sent for this text.
        C<QTextEdit>("mQRCode")->setPlainText(QString(media::kMaxQRCodeBytes + 1, QLatin1Char('x')));
        C<QPushButton>("btPaintQRCode")->click();
        const QStringList lines = LogLines(W());
        QCOMPARE(lines[lines.size() - 2], QStringLiteral("** EMediaError **"));
        QVERIFY2(lines.last().contains(QStringLiteral("too long")), qPrintable(lines.last()));
        QVERIFY(W().QRCodePicture().Empty());
        QVERIFY(C<TPictureView>("imgQRCode")->Image().isNull());

        C<QTextEdit>("mQRCode")->clear();
        const auto before = Log();
        C<QPushButton>("btPaintQRCode")->click();
        QVERIFY(W().QRCodePicture().Empty());
        QCOMPARE(Log(), before);
    }

    void pickingPictureFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::newRow("Logo.PNG") << "Logo.PNG"
                                  << "png"
                                  << "LOGO    " << int(MediaType::mtPNG);
        QTest::newRow(".jpeg") << "foto-01.jpeg"
                               << "jpeg"
                               << "FOTO01  " << int(MediaType::mtJPG);
        QTest::newRow(".bmp holding a JPEG") << "scan.bmp"
                                             << "jpeg"
                                             << "SCAN    " << int(MediaType::mtJPG);
        QTest::newRow(".GIF") << "Banner Loja.GIF"
                              << "gif"
                              << "BANNERLO" << int(MediaType::mtGIF);
        // Declared by what the bytes are, so the PIN pad is not told JPEG for a PNG.
        QTest::newRow("PNG named .jpg") << "renamed.jpg"
                                        << "png"
                                        << "RENAMED " << int(MediaType::mtPNG);
        // A bitmap no PIN pad takes: it will go as PNG.
        QTest::newRow("real .bmp") << "Scan 2.BMP"
                                   << "bmp"
                                   << "SCAN2   " << int(MediaType::mtPNG);
    }

    void pickingPictureFiles() {
        QFETCH(QString, file);
        QFETCH(QString, content);
        QFETCH(QString, name);
        QFETCH(int, type);
        const Picture noise = Noise(40, 30);
        const std::string bytes = content == QLatin1String("png")    ? media::EncodePng(noise)
                                  : content == QLatin1String("jpeg") ? media::EncodeJpeg(noise)
                                  : content == QLatin1String("bmp")  ? QtBmp(ToQImage(noise))
                                                                     : kGif;
        NewWindow();
        Pick(Write(file, bytes));
        QVERIFY2(!ErrorShown(), qPrintable(Log()));
        QCOMPARE(C<QLineEdit>("edMediaLoad")->text(), name);
        QCOMPARE(int(W().MediaPictureType()), type);
        const QString size =
            content == QLatin1String("gif") ? QStringLiteral("w:1 x h:1") : QStringLiteral("w:40 x h:30");
        QCOMPARE(C<QLabel>("pMediaInfo")->text(), size);
        QVERIFY(!C<QLabel>("imgMedia")->pixmap().isNull());
    }

    void theFileDialogFiltersAndPreviews() {
        NewWindow();
        const auto dialog = MakePictureFileDialog(fWindow.get());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Open Image File"));
        const QStringList filters = dialog->nameFilters();
        QCOMPARE(filters.size(), 5);
        QVERIFY(filters[0].startsWith(QStringLiteral("All Compatible Image Types (")));
        QVERIFY(filters[2].startsWith(QStringLiteral("JPEG Files (*.jpeg;*.jpg;*.jpe;*.jfif)")));
        // Every pattern the dialog offers is one the window can load.
        QVERIFY(filters[0].contains(QStringLiteral("*.bmp")));
        QVERIFY(filters[4].startsWith(QStringLiteral("Bitmap Files (*.bmp)")));

        auto* preview = dialog->findChild<QLabel*>(QStringLiteral("imgPreview"));
        QVERIFY(preview);
        emit dialog->currentChanged(Write(QStringLiteral("wide.png"), media::EncodePng(Noise(400, 100))));
        QCOMPARE(preview->pixmap().size(), QSize(200, 50));
        emit dialog->currentChanged(Write(QStringLiteral("junk.png"), "junk"));
        QVERIFY(preview->pixmap().isNull());
    }

    void aBrokenOrCancelledPickLeavesNoPicture() {
        NewWindow();
        Pick(Write(QStringLiteral("Anim.gif"), kGif));
        QCOMPARE(W().MediaPictureType(), MediaType::mtGIF);

        // Cancelling changes nothing.
        Pick(QString());
        QCOMPARE(C<QLineEdit>("edMediaLoad")->text(), QStringLiteral("ANIM    "));
        QCOMPARE(C<QLabel>("pMediaInfo")->text(), QStringLiteral("w:1 x h:1"));

        // A damaged file: the name is set, the picture is empty, the type stays, the error is shown.
        Pick(Write(QStringLiteral("Broken.png"), "\x89PNG\r\n\x1a\n not really"));
        QCOMPARE(C<QLineEdit>("edMediaLoad")->text(), QStringLiteral("BROKEN  "));
        QVERIFY(W().MediaPicture().Empty());
        QCOMPARE(W().MediaPictureType(), MediaType::mtGIF);
        QCOMPARE(C<QLabel>("pMediaInfo")->text(), QStringLiteral("w:0 x h:0"));
        QVERIFY(C<QLabel>("imgMedia")->pixmap().isNull());
        QVERIFY(LogLines(W()).contains(QStringLiteral("** EMediaError **")));
    }

    void uploadsSendTheFilesOwnBytesAndShowThem() {
        Connect();
        // The built-in picture.
        C<QPushButton>("btMediaLoad")->click();
        CheckUploaded(QStringLiteral("LOGOVEXO"), 1);
        const Picture shown = media::DecodePicture(fSim->Media("LOGOVEXO")->Data);
        QCOMPARE(shown.Width, 192);
        QCOMPARE(shown.Pixels, W().MediaPicture().Pixels);

        // Picked files that fit the display go byte for byte where that is smallest: a JPEG written again
        // would lose quality. A PNG is written afresh in the smallest form, the same bytes for this one.
        struct Case {
            QString File;
            std::string Bytes;
            int Type;
        };
        const Picture noise = Noise(64, 48);
        const std::vector<Case> cases = {{QStringLiteral("photo.jpg"), media::EncodeJpeg(noise, 75), 2},
                                         {QStringLiteral("chart.png"), media::EncodePng(noise), 1},
                                         {QStringLiteral("anim.gif"), kGif, 3}};
        for (const auto& c : cases) {
            Pick(Write(c.File, c.Bytes));
            const QString name = C<QLineEdit>("edMediaLoad")->text();
            C<QPushButton>("btMediaLoad")->click();
            CheckUploaded(name, c.Type);
            QVERIFY2(fSim->Media(name.toStdString())->Data == c.Bytes, qPrintable(c.File));
        }
        QCOMPARE(C<QLabel>("pLMFMediaTitle")->text(), QStringLiteral("4 media file(s)"));
    }

    void uploadProgressAndTheLog() {
        Connect();
        const std::string png = media::EncodePng(Noise(120, 100)); // about 47 KB: a few dozen packets
        Pick(Write(QStringLiteral("big.png"), png));

        struct Step {
            int Value, Maximum;
            bool Visible, LogFrozen;
        };
        std::vector<Step> steps;
        auto* bar = C<QProgressBar>("pbMediaLoad");
        auto* log = C<QPlainTextEdit>("mLog");
        connect(bar, &QProgressBar::valueChanged, this, [&](int AValue) {
            steps.push_back({AValue, bar->maximum(), bar->isVisible(), !log->updatesEnabled()});
        });
        C<QPushButton>("btMediaLoad")->click();
        CheckUploaded(QStringLiteral("BIG     "), 1);

        const int packets = static_cast<int>((png.size() + 1989) / 1990);
        QVERIFY(!steps.empty());
        QCOMPARE(steps.back().Value, packets);
        QCOMPARE(steps.back().Maximum, packets);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            QVERIFY(steps[i].Visible && steps[i].LogFrozen);
            if (i > 0) QVERIFY(steps[i].Value > steps[i - 1].Value);
        }
        QVERIFY(bar->isHidden());
        QVERIFY(log->updatesEnabled());

        // Every line the component wrote meanwhile reached the log, in order.
        QFile file(FilePath(QStringLiteral("pinpad.log")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList written =
            QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QVERIFY(written.filter(QStringLiteral("WaitForResponse")).size() >= packets);
        const QStringList shown = LogLines(W());
        qsizetype at = 0;
        for (const QString& line : written) {
            at = shown.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(line));
        }
    }

    // Bitmaps as Qt writes them (24 bits; 8 bits with a colour table) load with the same pixels Qt reads,
    // and go to the PIN pad as PNG, or as JPEG to a PIN pad that takes no PNG.
    void bitmapsLoadAndGoAsPngOrJpeg() {
        Profile jpegOnly = Profile::Graphic();
        jpegOnly.Png = false;
        for (const Profile& profile : {Profile::GraphicGif(), jpegOnly}) {
            Connect(profile);
            const QImage colour = ToQImage(Noise(33, 17));
            for (const QImage& image : {colour, colour.convertToFormat(QImage::Format_Indexed8)}) {
                Pick(Write(QStringLiteral("photo.bmp"), QtBmp(image)));
                QVERIFY2(!ErrorShown(), qPrintable(Log()));
                QVERIFY(Log().contains(QStringLiteral("holds a bitmap")));
                const QImage byQt = image.convertToFormat(QImage::Format_RGBA8888);
                QCOMPARE(ToQImage(W().MediaPicture()), byQt);
                C<QPushButton>("btMediaLoad")->click();
                const int type = profile.Png ? 1 : 2;
                CheckUploaded(QStringLiteral("PHOTO   "), type);
                const Picture sent = media::DecodePicture(fSim->Media("PHOTO   ")->Data);
                if (profile.Png) QCOMPARE(sent.Pixels, W().MediaPicture().Pixels);
                QCOMPARE(sent.Width, 33);
            }
            cleanup();
        }
    }

    // A JPEG goes written afresh as PNG to a PIN pad that takes no JPEG, even where its own bytes are
    // smaller; the log says why.
    void aJpegGoesAsPngToAPinPadThatTakesNoJpeg() {
        Profile pngOnly = Profile::Graphic();
        pngOnly.Jpeg = false;
        Connect(pngOnly);
        const Picture noise = Noise(64, 48);
        Pick(Write(QStringLiteral("photo.jpg"), media::EncodeJpeg(noise, 75)));
        C<QPushButton>("btMediaLoad")->click();
        QVERIFY2(!ErrorShown(), qPrintable(Log()));
        CheckUploaded(QStringLiteral("PHOTO   "), 1);
        QVERIFY(Log().contains(QStringLiteral("takes no JPEG")));
        QCOMPARE(media::DecodePng(fSim->Media("PHOTO   ")->Data).Width, 64);
    }

    void aRefusedUploadStopsBeforeListingAndShowing() {
        Connect(Profile::Graphic()); // no GIF
        Pick(Write(QStringLiteral("anim.gif"), kGif));
        const auto listed = Log().count(QStringLiteral("ExecCommand: LMF"));
        C<QPushButton>("btMediaLoad")->click();
        QVERIFY(ErrorShown());
        QVERIFY(!Log().contains(QStringLiteral("Done Loading")));
        QCOMPARE(Log().count(QStringLiteral("ExecCommand: LMF")), listed);
        QVERIFY(C<QProgressBar>("pbMediaLoad")->isHidden());
        QVERIFY(C<QPlainTextEdit>("mLog")->updatesEnabled());
        QVERIFY(fSim->MediaNames().empty());

        // With no picture there is nothing to send.
        Pick(Write(QStringLiteral("empty.png"), std::string()));
        const auto sent = fSim->CommandsHandled();
        C<QPushButton>("btMediaLoad")->click();
        QVERIFY(LogEndsWithError(W(), QStringLiteral("Exception"),
                                 QStringLiteral("No picture to load: pick a picture file first")));
        QCOMPARE(fSim->CommandsHandled(), sent);
    }

    void qrCodeScaledToTheDisplay_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("side");
        QTest::newRow("240 x 320") << 240 << 320 << 220;
        QTest::newRow("64 x 128") << 64 << 128 << 44;
    }

    void qrCodeScaledToTheDisplay() {
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, side);
        Profile profile = Profile::Graphic();
        profile.PixelRows = rows;
        profile.PixelCols = cols;
        Connect(profile);
        C<QPushButton>("btSendQRCode")->click();
        CheckUploaded(QStringLiteral("QRCODE01"), 1);
        const Picture sent = media::DecodePng(fSim->Media("QRCODE01")->Data);
        QCOMPARE(sent.Width, side);
        QCOMPARE(sent.Height, side);
        QVERIFY(BlackAndWhiteOnly(sent));
        QCOMPARE(W().QRCodePicture().Pixels, sent.Pixels); // the page shows what was sent
        QCOMPARE(ZXingDecode(sent), SampleQRCodeText().toStdString());
        if (const auto zbar = ZbarDecode(sent, fDir->path()))
            QCOMPARE(*zbar, SampleQRCodeText().toStdString());

        // Sending again without generating sends the same picture.
        C<QLineEdit>("edQRCodeImgName")->setText(QStringLiteral("qr again"));
        C<QPushButton>("btSendQRCode")->click();
        CheckUploaded(QStringLiteral("qr again"), 1);
        QVERIFY(fSim->Media("QRAGAIN ")->Data == fSim->Media("QRCODE01")->Data);

        // An empty text leaves nothing to send.
        C<QTextEdit>("mQRCode")->clear();
        C<QPushButton>("btPaintQRCode")->click();
        const auto handled = fSim->CommandsHandled();
        C<QPushButton>("btSendQRCode")->click();
        QVERIFY(LogEndsWithError(W(), QStringLiteral("Exception"),
                                 QStringLiteral("No QR code to send: the QR text is empty")));
        QCOMPARE(fSim->CommandsHandled(), handled);
    }

    // [Media] PngForm in the settings file: the QR code goes as 8-bit RGB to a PIN pad that takes
    // nothing else, and as 1-bit greyscale by default, which such a PIN pad refuses.
    void pngFormFromTheSettingsFile() {
        Profile rgb8 = Profile::Graphic();
        rgb8.Set("png_form", "rgb8");
        const auto form = [this] {
            const std::string png = fSim->Media("QRCODE01")->Data;
            return std::make_pair(int(png.at(24)), int(png.at(25)));
        };
        WriteFile(FilePath(QStringLiteral("kestrel.ini")), "[Media]\nPngForm=rgb8\n");
        Connect(rgb8);
        C<QPushButton>("btSendQRCode")->click();
        CheckUploaded(QStringLiteral("QRCODE01"), 1);
        QCOMPARE(form(), std::make_pair(8, 2));
        QCOMPARE(media::DecodePng(fSim->Media("QRCODE01")->Data).Pixels, W().QRCodePicture().Pixels);
        cleanup();

        WriteFile(FilePath(QStringLiteral("kestrel.ini")), "[Media]\nPngForm=sixteen\n");
        Connect(rgb8);
        QVERIFY(Log().contains(QStringLiteral("PngForm=sixteen is not smallest or rgb8")));
        C<QPushButton>("btSendQRCode")->click();
        QVERIFY2(ErrorShown(), qPrintable(Log()));
        QVERIFY(!fSim->Media("QRCODE01"));
        cleanup();

        QFile::remove(FilePath(QStringLiteral("kestrel.ini")));
        Connect(Profile::Graphic());
        C<QPushButton>("btSendQRCode")->click();
        CheckUploaded(QStringLiteral("QRCODE01"), 1);
        QCOMPARE(form(), std::make_pair(1, 0));
    }

    // A picture larger than the display goes scaled down to it, proportions kept, with a log line; with
    // "As is" the file goes untouched, and the log says it is larger.
    void largePicturesAreScaledToFitUnlessAsIs() {
        Connect(Profile::Graphic());
        const Picture big = media::ScaleNearest(Noise(4, 3), 800, 600); // twelve colours
        const std::string bytes = media::EncodePng(big);
        Pick(Write(QStringLiteral("big.png"), bytes));
        C<QPushButton>("btMediaLoad")->click();
        CheckUploaded(QStringLiteral("BIG     "), 1);
        const Picture sent = media::DecodePng(fSim->Media("BIG")->Data);
        QCOMPARE(sent.Width, 320);
        QCOMPARE(sent.Height, 240);
        QCOMPARE(sent.Pixels, media::ScaleNearest(big, 320, 240).Pixels);
        QVERIFY(Log().contains(QStringLiteral("- The picture is 800 x 600 pixels, larger than the display's "
                                              "320 x 240: scaled down to 320 x 240 to fit")));

        C<QCheckBox>("cbMediaAsIs")->setChecked(true);
        C<QLineEdit>("edMediaLoad")->setText(QStringLiteral("ASIS"));
        C<QPushButton>("btMediaLoad")->click();
        CheckUploaded(QStringLiteral("ASIS"), 1);
        QVERIFY(fSim->Media("ASIS")->Data == bytes);
        QVERIFY(
            Log().contains(QStringLiteral("larger than the display's 320 x 240: sent as it is, as asked")));
    }

    void qrCodeForADisplayWithoutGraphicsSendsNothing() {
        Connect(Profile::TextOnly());
        const auto sent = fSim->CommandsHandled();
        C<QPushButton>("btSendQRCode")->click();
        QVERIFY2(LogEndsWithError(W(), QStringLiteral("EMediaError"),
                                  QStringLiteral("The new size provided for image resizing is invalid.")),
                 qPrintable(Log()));
        QCOMPARE(fSim->CommandsHandled(), sent);
        QVERIFY(!Log().contains(QStringLiteral("Start Loading")));
    }

    void showingAndDeletingSelectedMedia() {
        Connect();
        for (const char* name : {"ALPHA", "BRAVO", "CHARLIE", "DELTA"}) {
            std::stringstream file(media::EncodePng(Noise(8, 8)));
            W().PinPad().LoadMedia(name, file, vexo::TVexoAbecsPinPadMediaType::mtPNG);
        }
        C<QPushButton>("btLMF")->click();
        QCOMPARE(ListedMedia(), (QStringList{"ALPHA   ", "BRAVO   ", "CHARLIE ", "DELTA   "}));

        // Nothing selected: an error of the window's own, nothing sent.
        auto sent = fSim->CommandsHandled();
        for (const char* button : {"btDSI", "btDMF"}) {
            C<QPushButton>(button)->click();
            QVERIFY(LogEndsWithError(W(), QStringLiteral("Exception"), QStringLiteral("No Media selected")));
        }
        QCOMPARE(fSim->CommandsHandled(), sent);
        QVERIFY(fQuestions.isEmpty());

        // Several shown in list order; the PIN pad keeps the last.
        Select({"DELTA   ", "BRAVO   "});
        C<QPushButton>("btDSI")->click();
        const QString log = Log();
        QVERIFY(log.indexOf(QStringLiteral("DSI( BRAVO    )")) <
                log.indexOf(QStringLiteral("DSI( DELTA    )")));
        QVERIFY(log.indexOf(QStringLiteral("DSI( BRAVO    )")) >= 0);
        QCOMPARE(fSim->Display().Picture, std::string("DELTA   "));

        // "No" deletes nothing.
        Select({"ALPHA   ", "CHARLIE ", "DELTA   "});
        fAnswer = false;
        sent = fSim->CommandsHandled();
        C<QPushButton>("btDMF")->click();
        QCOMPARE(fQuestions, QStringList{QStringLiteral("Delete 3 Media file(s)")});
        QCOMPARE(fSim->CommandsHandled(), sent);

        // "Yes": one DMF with the three names, then both lists refreshed.
        fAnswer = true;
        C<QPushButton>("btDMF")->click();
        QVERIFY(Log().contains(QStringLiteral("DMF( ALPHA   , CHARLIE , DELTA    )")));
        QCOMPARE(Log().count(QStringLiteral("ExecCommand: DMF")), 1);
        QCOMPARE(ListedMedia(), QStringList{QStringLiteral("BRAVO   ")});
        QCOMPARE(C<QListWidget>("lbCLXMedias")->count(), 1);
        QCOMPARE(C<QLabel>("pCLXMediaTitle")->text(), QStringLiteral("1 media file(s)"));

        // One selected goes by the single-name form.
        Select({"BRAVO   "});
        C<QPushButton>("btDMF")->click();
        QCOMPARE(fQuestions.last(), QStringLiteral("Delete 1 Media file(s)"));
        QVERIFY(Log().contains(QStringLiteral("DMF( BRAVO    )")));
        QCOMPARE(C<QLabel>("pLMFMediaTitle")->text(), QStringLiteral("No media files"));
        QVERIFY(fSim->MediaNames().empty());
        QCOMPARE(Log().count(QStringLiteral("\n** ")), 2); // the two refusals above, nothing since
    }
};

QTEST_MAIN(TestMedia)
#include "TestMedia.moc"
