#include "app/PictureFileDialog.h"
#include "app/MediaPicture.h"
#include "media/PictureIO.h"
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

namespace kestrel {

namespace {

// The preview decodes on every move of the cursor: a picture larger than this is not worth the wait.
constexpr std::size_t kMaxPreviewPixels = std::size_t{16} * 1024 * 1024;
constexpr int kPreviewSide = 200;

// Each filter shows its caption as the operator knows it; the pattern group after it is what the
// dialog matches (case-insensitively), as Qt reads only the last group and splits it on spaces.
QStringList PictureFileFilters() {
    return {
        QCoreApplication::translate("PictureFileDialog",
                                    "All Compatible Image Types (*.png *.jpeg *.jpg *.gif *.bmp)"),
        QCoreApplication::translate("PictureFileDialog", "PNG Files (*.png) (*.png)"),
        QCoreApplication::translate("PictureFileDialog",
                                    "JPEG Files (*.jpeg;*.jpg;*.jpe;*.jfif) (*.jpeg *.jpg)"),
        QCoreApplication::translate("PictureFileDialog", "Graphics Interchange Format Files (*.gif) (*.gif)"),
        QCoreApplication::translate("PictureFileDialog", "Bitmap Files (*.bmp) (*.bmp)")};
}

} // namespace

std::unique_ptr<QFileDialog> MakePictureFileDialog(QWidget* AParent) {
    auto dialog = std::make_unique<QFileDialog>(
        AParent, QCoreApplication::translate("PictureFileDialog", "Open Image File"));
    // Qt's own dialog, as the platform's has no room for a preview.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(PictureFileFilters());

    auto* preview = new QLabel;
    preview->setObjectName(QStringLiteral("imgPreview"));
    preview->setFixedSize(kPreviewSide, kPreviewSide);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    else
        preview->setParent(dialog.get());
    QObject::connect(dialog.get(), &QFileDialog::currentChanged, preview,
                     [preview](const QString& APath) { ShowPicturePreview(preview, APath); });
    return dialog;
}

void ShowPicturePreview(QLabel* APreview, const QString& APath) {
    APreview->clear();
    if (APath.isEmpty() || !QFileInfo(APath).isFile()) return;
    try {
        const auto file = media::ReadPictureFile(QFile::encodeName(APath).toStdString(), kMaxPreviewPixels);
        const QImage image = ToQImage(file.Image);
        const QSize fit = image.size().boundedTo(APreview->size());
        APreview->setPixmap(
            QPixmap::fromImage(image.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } catch (const std::exception&) {
        // Not a picture we can read: the preview stays empty, and picking it shows why.
    }
}

QString ChoosePictureFile(QWidget* AParent) {
    const auto dialog = MakePictureFileDialog(AParent);
    if (dialog->exec() != QDialog::Accepted) return {};
    return dialog->selectedFiles().value(0);
}

} // namespace kestrel
