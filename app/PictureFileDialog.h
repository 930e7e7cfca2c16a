#pragma once
#include <QString>
#include <QStringList>
#include <memory>

class QFileDialog;
class QLabel;
class QWidget;

namespace kestrel {

// The dialog in which the operator picks a picture to upload: PNG, JPEG and GIF filters and a preview
// of the file under the cursor, decoded by the media library as the upload will decode it.
std::unique_ptr<QFileDialog> MakePictureFileDialog(QWidget* AParent);
// Shows the picture file APath in APreview, scaled down to fit; empty when it is not a picture.
void ShowPicturePreview(QLabel* APreview, const QString& APath);
// Runs the dialog; empty when it is cancelled.
QString ChoosePictureFile(QWidget* AParent);

} // namespace kestrel
