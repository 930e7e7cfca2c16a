#pragma once
#include "media/MediaType.h"
#include "media/PictureIO.h"
#include "media/PngForm.h"
#include "util/Types.h"
#include <string>
#include <vector>

namespace kestrel::media {

// What the upload of a picture file needs to know of the PIN pad and of the operator's wishes.
struct UploadOptions {
    PngForm Form = PngForm::Smallest;
    // Send the file's own bytes untouched: no scaling, no rewriting, no choice of format.
    bool AsIs = false;
    bool TakesPng = true;
    bool TakesJpeg = true;
    // The graphic display in pixels; 0 x 0 when it has none or it is not known (nothing is scaled).
    int DisplayCols = 0;
    int DisplayRows = 0;
};

// The bytes that go to the PIN pad, the format declared for them, and one log line for each decision
// the operator did not take himself (a picture scaled down, JPEG chosen over PNG, an oversized file
// sent as it is).
struct UploadPlan {
    vexo::ByteString Bytes;
    MediaType Type = MediaType::mtPNG;
    std::vector<std::string> Notes;
};

// The quality of the JPEG we write for a photograph, and the largest root-mean-square difference, in
// levels of 255 per channel, that its decoded pixels may have from the picture for it to be sent.
inline constexpr int kPhotoJpegQuality = 90;
inline constexpr double kPhotoJpegMaxRmsError = 3.0;

// A photograph for the upload's purpose: opaque (JPEG has no transparency) and with more colours than a
// palette holds, so no exact PNG form is small.
bool IsPhotograph(const Picture& APicture);

// How a picture file goes to the PIN pad:
// - AsIs: the file's own bytes in their own format (a bitmap, which no PIN pad takes, is still written
//   afresh); a note when the picture is larger than the display.
// - otherwise a picture larger than the display is scaled down to fit it, proportions kept, with a note;
//   then the smallest of these is sent: a JPEG or GIF file's own bytes when nothing was scaled; the
//   picture as PNG in AOptions.Form; and, for a photograph when the PIN pad takes JPEG, the picture as
//   JPEG at kPhotoJpegQuality, only when its decoded pixels stay within kPhotoJpegMaxRmsError of the
//   picture. A PIN pad that takes JPEG but no PNG gets JPEG whatever the picture.
UploadPlan PrepareUpload(const PictureFile& AFile, const UploadOptions& AOptions);

} // namespace kestrel::media
