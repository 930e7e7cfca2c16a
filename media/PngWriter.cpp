#include "media/PngWriter.h"
#include "media/MediaError.h"
#include <algorithm>
#include <cstdio>
#include <png.h>
#include <string>
#include <tuple>
#include <unordered_map>

namespace kestrel::media {

namespace {

// Trying a second filter choice doubles the work; above this many pixels one pass is enough, as the
// picture is a photograph or a large drawing for which adaptive filtering is the better choice anyway.
constexpr std::size_t kSecondPassPixels = std::size_t{1} << 20;
// Up to 128 x 128 pixels every candidate is written, whatever it costs.
constexpr std::size_t kSmallPicturePixels = 128 * 128;

std::uint32_t Rgba(const std::uint8_t* APixel) {
    return std::uint32_t{APixel[0]} << 24 | std::uint32_t{APixel[1]} << 16 | std::uint32_t{APixel[2]} << 8 |
           APixel[3];
}

struct Survey {
    bool Opaque = true;
    bool Grey = true;
    std::unordered_map<std::uint32_t, std::size_t> Colours; // stops growing past 257
    int GreyDepth = 1; // least depth holding every grey level exactly (opaque grey pictures)
};

bool GreyFitsDepth(int AValue, int ADepth) {
    return AValue % (255 / ((1 << ADepth) - 1)) == 0;
}

Survey Look(const Picture& APicture) {
    Survey survey;
    for (std::size_t i = 0; i < APicture.Pixels.size(); i += 4) {
        const std::uint8_t* p = APicture.Pixels.data() + i;
        survey.Opaque = survey.Opaque && p[3] == 255;
        survey.Grey = survey.Grey && p[0] == p[1] && p[1] == p[2];
        if (survey.Colours.size() <= 256) ++survey.Colours[Rgba(p)];
        while (survey.GreyDepth < 8 && !GreyFitsDepth(p[0], survey.GreyDepth))
            survey.GreyDepth *= 2;
    }
    return survey;
}

int DepthForCount(std::size_t ACount) {
    return ACount <= 2 ? 1 : ACount <= 4 ? 2 : ACount <= 16 ? 4 : 8;
}

// Packs one sample per pixel at ADepth bits, most significant bits first, as PNG rows are laid out.
PngLayout Packed(const Picture& APicture, int AColourType, int ADepth, auto ASample) {
    PngLayout layout;
    layout.ColourType = AColourType;
    layout.BitDepth = ADepth;
    layout.RowBytes = (static_cast<std::size_t>(APicture.Width) * static_cast<std::size_t>(ADepth) + 7) / 8;
    layout.Rows.assign(layout.RowBytes * static_cast<std::size_t>(APicture.Height), 0);
    for (int y = 0; y < APicture.Height; ++y) {
        std::uint8_t* row = layout.Rows.data() + layout.RowBytes * static_cast<std::size_t>(y);
        for (int x = 0; x < APicture.Width; ++x) {
            const auto bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(ADepth);
            const unsigned sample = ASample(APicture.PixelAt(x, y));
            row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | sample << (8 - ADepth - bit % 8));
        }
    }
    return layout;
}

PngLayout GreyLayout(const Picture& APicture, int ADepth) {
    const int step = 255 / ((1 << ADepth) - 1);
    return Packed(APicture, PNG_COLOR_TYPE_GRAY, ADepth,
                  [step](const std::uint8_t* APixel) { return unsigned{APixel[0]} / unsigned(step); });
}

PngLayout PaletteLayout(const Picture& APicture, const Survey& ASurvey) {
    std::vector<std::uint32_t> palette;
    for (const auto& entry : ASurvey.Colours)
        palette.push_back(entry.first);
    // Transparent colours first keep the tRNS chunk short; the rest by brightness, so neighbouring
    // indices tend to be neighbouring shades, which filters and zlib like.
    const auto key = [](std::uint32_t AColour) {
        const unsigned alpha = AColour & 0xFF;
        const unsigned light =
            299 * (AColour >> 24) + 587 * (AColour >> 16 & 0xFF) + 114 * (AColour >> 8 & 0xFF);
        return std::make_tuple(alpha == 255, light, AColour);
    };
    std::sort(palette.begin(), palette.end(), [&](auto a, auto b) { return key(a) < key(b); });
    std::unordered_map<std::uint32_t, unsigned> index;
    for (std::size_t i = 0; i < palette.size(); ++i)
        index[palette[i]] = static_cast<unsigned>(i);
    PngLayout layout = Packed(APicture, PNG_COLOR_TYPE_PALETTE, DepthForCount(palette.size()),
                              [&index](const std::uint8_t* APixel) { return index.at(Rgba(APixel)); });
    layout.Palette = std::move(palette);
    return layout;
}

PngLayout ChannelLayout(const Picture& APicture, int AColourType, std::initializer_list<int> AChannels) {
    PngLayout layout;
    layout.ColourType = AColourType;
    layout.RowBytes = static_cast<std::size_t>(APicture.Width) * AChannels.size();
    layout.Rows.reserve(layout.RowBytes * static_cast<std::size_t>(APicture.Height));
    for (std::size_t i = 0; i < APicture.Pixels.size(); i += 4)
        for (int channel : AChannels)
            layout.Rows.push_back(APicture.Pixels[i + static_cast<std::size_t>(channel)]);
    return layout;
}

PngLayout TruecolourLayout(const Picture& APicture, bool AOpaque) {
    return AOpaque ? ChannelLayout(APicture, PNG_COLOR_TYPE_RGB, {0, 1, 2})
                   : ChannelLayout(APicture, PNG_COLOR_TYPE_RGB_ALPHA, {0, 1, 2, 3});
}

// --- writing through libpng --------------------------------------------------------------------------
// libpng reports failures by longjmp. WriteOnce sets its jump point before any C++ object that has a
// destructor is made, and everything libpng reads is built before, so the jump skips no destructor.

struct Sink {
    vexo::ByteString Out;
    char Message[200] = "";
};

void SinkWrite(png_structp APng, png_bytep AData, png_size_t ALength) {
    auto* sink = static_cast<Sink*>(png_get_io_ptr(APng));
    try {
        sink->Out.append(reinterpret_cast<const char*>(AData), ALength);
    } catch (...) {
        png_error(APng, "out of memory");
    }
}

void SinkFlush(png_structp) {}

void SinkError(png_structp APng, png_const_charp AMessage) {
    auto* sink = static_cast<Sink*>(png_get_error_ptr(APng));
    std::snprintf(sink->Message, sizeof sink->Message, "%s", AMessage);
    png_longjmp(APng, 1);
}

void SinkWarning(png_structp, png_const_charp) {}

struct Prepared {
    std::vector<png_bytep> RowPointers;
    std::vector<png_color> Colours;
    std::vector<png_byte> Alphas; // up to the last colour that is not opaque
};

Prepared Prepare(PngLayout& ALayout) {
    Prepared prepared;
    const std::size_t rows = ALayout.RowBytes ? ALayout.Rows.size() / ALayout.RowBytes : 0;
    for (std::size_t y = 0; y < rows; ++y)
        prepared.RowPointers.push_back(ALayout.Rows.data() + y * ALayout.RowBytes);
    for (std::uint32_t colour : ALayout.Palette) {
        prepared.Colours.push_back({static_cast<png_byte>(colour >> 24), static_cast<png_byte>(colour >> 16),
                                    static_cast<png_byte>(colour >> 8)});
        if ((colour & 0xFF) != 255) prepared.Alphas.resize(prepared.Colours.size(), 255);
        if (!prepared.Alphas.empty() && prepared.Alphas.size() == prepared.Colours.size())
            prepared.Alphas.back() = static_cast<png_byte>(colour);
    }
    return prepared;
}

bool WriteOnce(const Picture& APicture, const PngLayout& ALayout, Prepared& APrepared, int AFilters,
               Sink& ASink) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ASink, SinkError, SinkWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &ASink, SinkWrite, SinkFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(APicture.Width),
                 static_cast<png_uint_32>(APicture.Height), ALayout.BitDepth, ALayout.ColourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!APrepared.Colours.empty())
        png_set_PLTE(png, info, APrepared.Colours.data(), static_cast<int>(APrepared.Colours.size()));
    if (!APrepared.Alphas.empty())
        png_set_tRNS(png, info, APrepared.Alphas.data(), static_cast<int>(APrepared.Alphas.size()), nullptr);
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, AFilters);
    png_set_rows(png, info, APrepared.RowPointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

vexo::ByteString Write(const Picture& APicture, PngLayout& ALayout, int AFilters) {
    Prepared prepared = Prepare(ALayout);
    Sink sink;
    if (!WriteOnce(APicture, ALayout, prepared, AFilters, sink))
        throw EMediaError(std::string("Cannot write the PNG picture: ") +
                          (sink.Message[0] ? sink.Message : "libpng could not start"));
    return std::move(sink.Out);
}

} // namespace

std::vector<PngLayout> PngLayouts(const Picture& APicture, PngForm AForm) {
    std::vector<PngLayout> layouts;
    if (AForm == PngForm::Rgb8) {
        layouts.push_back(TruecolourLayout(APicture, APicture.Opaque()));
        return layouts;
    }
    const Survey survey = Look(APicture);
    if (survey.Grey && survey.Opaque) layouts.push_back(GreyLayout(APicture, survey.GreyDepth));
    // A palette costs its PLTE chunk, so at the grey layout's depth or more it cannot win.
    const bool fewColours = survey.Colours.size() <= 256;
    if (fewColours &&
        !(survey.Grey && survey.Opaque && survey.GreyDepth <= DepthForCount(survey.Colours.size())))
        layouts.push_back(PaletteLayout(APicture, survey));
    if (!fewColours && survey.Grey && !survey.Opaque)
        layouts.push_back(ChannelLayout(APicture, PNG_COLOR_TYPE_GRAY_ALPHA, {0, 3}));
    // A regular pattern can pack tighter in truecolour than as palette indices or grey levels. It is
    // worth the time of writing it (most of the time of the whole, at zlib's best level) when the
    // others take 8 bits a pixel, or the picture is small; not for a QR code, whose 1-bit rows win.
    const std::size_t pixels = APicture.Pixels.size() / 4;
    const bool fewBits = std::any_of(layouts.begin(), layouts.end(),
                                     [](const PngLayout& ALayout) { return ALayout.BitDepth < 8; });
    if (layouts.empty() || (pixels <= kSecondPassPixels && (!fewBits || pixels <= kSmallPicturePixels)))
        layouts.push_back(TruecolourLayout(APicture, survey.Opaque));
    return layouts;
}

vexo::ByteString WritePngLayout(const Picture& APicture, PngForm AForm) {
    const bool twoPasses = APicture.Pixels.size() / 4 <= kSecondPassPixels;
    vexo::ByteString best;
    for (PngLayout& layout : PngLayouts(APicture, AForm))
        for (int filters : {PNG_ALL_FILTERS, PNG_FILTER_NONE}) {
            if (filters == PNG_FILTER_NONE && !twoPasses) continue;
            vexo::ByteString bytes = Write(APicture, layout, filters);
            if (best.empty() || bytes.size() < best.size()) best = std::move(bytes);
        }
    return best;
}

} // namespace kestrel::media
