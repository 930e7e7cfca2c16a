// The Multimedia page: the PIN pad's media list, the picture to upload and the QR code.
#include "app/MediaPicture.h"
#include "app/PinPadConfig.h"
#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include "media/PictureIO.h"
#include "media/QRCode.h"
#include "pinpad/PictureUpload.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "util/Exception.h"
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextEdit>
#include <sstream>

namespace kestrel {

namespace {

std::string Std(const QString& AText) {
    return AText.toStdString();
}

// "##0.000": three decimals, no thousands separator, the locale's decimal separator.
QString Seconds(double ASeconds) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(ASeconds, 'f', 3);
}

} // namespace

const media::Picture& TfrMain::MediaPicture() const {
    return fMediaPage->Media.Image;
}

media::MediaType TfrMain::MediaPictureType() const {
    return fMediaPage->Media.Type;
}

const media::Picture& TfrMain::QRCodePicture() const {
    return fMediaPage->QRCode;
}

void TfrMain::StartMediaPage() {
    media::Picture builtIn = BuiltInMediaPicture();
    vexo::ByteString png = media::EncodePng(builtIn, fMediaPage->Form);
    fMediaPage->Media.SetWithBytes(std::move(builtIn), media::MediaType::mtPNG, std::move(png));
    ShowMediaPicture();
    ShowMediaInfo();
    mQRCode->setPlainText(SampleQRCodeText());
    btPaintQRCodeClick();
}

// A value the window does not know keeps the smallest form and says so, rather than failing later.
void TfrMain::ReadPngForm(const std::string& AValue) {
    const auto form = media::ParsePngForm(AValue);
    fMediaPage->Form = form.value_or(media::PngForm::Smallest);
    if (!form)
        AddToLog(
            QStringLiteral("- [Media] PngForm=%1 is not smallest or rgb8: PNG pictures are made smallest")
                .arg(QString::fromStdString(AValue)));
}

void TfrMain::ShowMediaInfo() {
    const auto& image = fMediaPage->Media.Image;
    pMediaInfo->setText(tr("w:%1 x h:%2").arg(image.Width).arg(image.Height));
}

void TfrMain::ShowMediaPicture() {
    const QImage image = ToQImage(fMediaPage->Media.Image);
    if (image.isNull())
        imgMedia->clear();
    else
        imgMedia->setPixmap(QPixmap::fromImage(image));
    imgMedia->adjustSize();
}

void TfrMain::ShowQRCodePicture() {
    imgQRCode->SetImage(ToQImage(fMediaPage->QRCode));
}

QStringList TfrMain::SelectedMediaNames() const {
    QStringList names;
    for (int i = 0; i < lbLMFMedias->count(); ++i)
        if (lbLMFMedias->item(i)->isSelected()) names << lbLMFMedias->item(i)->text();
    if (names.isEmpty()) throw vexo::Exception(tr("No Media selected").toStdString());
    return names;
}

void TfrMain::btDSIClick() {
    // With several chosen, the PIN pad shows each in turn and keeps the last.
    for (const QString& name : SelectedMediaNames())
        VexoAbecsPinPad1->DSI(Std(name));
}

void TfrMain::btDMFClick() {
    const QStringList names = SelectedMediaNames();
    if (!fQuestionBox(tr("Delete %1 Media file(s)").arg(names.size()))) return;
    if (names.size() == 1) {
        VexoAbecsPinPad1->DMF(Std(names.first()));
    } else {
        std::vector<std::string> list;
        for (const QString& name : names)
            list.push_back(Std(name));
        VexoAbecsPinPad1->DMF(list);
    }
    ListMediaFiles();
}

void TfrMain::btSearchSerialPorts1Click() {
    const QString path = fPictureFileChooser();
    if (path.isEmpty()) return;
    edMediaLoad->setText(QString::fromStdString(media::MediaNameFromFileName(Std(path))));
    // The old picture goes first, so a file that fails to load leaves nothing that could be taken for it;
    // the media type stays until a picture replaces it.
    fMediaPage->Media.Clear();
    ShowMediaPicture();
    ShowMediaInfo();
    media::PictureFile file = media::ReadPictureFile(QFile::encodeName(path).toStdString());
    // The type declared to the PIN pad is the format of the bytes it receives. For a file named after
    // its format that is what the extension says; a PNG saved as .jpg still goes as PNG.
    const media::MediaType byName = media::MediaTypeFromFileName(Std(path));
    if (file.MustEncode)
        AddToLog(tr("- %1 holds a bitmap, which no PIN pad takes: it goes to the PIN pad as PNG, "
                    "or as JPEG to one that takes no PNG")
                     .arg(path));
    else if (file.Format != byName)
        AddToLog(tr("- %1 holds a %2 picture: it goes to the PIN pad as %2")
                     .arg(path, QString::fromLatin1(media::MediaTypeName(file.Format))));
    fMediaPage->Media.SetWithBytes(std::move(file.Image), file.Format, std::move(file.Bytes));
    ShowMediaPicture();
    ShowMediaInfo();
}

void TfrMain::btMediaLoadClick() {
    const TMediaPicture& picture = fMediaPage->Media;
    if (picture.Image.Empty())
        throw vexo::Exception(tr("No picture to load: pick a picture file first").toStdString());
    const media::UploadPlan plan = vexo::PlanPictureUpload(*VexoAbecsPinPad1, picture.AsFile(),
                                                           fMediaPage->Form, cbMediaAsIs->isChecked());
    for (const std::string& note : plan.Notes)
        AddToLog(QStringLiteral("- ") + QString::fromStdString(note));
    UploadMedia(edMediaLoad->text(), plan.Bytes, plan.Type);
}

void TfrMain::btPaintQRCodeClick() {
    const std::string text = media::QRCodeText(Std(mQRCode->toPlainText()));
    // A text that no symbol holds leaves no picture behind: an old one would not match the text.
    fMediaPage->QRCode = {};
    ShowQRCodePicture();
    fMediaPage->QRCode = media::QRCodeToBitmap(text);
    ShowQRCodePicture();
}

void TfrMain::btSendQRCodeClick() {
    if (vexo::QRCodeSideFor(*VexoAbecsPinPad1) >= 1 && fMediaPage->QRCode.Empty())
        throw vexo::Exception(tr("No QR code to send: the QR text is empty").toStdString());
    // A second send scales the picture already sent, which at the same size leaves it as it is.
    vexo::TQRCodeUpload upload =
        vexo::PlanQRCodeUpload(*VexoAbecsPinPad1, fMediaPage->QRCode, fMediaPage->Form);
    fMediaPage->QRCode = std::move(upload.Scaled);
    ShowQRCodePicture();
    UploadMedia(edQRCodeImgName->text(), upload.Plan.Bytes, upload.Plan.Type);
}

void TfrMain::UploadMedia(const QString& AName, const std::string& ABytes, media::MediaType AType) {
    const std::string name = Std(AName);
    QElapsedTimer clock;
    clock.start();
    AddToLog(tr("Start Loading ") + AName);
    BeginMediaLoad();
    try {
        std::stringstream file(ABytes);
        VexoAbecsPinPad1->LoadMedia(name, file, vexo::PinPadMediaType(AType));
    } catch (...) {
        EndMediaLoad();
        throw;
    }
    EndMediaLoad();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    {
        // The list and the display follow the upload; the status bar keeps the upload's own outcome.
        const TFollowUp followUp(*this);
        ListMediaFiles();
        VexoAbecsPinPad1->DSI(name);
    }
    mLog->verticalScrollBar()->setValue(mLog->verticalScrollBar()->maximum());
    AddToLog(tr("Done Loading %1, %2 seconds").arg(AName, Seconds(seconds)));
}

// The log keeps taking lines but is not repainted while the file goes out; the rest of the window
// repaints between packets, the progress bar follows them, and "Cancel Operation" stops the transfer.
void TfrMain::BeginMediaLoad() {
    fUploading = true;
    ShowBusy(true);
    mLog->setUpdatesEnabled(false);
    pbMediaLoad->show();
    pbMediaLoad->setRange(0, 1);
    pbMediaLoad->setValue(0);
    VexoAbecsPinPad1->SetOnProgress(
        [this](vexo::TComponent*, int ADone, int ATotal) { MediaLoadProgress(ADone, ATotal); });
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrMain::EndMediaLoad() {
    fUploading = false;
    ShowBusy(false);
    VexoAbecsPinPad1->SetOnProgress(nullptr);
    pbMediaLoad->hide();
    mLog->setUpdatesEnabled(true);
}

void TfrMain::MediaLoadProgress(int APacketsDone, int APacketsTotal) {
    pbMediaLoad->setRange(0, APacketsTotal);
    pbMediaLoad->setValue(APacketsDone);
    // The command pages are disabled while the file goes out, so the only click that matters here is
    // "Cancel Operation" (or closing the window), which hides the cancel strip.
    QCoreApplication::processEvents();
    if (!pCancelar->isHidden()) return;
    // Between two packets, each acknowledged and answered: the link is idle, and without MLE the
    // PIN pad keeps nothing of the file.
    AddToLog(QStringLiteral("- upload cancelled after %1 of %2 packets: MLE not sent")
                 .arg(APacketsDone)
                 .arg(APacketsTotal));
    throw vexo::EVexoAbecsPinPadError("Cancelled by User");
}

} // namespace kestrel
