#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include <array>
#include <cstdint>
#include <string>

// Windows bitmaps as paint programs and scanners write them: the OS/2 core header and the Windows
// headers from version 3 to 5; 1, 4 and 8 bits through a colour table, 16, 24 and 32 bits direct, with
// bit-field masks, and the RLE8 and RLE4 compressions. Every offset and count comes from the file and
// is checked against its size before it is used.

namespace kestrel::media {

namespace {

constexpr uint32_t kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitFields = 3, kAlphaBitFields = 6;

[[noreturn]] void Fail(const std::string& AReason) {
    throw EMediaError("Cannot read the BMP picture: " + AReason);
}

class TReader {
public:
    explicit TReader(std::string_view ABytes) : fBytes(ABytes) {}
    std::size_t Size() const { return fBytes.size(); }
    bool Has(std::size_t AAt, std::size_t ACount) const {
        return AAt <= fBytes.size() && ACount <= fBytes.size() - AAt;
    }
    uint8_t U8(std::size_t AAt) const {
        if (!Has(AAt, 1)) Fail("the file is cut short");
        return static_cast<uint8_t>(fBytes[AAt]);
    }
    uint32_t U16(std::size_t AAt) const { return U8(AAt) | uint32_t{U8(AAt + 1)} << 8; }
    uint32_t U32(std::size_t AAt) const { return U16(AAt) | U16(AAt + 2) << 16; }
    int32_t S32(std::size_t AAt) const { return static_cast<int32_t>(U32(AAt)); }

private:
    std::string_view fBytes;
};

// One colour channel of a direct-colour pixel: where its bits are and how to stretch them to 8 bits.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0;

    static TChannel Of(uint32_t AMask) {
        TChannel c{AMask, 0, 0};
        if (AMask == 0) return c;
        while (!(AMask >> c.Shift & 1u))
            ++c.Shift;
        c.Max = AMask >> c.Shift;
        return c;
    }
    uint8_t From(uint32_t APixel, uint8_t AAbsent) const {
        if (Max == 0) return AAbsent;
        return static_cast<uint8_t>((uint64_t{(APixel & Mask) >> Shift} * 255 + Max / 2) / Max);
    }
};

struct THeader {
    long long Width = 0, Height = 0; // Height as stored: negative means the rows run top to bottom
    int Bits = 0;
    uint32_t Compression = kRGB;
    std::size_t PixelOffset = 0;
    std::array<TChannel, 4> Channels{};  // red, green, blue, alpha
    std::array<uint32_t, 256> Colours{}; // 0xAARRGGBB
    std::size_t ColourCount = 0;
};

void ReadMasks(const TReader& AIn, std::size_t AAt, bool AAlpha, THeader& AHeader) {
    for (int i = 0; i < (AAlpha ? 4 : 3); ++i)
        AHeader.Channels[static_cast<std::size_t>(i)] =
            TChannel::Of(AIn.U32(AAt + 4 * static_cast<std::size_t>(i)));
}

THeader ReadHeader(const TReader& AIn) {
    THeader h;
    if (AIn.Size() < 26 || AIn.U8(0) != 'B' || AIn.U8(1) != 'M') Fail("it is not a Windows bitmap");
    h.PixelOffset = AIn.U32(10);
    const uint32_t infoSize = AIn.U32(14);
    std::size_t tableAt = 14 + static_cast<std::size_t>(infoSize);
    std::size_t entrySize = 4;
    uint32_t used = 0;
    if (infoSize == 12) { // OS/2 core header
        h.Width = AIn.U16(18);
        h.Height = AIn.U16(20);
        h.Bits = static_cast<int>(AIn.U16(24));
        entrySize = 3;
    } else if (infoSize >= 40 && infoSize <= 124) {
        h.Width = AIn.S32(18);
        h.Height = AIn.S32(22);
        h.Bits = static_cast<int>(AIn.U16(28));
        h.Compression = AIn.U32(30);
        used = AIn.U32(46);
        if (h.Compression == kBitFields || h.Compression == kAlphaBitFields) {
            const bool alpha = h.Compression == kAlphaBitFields || infoSize >= 56;
            // Version 3 headers keep the masks after themselves; later versions inside.
            ReadMasks(AIn, 54, alpha, h);
            if (infoSize == 40) tableAt += h.Compression == kAlphaBitFields ? 16 : 12;
        } else if (infoSize >= 56 && h.Bits == 32) {
            h.Channels[3] = TChannel::Of(AIn.U32(66)); // an alpha mask beside plain RGB pixels
        }
    } else {
        Fail("unknown header size " + std::to_string(infoSize));
    }
    if (h.Compression != kRGB && h.Compression != kRLE8 && h.Compression != kRLE4 &&
        h.Compression != kBitFields && h.Compression != kAlphaBitFields)
        Fail("compression " + std::to_string(h.Compression) + " is not supported");
    const bool indexed = h.Bits == 1 || h.Bits == 4 || h.Bits == 8;
    if (!indexed && h.Bits != 16 && h.Bits != 24 && h.Bits != 32)
        Fail(std::to_string(h.Bits) + " bits per pixel are not supported");
    if ((h.Compression == kRLE8 && h.Bits != 8) || (h.Compression == kRLE4 && h.Bits != 4) ||
        (h.Compression >= kBitFields && h.Bits != 16 && h.Bits != 32))
        Fail("compression and depth do not match");
    if ((h.Compression == kRLE8 || h.Compression == kRLE4) && h.Height < 0)
        Fail("a compressed bitmap cannot run top to bottom");
    if (h.Width <= 0 || h.Height == 0) Fail("it has no pixels");

    if (h.Compression == kRGB && !indexed) {
        const uint32_t five = 0x1F;
        const bool sixteen = h.Bits == 16;
        const std::array<uint32_t, 3> masks = sixteen ? std::array<uint32_t, 3>{five << 10, five << 5, five}
                                                      : std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
        for (std::size_t i = 0; i < 3; ++i)
            h.Channels[i] = TChannel::Of(masks[i]);
    }
    if (indexed) {
        const std::size_t full = std::size_t{1} << h.Bits;
        h.ColourCount = used == 0 || used > full ? full : used;
        // Some writers leave the count at 0 with a shorter table: it ends where the pixels begin.
        const std::size_t room = h.PixelOffset > tableAt ? (h.PixelOffset - tableAt) / entrySize : 0;
        if (room < h.ColourCount) h.ColourCount = room;
        if (h.ColourCount == 0) Fail("it has no colour table");
        for (std::size_t i = 0; i < h.ColourCount; ++i) {
            const std::size_t at = tableAt + i * entrySize;
            if (!AIn.Has(at, 3)) Fail("the colour table is cut short");
            h.Colours[i] =
                0xFF000000u | uint32_t{AIn.U8(at + 2)} << 16 | uint32_t{AIn.U8(at + 1)} << 8 | AIn.U8(at);
        }
    }
    return h;
}

void PutColour(Picture& APicture, long long AX, long long AY, uint32_t AARGB) {
    std::uint8_t* p = APicture.PixelAt(static_cast<int>(AX), static_cast<int>(AY));
    p[0] = static_cast<uint8_t>(AARGB >> 16);
    p[1] = static_cast<uint8_t>(AARGB >> 8);
    p[2] = static_cast<uint8_t>(AARGB);
    p[3] = static_cast<uint8_t>(AARGB >> 24);
}

// A colour index outside the table shows as opaque black rather than failing the whole picture.
uint32_t IndexColour(const THeader& AHeader, uint32_t AIndex) {
    return AIndex < AHeader.ColourCount ? AHeader.Colours[AIndex] : 0xFF000000u;
}

void DecodeRows(const TReader& AIn, const THeader& AHeader, Picture& APicture) {
    const long long height = APicture.Height;
    const std::size_t stride =
        ((static_cast<std::size_t>(AHeader.Width) * static_cast<std::size_t>(AHeader.Bits) + 31) / 32) * 4;
    if (!AIn.Has(AHeader.PixelOffset, 0) ||
        (AIn.Size() - AHeader.PixelOffset) / stride < static_cast<std::size_t>(height))
        Fail("the pixel data is cut short");
    const bool direct = AHeader.Bits >= 16;
    for (long long row = 0; row < height; ++row) {
        const long long y = AHeader.Height > 0 ? height - 1 - row : row;
        const std::size_t at = AHeader.PixelOffset + static_cast<std::size_t>(row) * stride;
        for (long long x = 0; x < AHeader.Width; ++x) {
            const auto bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(AHeader.Bits);
            if (!direct) {
                const uint8_t byte = AIn.U8(at + bit / 8);
                const int shift = 8 - AHeader.Bits - static_cast<int>(bit % 8);
                PutColour(APicture, x, y, IndexColour(AHeader, (byte >> shift) & ((1u << AHeader.Bits) - 1)));
                continue;
            }
            const std::size_t p = at + bit / 8;
            const uint32_t pixel = AHeader.Bits == 16   ? AIn.U16(p)
                                   : AHeader.Bits == 24 ? AIn.U16(p) | uint32_t{AIn.U8(p + 2)} << 16
                                                        : AIn.U32(p);
            const auto& c = AHeader.Channels;
            PutColour(APicture, x, y,
                      uint32_t{c[3].From(pixel, 255)} << 24 | uint32_t{c[0].From(pixel, 0)} << 16 |
                          uint32_t{c[1].From(pixel, 0)} << 8 | c[2].From(pixel, 0));
        }
    }
}

// RLE8 and RLE4: pairs of a count and a value, or an escape (end of line, end of picture, a jump, a
// run of literal values). Pixels the data never reaches stay transparent.
void DecodeRle(const TReader& AIn, const THeader& AHeader, Picture& APicture) {
    const bool four = AHeader.Compression == kRLE4;
    const long long width = APicture.Width, height = APicture.Height;
    long long x = 0, row = 0; // row counted from the bottom
    auto put = [&](uint32_t AIndex) {
        if (x < width && row < height) PutColour(APicture, x, height - 1 - row, IndexColour(AHeader, AIndex));
        ++x;
    };
    std::size_t at = AHeader.PixelOffset;
    while (row < height) {
        if (!AIn.Has(at, 2)) Fail("the compressed data is cut short");
        const uint8_t count = AIn.U8(at), value = AIn.U8(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of picture
            break;
        } else if (value == 2) { // jump right and up
            x += AIn.U8(at);
            row += AIn.U8(at + 1);
            at += 2;
        } else { // value literal pixels, padded to a whole number of 16-bit words
            const std::size_t bytes = four ? (value + 1u) / 2 : value;
            if (!AIn.Has(at, bytes)) Fail("the compressed data is cut short");
            for (int i = 0; i < value; ++i) {
                const uint8_t b = AIn.U8(at + static_cast<std::size_t>(four ? i / 2 : i));
                put(four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
            }
            at += bytes + (bytes & 1);
        }
    }
}

} // namespace

bool IsBmp(std::string_view ABytes) noexcept {
    return ABytes.size() >= 2 && ABytes[0] == 'B' && ABytes[1] == 'M';
}

Picture DecodeBmp(std::string_view ABytes, std::size_t AMaxPixels) {
    const TReader in(ABytes);
    const THeader header = ReadHeader(in);
    const long long height = header.Height < 0 ? -header.Height : header.Height;
    CheckPictureSize(header.Width, height, AMaxPixels, "The BMP picture");
    const bool rle = header.Compression == kRLE8 || header.Compression == kRLE4;
    Picture picture = MakePicture(header.Width, height, rle ? 0x00000000u : 0x000000FFu, AMaxPixels);
    if (rle) {
        DecodeRle(in, header, picture);
        return picture;
    }
    DecodeRows(in, header, picture);
    // Writers that declare an alpha mask and leave it zero mean an opaque picture, not an invisible one.
    if (header.Channels[3].Max != 0) {
        bool allClear = true;
        for (std::size_t i = 3; allClear && i < picture.Pixels.size(); i += 4)
            allClear = picture.Pixels[i] == 0;
        if (allClear)
            for (std::size_t i = 3; i < picture.Pixels.size(); i += 4)
                picture.Pixels[i] = 255;
    }
    return picture;
}

} // namespace kestrel::media
