#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <string>

// giflib reports failures by return value and keeps its state in the GifFileType, which DGifCloseFile
// frees whatever happened. Only the records up to the first image are read.

namespace kestrel::media {

namespace {

struct MemoryInput {
    std::string_view Bytes;
    std::size_t Position = 0;
};

int ReadMemory(GifFileType* AGif, GifByteType* ABuffer, int ALength) {
    auto* input = static_cast<MemoryInput*>(AGif->UserData);
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(ALength, 0)), input->Bytes.size() - input->Position);
    std::memcpy(ABuffer, input->Bytes.data() + input->Position, count);
    input->Position += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* AGif) const {
        int error = 0;
        DGifCloseFile(AGif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void Fail(const std::string& AReason) {
    throw EMediaError("Cannot read the GIF picture: " + AReason);
}

[[noreturn]] void FailWith(int AError) {
    const char* text = GifErrorString(AError);
    Fail(text ? text : "error " + std::to_string(AError));
}

// Reads extensions up to the first image descriptor; returns the transparent colour index the last
// graphic control block before it names, or -1.
int SkipToFirstImage(GifFileType* AGif) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(AGif, &type) == GIF_ERROR) FailWith(AGif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE) return transparent;
        if (type == TERMINATE_RECORD_TYPE) Fail("it holds no image");
        if (type != EXTENSION_RECORD_TYPE) Fail("unexpected record");
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(AGif, &code, &block) == GIF_ERROR) FailWith(AGif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
        }
        while (block)
            if (DGifGetExtensionNext(AGif, &block) == GIF_ERROR) FailWith(AGif->Error);
    }
}

// Row of the frame that the n-th decoded line fills, following the four passes of an interlaced image.
int InterlacedRow(int ALine, int AHeight) {
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            AHeight > kStart[pass] ? (AHeight - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (ALine < rows) return kStart[pass] + ALine * kStep[pass];
        ALine -= rows;
    }
    return AHeight - 1; // not reached for ALine < AHeight
}

void PaintLine(Picture& APicture, int AX, int AY, const std::vector<GifPixelType>& ALine,
               const ColorMapObject& AColours, int ATransparent) {
    for (std::size_t i = 0; i < ALine.size(); ++i) {
        const int index = ALine[i];
        if (index == ATransparent) continue; // the canvas starts transparent
        std::uint8_t* pixel = APicture.PixelAt(AX + static_cast<int>(i), AY);
        if (index < AColours.ColorCount) {
            const GifColorType& colour = AColours.Colors[index];
            pixel[0] = colour.Red, pixel[1] = colour.Green, pixel[2] = colour.Blue;
        } else {
            pixel[0] = pixel[1] = pixel[2] = 0; // outside the table: show it, as black
        }
        pixel[3] = 255;
    }
}

} // namespace

Picture DecodeGif(std::string_view ABytes, std::size_t AMaxPixels) {
    MemoryInput input{ABytes};
    int error = 0;
    GifHandle gif(DGifOpen(&input, ReadMemory, &error));
    if (!gif) FailWith(error);
    const int transparent = SkipToFirstImage(gif.get());
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) FailWith(gif->Error);

    const GifImageDesc& frame = gif->Image;
    CheckPictureSize(frame.Width, frame.Height, AMaxPixels, "The GIF picture");
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours) Fail("it has no colour table");
    // A frame that overflows the logical screen widens the canvas rather than being cut.
    const long long width = std::max<long long>(gif->SWidth, 0LL + frame.Left + frame.Width);
    const long long height = std::max<long long>(gif->SHeight, 0LL + frame.Top + frame.Height);
    Picture picture = MakePicture(width, height, 0x00000000u, AMaxPixels);

    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    for (int n = 0; n < frame.Height; ++n) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) FailWith(gif->Error);
        const int row = frame.Interlace ? InterlacedRow(n, frame.Height) : n;
        PaintLine(picture, frame.Left, frame.Top + row, line, *colours, transparent);
    }
    return picture;
}

} // namespace kestrel::media
