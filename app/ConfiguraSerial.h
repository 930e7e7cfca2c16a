#pragma once
#include <QDialog>
#include <exception>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace vexo {
class TVexoDevice;
}

namespace kestrel {

// Edits the serial parameters on a scratch device of its own: every control writes straight into it, and
// only the caller copies the result back, on OK. Cancel therefore needs no undo.
class TfrConfiguraSerial : public QDialog {
    Q_OBJECT

public:
    using TErrorDisplay = std::function<void(const std::exception&)>;
    // AErrorDisplay receives the errors of the controls' writes (a baud text that is not a number...).
    explicit TfrConfiguraSerial(QWidget* AParent = nullptr, TErrorDisplay AErrorDisplay = {});
    ~TfrConfiguraSerial() override;

    vexo::TVexoDevice& Device() { return *fDevice; }

    // Fills the controls from the device; showing the dialog does it too.
    void FillControls();

    QComboBox* cmbPortaSerial = nullptr;
    QComboBox* cmbBaudRate = nullptr;
    QComboBox* cmbDataBits = nullptr;
    QComboBox* cmbParity = nullptr;
    QComboBox* cmbStopBits = nullptr;
    // Shown while 1,5 stop bits are chosen with other than 5 data bits, which the port refuses.
    QLabel* lbStopBitsNote = nullptr;
    QComboBox* cmbHandShaking = nullptr;
    QCheckBox* chHardFlow = nullptr;
    QCheckBox* chSoftFlow = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;

protected:
    void showEvent(QShowEvent* AEvent) override;

private:
    void BuildControls();
    void ConnectControls();
    void Guard(const std::function<void()>& AHandler);
    void RefreshFlowControls();
    void RefreshStopBitsNote();
    void cmbPortaSerialChange();
    void cmbBaudRateChange();

    std::unique_ptr<vexo::TVexoDevice> fDevice;
    TErrorDisplay fErrorDisplay;
    bool fFilling = false;
};

} // namespace kestrel
