#include "media/MediaError.h"
#include "media/PictureCodecs.h"
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

// libjpeg's default error handler calls exit(). Ours records the message and longjmps back to the
// function that called setjmp. Those functions hold every libjpeg object in a struct owned by their
// caller and keep no C++ object of their own alive across the jump; the caller turns the failure into
// an EMediaError and its destructor releases libjpeg's memory.

namespace kestrel::media {

namespace {

// Progressive files can repeat scans without end; real ones have a dozen or so.
constexpr int kMaxScans = 500;
// Corrupt-data warnings cost time and each one means the picture is already wrong.
constexpr int kMaxWarnings = 20;

struct JpegErrors {
    jpeg_error_mgr Manager{};
    std::jmp_buf Jump{};
    char Message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void Abandon(j_common_ptr AInfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(AInfo->err);
    (*AInfo->err->format_message)(AInfo, errors->Message);
    std::longjmp(errors->Jump, 1);
}

void OnMessage(j_common_ptr AInfo, int ALevel) {
    if (ALevel >= 0) return; // trace messages
    // The memory source reports a truncated file as a warning and pads it with an end marker; a picture
    // with its bottom made up is a damaged picture, so treat it as the error it is.
    if (AInfo->err->msg_code == JWRN_JPEG_EOF || ++AInfo->err->num_warnings > kMaxWarnings) Abandon(AInfo);
}

void OnProgress(j_common_ptr AInfo) {
    auto* info = reinterpret_cast<j_decompress_ptr>(AInfo);
    if (info->input_scan_number > kMaxScans) {
        auto* errors = reinterpret_cast<JpegErrors*>(AInfo->err);
        std::snprintf(errors->Message, sizeof errors->Message, "more than %d scans", kMaxScans);
        std::longjmp(errors->Jump, 1);
    }
}

void InstallErrors(JpegErrors& AErrors) {
    jpeg_std_error(&AErrors.Manager);
    AErrors.Manager.error_exit = Abandon;
    AErrors.Manager.emit_message = OnMessage;
}

struct JpegDecoder {
    jpeg_decompress_struct Info{};
    JpegErrors Errors;
    jpeg_progress_mgr Progress{};

    JpegDecoder() {
        InstallErrors(Errors);
        Info.err = &Errors.Manager;
        Progress.progress_monitor = OnProgress;
    }
    ~JpegDecoder() { jpeg_destroy_decompress(&Info); }
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // False when libjpeg gave up; Errors.Message says why.
    bool Run(std::string_view ABytes, std::size_t AMaxPixels, Picture& APicture);
};

void CmykToRgba(std::uint8_t* APixels, std::size_t ACount, bool AInverted) {
    for (std::size_t i = 0; i < ACount; ++i) {
        std::uint8_t* p = APixels + i * 4;
        // Adobe writes CMYK inverted (0 = full ink); others write it plainly.
        const int c = AInverted ? p[0] : 255 - p[0], m = AInverted ? p[1] : 255 - p[1],
                  y = AInverted ? p[2] : 255 - p[2], k = AInverted ? p[3] : 255 - p[3];
        p[0] = static_cast<std::uint8_t>(c * k / 255);
        p[1] = static_cast<std::uint8_t>(m * k / 255);
        p[2] = static_cast<std::uint8_t>(y * k / 255);
        p[3] = 255;
    }
}

bool JpegDecoder::Run(std::string_view ABytes, std::size_t AMaxPixels, Picture& APicture) {
    if (setjmp(Errors.Jump)) return false;
    jpeg_create_decompress(&Info);
    Info.progress = &Progress;
    // Bound libjpeg's own buffers (a progressive picture keeps all its coefficients) to what a picture
    // of the largest accepted size needs.
    Info.mem->max_memory_to_use =
        static_cast<long>(std::min<std::size_t>(AMaxPixels, 1u << 28) * 16 + (16u << 20));
    jpeg_mem_src(&Info, reinterpret_cast<const unsigned char*>(ABytes.data()),
                 static_cast<unsigned long>(ABytes.size()));
    jpeg_read_header(&Info, TRUE);
    if (Info.image_width == 0 || Info.image_height == 0 ||
        Info.image_width > AMaxPixels / Info.image_height) {
        std::snprintf(Errors.Message, sizeof Errors.Message, "the picture is too large (%u x %u pixels)",
                      Info.image_width, Info.image_height);
        return false;
    }
    const bool cmyk = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
    Info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&Info);
    if (Info.output_components != 4) ERREXIT(&Info, JERR_CONVERSION_NOTIMPL);
    APicture.Width = static_cast<int>(Info.output_width);
    APicture.Height = static_cast<int>(Info.output_height);
    APicture.Pixels.resize(std::size_t{Info.output_width} * Info.output_height * 4);
    while (Info.output_scanline < Info.output_height) {
        JSAMPROW row = APicture.Pixels.data() + std::size_t{Info.output_scanline} * Info.output_width * 4;
        jpeg_read_scanlines(&Info, &row, 1);
    }
    if (cmyk) CmykToRgba(APicture.Pixels.data(), APicture.Pixels.size() / 4, Info.saw_Adobe_marker);
    jpeg_finish_decompress(&Info);
    return true;
}

struct JpegEncoder {
    jpeg_compress_struct Info{};
    JpegErrors Errors;
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;

    JpegEncoder() {
        InstallErrors(Errors);
        Info.err = &Errors.Manager;
    }
    ~JpegEncoder() {
        jpeg_destroy_compress(&Info);
        std::free(Buffer);
    }
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    bool Run(const std::vector<std::uint8_t>& ARgb, int AWidth, int AHeight, int AQuality);
};

bool JpegEncoder::Run(const std::vector<std::uint8_t>& ARgb, int AWidth, int AHeight, int AQuality) {
    if (setjmp(Errors.Jump)) return false;
    jpeg_create_compress(&Info);
    jpeg_mem_dest(&Info, &Buffer, &Size);
    Info.image_width = static_cast<JDIMENSION>(AWidth);
    Info.image_height = static_cast<JDIMENSION>(AHeight);
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, AQuality, TRUE);
    jpeg_start_compress(&Info, TRUE);
    while (Info.next_scanline < Info.image_height) {
        auto row = const_cast<JSAMPROW>(ARgb.data() + std::size_t{Info.next_scanline} * Info.image_width * 3);
        jpeg_write_scanlines(&Info, &row, 1);
    }
    jpeg_finish_compress(&Info);
    return true;
}

std::vector<std::uint8_t> OverWhite(const Picture& APicture) {
    std::vector<std::uint8_t> rgb(APicture.Pixels.size() / 4 * 3);
    for (std::size_t i = 0, o = 0; i < APicture.Pixels.size(); i += 4, o += 3) {
        const int alpha = APicture.Pixels[i + 3];
        for (int c = 0; c < 3; ++c)
            rgb[o + c] =
                static_cast<std::uint8_t>((APicture.Pixels[i + c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
    return rgb;
}

} // namespace

Picture DecodeJpeg(std::string_view ABytes, std::size_t AMaxPixels) {
    JpegDecoder decoder;
    Picture picture;
    if (!decoder.Run(ABytes, AMaxPixels, picture))
        throw EMediaError(std::string("Cannot read the JPEG picture: ") + decoder.Errors.Message);
    return picture;
}

vexo::ByteString EncodeJpeg(const Picture& APicture, int AQuality) {
    CheckPixels(APicture, "Cannot write the JPEG picture");
    if (APicture.Width > JPEG_MAX_DIMENSION || APicture.Height > JPEG_MAX_DIMENSION)
        throw EMediaError("The picture is too large for JPEG (at most " + std::to_string(JPEG_MAX_DIMENSION) +
                          " pixels a side)");
    const std::vector<std::uint8_t> rgb = OverWhite(APicture);
    JpegEncoder encoder;
    if (!encoder.Run(rgb, APicture.Width, APicture.Height, std::clamp(AQuality, 1, 100)))
        throw EMediaError(std::string("Cannot write the JPEG picture: ") + encoder.Errors.Message);
    return vexo::ByteString(reinterpret_cast<const char*>(encoder.Buffer), encoder.Size);
}

} // namespace kestrel::media
