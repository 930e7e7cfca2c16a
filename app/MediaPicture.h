#pragma once
// The pictures of the Multimedia page, kept as the media library decodes them so that what the window
// shows, what it measures and what it uploads are one and the same picture.
#include "media/MediaType.h"
#include "media/Picture.h"
#include "media/UploadForm.h"
#include "util/Types.h"
#include <QImage>
#include <QString>
#include <QWidget>

namespace kestrel {

// The picture to upload and the form it goes in. OwnBytes are the bytes the picture came from (a file
// the operator picked, or the built-in PNG); they are what is uploaded as long as the picture is the
// one they hold. Whatever replaces the picture goes through SetPicture, which drops them.
struct TMediaPicture {
    media::Picture Image;
    media::MediaType Type = media::MediaType::mtPNG;
    vexo::ByteString OwnBytes;

    void SetPicture(media::Picture AImage, media::MediaType AType);
    void SetWithBytes(media::Picture AImage, media::MediaType AFormat, vexo::ByteString ABytes);
    void Clear() { SetPicture({}, Type); }
    // The picture as a file to upload; one without its own bytes (a bitmap, say) is written afresh.
    media::PictureFile AsFile() const { return {Image, Type, OwnBytes, OwnBytes.empty()}; }
};

// The Multimedia page's state: the picture of "Image", the QR picture of "QRCode", and the PNG form
// of every PNG the page makes (the settings file's [Media] PngForm).
struct TMediaPageState {
    TMediaPicture Media;
    media::Picture QRCode;
    media::PngForm Form = media::PngForm::Smallest;
};

// The media library's RGBA pixels as a Qt image (a deep copy); an empty picture gives a null image.
QImage ToQImage(const media::Picture& APicture);
media::Picture FromQImage(const QImage& AImage);

// The 192 x 192 picture the "Image" page starts with.
media::Picture BuiltInMediaPicture();

// A sample payment charge in the EMV merchant-presented QR format, closed by its CRC field.
QString SampleQRCodeText();

// A picture stretched over the widget with its proportions kept, centred, without smoothing, so a QR
// bitmap of one pixel per module shows as a large square of sharp modules.
class TPictureView : public QWidget {
    Q_OBJECT

public:
    explicit TPictureView(QWidget* AParent = nullptr);
    void SetImage(const QImage& AImage);
    const QImage& Image() const { return fImage; }

protected:
    void paintEvent(QPaintEvent* AEvent) override;

private:
    QImage fImage;
};

} // namespace kestrel
