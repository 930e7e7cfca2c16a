#pragma once
// Uploading a picture in a format the PIN pad takes, as the window's Multimedia page and kestrel-cli
// upload / qr do it: the PIN pad's capabilities choose the format and the size, media's rules the bytes.
#include "media/MediaType.h"
#include "media/Picture.h"
#include "media/PictureIO.h"
#include "media/PngForm.h"
#include "media/UploadForm.h"

#include <cstdint>

namespace vexo {

class TVexoAbecsPinPad;
struct TVexoAbecsPinPadCapabilities;
enum class TVexoAbecsPinPadMediaType : uint8_t;

// What the upload needs of the PIN pad: the formats it takes and its graphic display.
kestrel::media::UploadOptions PictureUploadOptions(const TVexoAbecsPinPadCapabilities& ACapabilities,
                                                   kestrel::media::PngForm AForm, bool AAsIs);

// The plan for a picture file (media's PrepareUpload), from the PIN pad's capabilities. A JPEG file
// goes written afresh to a PIN pad that says it takes PNG and no JPEG, with a note, rather than in its
// own bytes, which it would refuse.
kestrel::media::UploadPlan PlanPictureUpload(const TVexoAbecsPinPadCapabilities& ACapabilities,
                                             const kestrel::media::PictureFile& AFile,
                                             kestrel::media::PngForm AForm, bool AAsIs);
// The same, asking the PIN pad (GIX, once a session) for its capabilities.
kestrel::media::UploadPlan PlanPictureUpload(TVexoAbecsPinPad& APinPad,
                                             const kestrel::media::PictureFile& AFile,
                                             kestrel::media::PngForm AForm, bool AAsIs);

// A QR code stretched to the display (media's ScaleQRCodeForDisplay) and its upload: PNG in AForm, or
// JPEG to a PIN pad that takes JPEG and no PNG.
struct TQRCodeUpload {
    kestrel::media::Picture Scaled;
    kestrel::media::UploadPlan Plan;
};
TQRCodeUpload PlanQRCodeUpload(TVexoAbecsPinPad& APinPad, const kestrel::media::Picture& AQRCode,
                               kestrel::media::PngForm AForm);

// The side of the QR picture for the PIN pad's display; below 1 when it has no room for one.
int QRCodeSideFor(TVexoAbecsPinPad& APinPad);

// The component's name for a media library format (the values are the same by design).
TVexoAbecsPinPadMediaType PinPadMediaType(kestrel::media::MediaType AType);

} // namespace vexo
