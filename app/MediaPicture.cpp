#include "app/MediaPicture.h"
#include "media/PictureCodecs.h"
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <cstring>

namespace kestrel {

void TMediaPicture::SetPicture(media::Picture AImage, media::MediaType AType) {
    Image = std::move(AImage);
    Type = AType;
    OwnBytes.clear();
}

void TMediaPicture::SetWithBytes(media::Picture AImage, media::MediaType AFormat, vexo::ByteString ABytes) {
    SetPicture(std::move(AImage), AFormat);
    OwnBytes = std::move(ABytes);
}

QImage ToQImage(const media::Picture& APicture) {
    if (APicture.Empty()) return {};
    const QImage view(APicture.Pixels.data(), APicture.Width, APicture.Height, APicture.Width * 4,
                      QImage::Format_RGBA8888);
    return view.copy();
}

media::Picture FromQImage(const QImage& AImage) {
    const QImage rgba = AImage.convertToFormat(QImage::Format_RGBA8888);
    media::Picture picture = media::MakePicture(rgba.width(), rgba.height());
    const auto rowBytes = static_cast<std::size_t>(rgba.width()) * 4;
    for (int y = 0; y < rgba.height(); ++y)
        std::memcpy(picture.PixelAt(0, y), rgba.constScanLine(y), rowBytes);
    return picture;
}

media::Picture BuiltInMediaPicture() {
    QImage image(192, 192, QImage::Format_RGBA8888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 192);
    sky.setColorAt(0, QColor(0x1F, 0x4E, 0x8C));
    sky.setColorAt(1, QColor(0x6F, 0xB1, 0xE8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(8, 8, 176, 176), 24, 24);
    // A kestrel's outline: two swept wings and a tail, in one stroke of white.
    painter.setBrush(Qt::white);
    const QPointF bird[] = {{96, 58}, {150, 44}, {112, 76}, {122, 118},
                            {96, 96}, {70, 118}, {80, 76},  {42, 44}};
    painter.drawPolygon(bird, 8);
    QFont font(QStringLiteral("Sans Serif"), 22, QFont::Bold);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(8, 124, 176, 48), Qt::AlignCenter, QStringLiteral("VEXO"));
    painter.end();
    return FromQImage(image);
}

QString SampleQRCodeText() {
    return QStringLiteral("00020126440014br.gov.bcb.pix0122pagamentos@vexo.com.br5204000053039865405"
                          "10.005802BR5913KESTREL TESTE6009SAO PAULO62070503***6304DBD8");
}

TPictureView::TPictureView(QWidget* AParent) : QWidget(AParent) {}

void TPictureView::SetImage(const QImage& AImage) {
    fImage = AImage;
    update();
}

void TPictureView::paintEvent(QPaintEvent*) {
    if (fImage.isNull()) return;
    QSize size = fImage.size();
    size.scale(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, fImage);
}

} // namespace kestrel
