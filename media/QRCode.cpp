#include "media/QRCode.h"
#include "media/MediaError.h"
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <string>

namespace kestrel::media {

namespace {

// The writer takes text; with no character set named it encodes each character below 256 as that one
// byte (ISO-8859-1) and adds no ECI segment. Handing it one character per UTF-8 byte therefore puts the
// UTF-8 bytes into the symbol unchanged, which is what payment apps read.
std::wstring OneCharacterPerByte(std::string_view AText) {
    std::wstring wide;
    wide.reserve(AText.size());
    for (char c : AText)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

ZXing::BitMatrix EncodeSymbol(std::string_view AText) {
    // Level L is the writer's level 1 or 2 on its 0-8 scale.
    ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
    writer.setEccLevel(1).setMargin(1);
    try {
        // A size of 0 asks for the smallest bitmap: one pixel per module plus the margin.
        return writer.encode(OneCharacterPerByte(AText), 0, 0);
    } catch (const std::exception& e) {
        if (AText.size() > kMaxQRCodeBytes || std::string(e.what()).find("too big") != std::string::npos)
            throw EMediaError("The text is too long for a QR code (" + std::to_string(AText.size()) +
                              " bytes; a QR code holds at most " + std::to_string(kMaxQRCodeBytes) + ")");
        throw EMediaError(std::string("Cannot encode the QR code: ") + e.what());
    }
}

} // namespace

Picture QRCodeToBitmap(std::string_view AText) {
    if (AText.empty()) return {};
    const ZXing::BitMatrix matrix = EncodeSymbol(AText);
    Picture bitmap = MakePicture(matrix.width(), matrix.height());
    for (int y = 0; y < matrix.height(); ++y)
        for (int x = 0; x < matrix.width(); ++x)
            if (matrix.get(x, y)) {
                std::uint8_t* pixel = bitmap.PixelAt(x, y);
                pixel[0] = pixel[1] = pixel[2] = 0;
            }
    return bitmap;
}

std::string QRCodeText(std::string_view AText) {
    std::string text;
    text.reserve(AText.size());
    for (size_t i = 0; i < AText.size(); ++i) {
        if (AText[i] == '\n' && (i == 0 || AText[i - 1] != '\r')) text += '\r';
        text += AText[i];
    }
    return text;
}

} // namespace kestrel::media
