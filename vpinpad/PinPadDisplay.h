#pragma once
// The PIN pad's screen as the cardholder sees it: text in the display's own grid of rows by columns (a
// prompt with its typed digits as the PIN pad lays it out), the picture shown at the display's own
// pixels, menus with their highlight, and the processing screen.
#include "media/Picture.h"
#include "sim/Profile.h"
#include "sim/VirtualDisplay.h"
#include "util/Types.h"
#include <QImage>
#include <QWidget>

namespace kestrel::vpinpad {

class TPinPadDisplay : public QWidget {
    Q_OBJECT

public:
    explicit TPinPadDisplay(QWidget* AParent = nullptr);

    // The display's geometry and kind; clears the screen.
    void SetProfile(const sim::Profile& AProfile);
    // What the simulator shows now; APicture holds the bytes of the media file it names (empty when
    // the screen shows no picture or the file is gone).
    void Show(const sim::VirtualDisplay& ADisplay, const vexo::ByteString& APicture);

    const sim::VirtualDisplay& Shown() const { return fShown; }
    // The screen at the display's own resolution, as painted.
    const QImage& Screen() const { return fScreen; }
    // The picture on the screen, at the display's pixels (null when none is shown).
    const QImage& PictureShown() const { return fPicture; }
    // Why the named picture cannot be shown (not a picture the decoder reads), or empty.
    const QString& PictureProblem() const { return fPictureProblem; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* AEvent) override;

private:
    void Render();
    void DrawRows(QPainter& APainter, const std::vector<std::string>& ARows, int AInverted = -1);
    void DrawRow(QPainter& APainter, int ARow, const QString& AText, bool AInverted);
    void DrawPicture(QPainter& APainter);
    void DecodePicture(const vexo::ByteString& ABytes);
    int Rows() const;
    int Cols() const;

    sim::Profile fProfile;
    sim::VirtualDisplay fShown;
    QSize fNative{320, 240}; // the display's pixels
    int fZoom = 1;
    QColor fBack, fInk;
    QImage fScreen;
    vexo::ByteString fPictureBytes; // what fPicture was decoded from
    QImage fPicture;
    QString fPictureProblem;
};

// The media library's RGBA pixels as a Qt image (a deep copy); an empty picture gives a null image.
QImage ToImage(const media::Picture& APicture);

// The rows of a menu screen: the title, then as many options as fit, scrolled so the highlighted one
// shows. AHighlightRow gets the row of the highlighted option (-1 when none).
std::vector<std::string> MenuRows(const sim::VirtualDisplay& ADisplay, int ARows, int& AHighlightRow);

} // namespace kestrel::vpinpad
