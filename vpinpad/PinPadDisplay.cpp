#include "vpinpad/PinPadDisplay.h"
#include "media/MediaError.h"
#include "media/PictureIO.h"
#include "media/Scaling.h"
#include <QFontDatabase>
#include <QPainter>
#include <algorithm>

namespace kestrel::vpinpad {

namespace {

using Mode = sim::VirtualDisplay::Mode;

// A text-only display has no pixels of its own; each character cell is drawn this large.
constexpr int kTextCellWidth = 12, kTextCellHeight = 24;
// The screen is shown at a whole multiple of its pixels, so pictures stay sharp, at least this wide.
constexpr int kShownWidth = 384;

} // namespace

QImage ToImage(const media::Picture& APicture) {
    if (APicture.Empty()) return {};
    const QImage view(APicture.Pixels.data(), APicture.Width, APicture.Height, APicture.Width * 4,
                      QImage::Format_RGBA8888);
    return view.copy();
}

std::vector<std::string> MenuRows(const sim::VirtualDisplay& ADisplay, int ARows, int& AHighlightRow) {
    std::vector<std::string> rows;
    AHighlightRow = -1;
    // The title gives way to the options: at least one option row stays.
    const int titleRows = std::min<int>(int(ADisplay.MenuTitle.size()), std::max(0, ARows - 1));
    for (int i = 0; i < titleRows; ++i)
        rows.push_back(ADisplay.MenuTitle[size_t(i)]);
    const int optionRows = std::max(1, ARows - titleRows);
    const int count = int(ADisplay.MenuOptions.size());
    int first = 0;
    if (ADisplay.Highlight >= optionRows) first = ADisplay.Highlight - optionRows + 1;
    for (int i = first; i < count && i < first + optionRows; ++i) {
        if (i == ADisplay.Highlight) AHighlightRow = int(rows.size());
        rows.push_back(ADisplay.MenuOptions[size_t(i)]);
    }
    return rows;
}

TPinPadDisplay::TPinPadDisplay(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("pnDisplay"));
    SetProfile(sim::Profile::Graphic());
}

int TPinPadDisplay::Rows() const {
    return fShown.Rows > 0 ? fShown.Rows : std::max(1, fProfile.TextRows);
}

int TPinPadDisplay::Cols() const {
    return fShown.Cols > 0 ? fShown.Cols : std::max(1, fProfile.TextCols);
}

void TPinPadDisplay::SetProfile(const sim::Profile& AProfile) {
    fProfile = AProfile;
    if (fProfile.IsGraphic() && fProfile.PixelCols > 0 && fProfile.PixelRows > 0)
        fNative = QSize(fProfile.PixelCols, fProfile.PixelRows);
    else
        fNative = QSize(std::max(1, fProfile.TextCols) * kTextCellWidth,
                        std::max(1, fProfile.TextRows) * kTextCellHeight);
    fZoom = std::max(1, kShownWidth / fNative.width());
    if (fProfile.Display == sim::Profile::Screen::Color) {
        fBack = QColor(0xF2, 0xF5, 0xF7);
        fInk = QColor(0x10, 0x18, 0x30);
    } else {
        fBack = QColor(0xB4, 0xC8, 0x9C);
        fInk = QColor(0x18, 0x24, 0x12);
    }
    fShown = {};
    fPictureBytes.clear();
    fPicture = {};
    fPictureProblem.clear();
    setFixedSize(sizeHint());
    Render();
}

QSize TPinPadDisplay::sizeHint() const {
    return fNative * fZoom + QSize(8, 8);
}

void TPinPadDisplay::Show(const sim::VirtualDisplay& ADisplay, const vexo::ByteString& APicture) {
    fShown = ADisplay;
    if (ADisplay.What == Mode::Picture ||
        (ADisplay.What == Mode::Processing && ADisplay.Beneath == Mode::Picture))
        DecodePicture(APicture);
    else {
        fPictureBytes.clear();
        fPicture = {};
        fPictureProblem.clear();
    }
    Render();
}

void TPinPadDisplay::DecodePicture(const vexo::ByteString& ABytes) {
    if (!fPicture.isNull() && ABytes == fPictureBytes) return;
    fPictureBytes = ABytes;
    fPicture = {};
    fPictureProblem.clear();
    if (ABytes.empty()) {
        fPictureProblem =
            tr("%1 is not in the media memory").arg(QString::fromStdString(fShown.Picture).trimmed());
        return;
    }
    try {
        media::Picture picture = media::DecodePicture(ABytes);
        // A picture larger than the screen is shrunk to fit, proportions kept; a smaller one keeps its
        // own pixels and sits in the middle.
        const double fit = std::min(
            {1.0, double(fNative.width()) / picture.Width, double(fNative.height()) / picture.Height});
        if (fit < 1.0)
            picture = media::ScaleNearest(picture, std::max(1, int(picture.Width * fit)),
                                          std::max(1, int(picture.Height * fit)));
        fPicture = ToImage(picture);
    } catch (const std::exception& E) {
        fPictureProblem = QString::fromStdString(E.what());
    }
}

void TPinPadDisplay::Render() {
    fScreen = QImage(fNative, QImage::Format_RGB32);
    fScreen.fill(fBack);
    QPainter painter(&fScreen);
    const int rows = Rows();
    const Mode what = fShown.What == Mode::Processing ? Mode::Processing : fShown.What;
    switch (what) {
    case Mode::Picture:
        DrawPicture(painter);
        break;
    case Mode::Menu: {
        int highlight = -1;
        const auto lines = MenuRows(fShown, rows, highlight);
        DrawRows(painter, lines, highlight);
        break;
    }
    case Mode::Processing: {
        std::vector<std::string> lines(static_cast<size_t>(rows));
        lines[size_t((rows - 1) / 2)] = "PROCESSING";
        DrawRows(painter, lines);
        break;
    }
    case Mode::Idle:
    case Mode::Text:
    case Mode::Prompt:
        DrawRows(painter, fShown.Lines);
        break;
    }
    painter.end();
    update();
}

void TPinPadDisplay::DrawRows(QPainter& APainter, const std::vector<std::string>& ARows, int AInverted) {
    for (int row = 0; row < int(ARows.size()) && row < Rows(); ++row)
        DrawRow(APainter, row, QString::fromStdString(ARows[size_t(row)]), row == AInverted);
}

void TPinPadDisplay::DrawRow(QPainter& APainter, int ARow, const QString& AText, bool AInverted) {
    const int rows = Rows(), cols = Cols();
    const double cellWidth = double(fNative.width()) / cols, cellHeight = double(fNative.height()) / rows;
    const QRectF line(0, ARow * cellHeight, fNative.width(), cellHeight);
    if (AInverted) APainter.fillRect(line, fInk);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setBold(true);
    font.setStyleHint(QFont::Monospace);
    int pixels = std::max(6, int(cellHeight * 0.72));
    for (;; --pixels) {
        font.setPixelSize(pixels);
        if (pixels <= 6 || QFontMetricsF(font).horizontalAdvance(QLatin1Char('W')) <= cellWidth) break;
    }
    APainter.setFont(font);
    APainter.setPen(AInverted ? fBack : fInk);
    // One character to a cell, as the display's own character grid has it.
    for (int col = 0; col < cols && col < AText.size(); ++col) {
        const QRectF cell(col * cellWidth, ARow * cellHeight, cellWidth, cellHeight);
        APainter.drawText(cell, Qt::AlignCenter, AText.mid(col, 1));
    }
}

void TPinPadDisplay::DrawPicture(QPainter& APainter) {
    if (fPicture.isNull()) {
        std::vector<std::string> lines(static_cast<size_t>(Rows()));
        lines[0] = "[" + fShown.Picture + "]";
        DrawRows(APainter, lines);
        return;
    }
    const QPoint at((fNative.width() - fPicture.width()) / 2, (fNative.height() - fPicture.height()) / 2);
    APainter.drawImage(at, fPicture);
}

void TPinPadDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x20, 0x22, 0x26));
    const QRect target(QPoint(4, 4), fNative * fZoom);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, fScreen);
}

} // namespace kestrel::vpinpad
