#pragma once
// The PIN pad's media memory: the files it keeps (name, size, type) and a preview of the one picked.
#include "sim/PinPadModel.h"
#include <QWidget>
#include <vector>

class QLabel;
class QTreeWidget;

namespace kestrel::vpinpad {

class TMediaPane : public QWidget {
    Q_OBJECT

public:
    explicit TMediaPane(QWidget* AParent = nullptr);

    // The files in memory now and how much memory there is; the selection and preview stay when the
    // chosen file is still there.
    void Show(const std::vector<sim::MediaFile>& AFiles, uint64_t AMemory);
    int Count() const { return int(fFiles.size()); }

private:
    void Preview();

    std::vector<sim::MediaFile> fFiles;
    QTreeWidget* tvMedia = nullptr;
    QLabel* lbMediaTotal = nullptr;
    QLabel* imgMediaPreview = nullptr;
};

// "PNG", "JPEG", "GIF" for the file type byte, else its number.
QString MediaTypeText(int AType);

} // namespace kestrel::vpinpad
