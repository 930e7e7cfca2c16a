#include "pinpad/PictureUpload.h"

#include "media/Scaling.h"
#include "pinpad/VexoAbecsPinPad.h"

namespace vexo {

using namespace kestrel::media;

namespace {

int Pixels(uint32_t ASide) {
    // A display side beyond int is no display this tool can draw for: treat it as none.
    return ASide > 65535 ? 0 : static_cast<int>(ASide);
}

// The file's own bytes are a candidate only in a format the PIN pad takes.
PictureFile TakenForm(const TVexoAbecsPinPadCapabilities& ACapabilities, const PictureFile& AFile,
                      std::vector<std::string>& ANotes) {
    if (AFile.MustEncode || AFile.Format != MediaType::mtJPG || ACapabilities.MediaJPGisSupported ||
        !ACapabilities.MediaPNGisSupported)
        return AFile;
    ANotes.push_back("The PIN pad takes no JPEG: the picture goes written afresh");
    return PictureFile{AFile.Image, MediaType::mtPNG, {}, true};
}

} // namespace

UploadOptions PictureUploadOptions(const TVexoAbecsPinPadCapabilities& ACapabilities, PngForm AForm,
                                   bool AAsIs) {
    UploadOptions options;
    options.Form = AForm;
    options.AsIs = AAsIs;
    options.TakesPng = ACapabilities.MediaPNGisSupported;
    options.TakesJpeg = ACapabilities.MediaJPGisSupported;
    options.DisplayCols = Pixels(ACapabilities.DisplayGraphicPixels.Cols);
    options.DisplayRows = Pixels(ACapabilities.DisplayGraphicPixels.Rows);
    return options;
}

UploadPlan PlanPictureUpload(const TVexoAbecsPinPadCapabilities& ACapabilities, const PictureFile& AFile,
                             PngForm AForm, bool AAsIs) {
    const UploadOptions options = PictureUploadOptions(ACapabilities, AForm, AAsIs);
    if (AAsIs) return PrepareUpload(AFile, options);
    std::vector<std::string> notes;
    UploadPlan plan = PrepareUpload(TakenForm(ACapabilities, AFile, notes), options);
    plan.Notes.insert(plan.Notes.begin(), notes.begin(), notes.end());
    return plan;
}

UploadPlan PlanPictureUpload(TVexoAbecsPinPad& APinPad, const PictureFile& AFile, PngForm AForm, bool AAsIs) {
    return PlanPictureUpload(APinPad.GetPinPadCapabilities(), AFile, AForm, AAsIs);
}

int QRCodeSideFor(TVexoAbecsPinPad& APinPad) {
    const auto display = APinPad.GetPinPadCapabilities().DisplayGraphicPixels;
    return QRCodeSideForDisplay(Pixels(display.Cols), Pixels(display.Rows));
}

TQRCodeUpload PlanQRCodeUpload(TVexoAbecsPinPad& APinPad, const Picture& AQRCode, PngForm AForm) {
    const TVexoAbecsPinPadCapabilities capabilities = APinPad.GetPinPadCapabilities();
    const UploadOptions options = PictureUploadOptions(capabilities, AForm, false);
    TQRCodeUpload upload;
    upload.Scaled = ScaleQRCodeForDisplay(AQRCode, options.DisplayCols, options.DisplayRows);
    // Already the display's size, and written afresh: PrepareUpload only chooses the format.
    upload.Plan = PrepareUpload(PictureFile{upload.Scaled, MediaType::mtPNG, {}, true}, options);
    return upload;
}

TVexoAbecsPinPadMediaType PinPadMediaType(MediaType AType) {
    return static_cast<TVexoAbecsPinPadMediaType>(AType);
}

} // namespace vexo
