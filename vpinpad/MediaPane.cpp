#include "vpinpad/MediaPane.h"
#include "media/PictureIO.h"
#include "vpinpad/PinPadDisplay.h"
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrel::vpinpad {

namespace {
constexpr int kPreviewWidth = 320, kPreviewHeight = 240;
}

QString MediaTypeText(int AType) {
    switch (AType) {
    case 1:
        return QStringLiteral("PNG");
    case 2:
        return QStringLiteral("JPEG");
    case 3:
        return QStringLiteral("GIF");
    default:
        return QString::number(AType);
    }
}

TMediaPane::TMediaPane(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("pnMedia"));
    auto* column = new QVBoxLayout(this);
    lbMediaTotal = new QLabel(this);
    lbMediaTotal->setObjectName(QStringLiteral("lbMediaTotal"));
    column->addWidget(lbMediaTotal);
    tvMedia = new QTreeWidget(this);
    tvMedia->setObjectName(QStringLiteral("tvMedia"));
    tvMedia->setHeaderLabels({tr("Name"), tr("Size"), tr("Type")});
    tvMedia->setRootIsDecorated(false);
    tvMedia->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    column->addWidget(tvMedia, 1);
    imgMediaPreview = new QLabel(this);
    imgMediaPreview->setObjectName(QStringLiteral("imgMediaPreview"));
    imgMediaPreview->setAlignment(Qt::AlignCenter);
    imgMediaPreview->setMinimumSize(kPreviewWidth, kPreviewHeight);
    imgMediaPreview->setStyleSheet(QStringLiteral("background:#30343a;color:#ddd;"));
    column->addWidget(imgMediaPreview);
    connect(tvMedia, &QTreeWidget::currentItemChanged, this, &TMediaPane::Preview);
    Show({}, 0);
}

void TMediaPane::Show(const std::vector<sim::MediaFile>& AFiles, uint64_t AMemory) {
    const QString chosen = tvMedia->currentItem() ? tvMedia->currentItem()->text(0) : QString();
    fFiles = AFiles;
    tvMedia->clear();
    uint64_t used = 0;
    const QLocale locale;
    QTreeWidgetItem* keep = nullptr;
    for (const auto& file : fFiles) {
        auto* item = new QTreeWidgetItem(tvMedia);
        item->setText(0, QString::fromStdString(file.Name));
        item->setText(1, locale.toString(qulonglong(file.Data.size())));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(2, MediaTypeText(file.Type));
        used += file.Data.size();
        if (item->text(0) == chosen) keep = item;
    }
    lbMediaTotal->setText(
        fFiles.empty() ? tr("No media files")
                       : tr("%1 media file(s), %2 of %3 bytes used")
                             .arg(fFiles.size())
                             .arg(locale.toString(qulonglong(used)), locale.toString(qulonglong(AMemory))));
    if (!keep && tvMedia->topLevelItemCount() > 0)
        keep = tvMedia->topLevelItem(tvMedia->topLevelItemCount() - 1);
    if (keep) tvMedia->setCurrentItem(keep);
    Preview();
}

void TMediaPane::Preview() {
    const int row = tvMedia->currentItem() ? tvMedia->indexOfTopLevelItem(tvMedia->currentItem()) : -1;
    if (row < 0 || row >= int(fFiles.size())) {
        imgMediaPreview->setPixmap({});
        imgMediaPreview->setText(tr("no picture chosen"));
        return;
    }
    try {
        const QImage image = ToImage(media::DecodePicture(fFiles[size_t(row)].Data));
        const QImage shown = image.width() > kPreviewWidth || image.height() > kPreviewHeight
                                 ? image.scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio)
                                 : image;
        imgMediaPreview->setPixmap(QPixmap::fromImage(shown));
        imgMediaPreview->setToolTip(tr("%1 x %2 pixels").arg(image.width()).arg(image.height()));
    } catch (const std::exception& E) {
        imgMediaPreview->setPixmap({});
        imgMediaPreview->setText(tr("cannot show it: %1").arg(QString::fromStdString(E.what())));
    }
}

} // namespace kestrel::vpinpad
