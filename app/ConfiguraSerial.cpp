#include "app/ConfiguraSerial.h"
#include "app/IntText.h"
#include "device/VexoDevice.h"
#include "util/Exception.h"
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel {

namespace {

// Selects the item that reads AText, or nothing (and an empty box) when none does.
void SelectText(QComboBox* ABox, const QString& AText) {
    const int index = ABox->findText(AText);
    ABox->setCurrentIndex(index);
    if (index < 0 && ABox->isEditable()) ABox->setEditText(QString());
}

QComboBox* Combo(const char* AName, const QStringList& AItems, bool AEditable) {
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(AName));
    box->setEditable(AEditable);
    box->addItems(AItems);
    return box;
}

} // namespace

TfrConfiguraSerial::TfrConfiguraSerial(QWidget* AParent, TErrorDisplay AErrorDisplay)
    : QDialog(AParent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      fDevice(std::make_unique<vexo::TVexoDevice>()), fErrorDisplay(std::move(AErrorDisplay)) {
    setObjectName(QStringLiteral("frConfiguraSerial"));
    setWindowTitle(tr("Porta Serial"));
    resize(200, 391);
    setMinimumSize(180, 350);
    BuildControls();
    ConnectControls();
    cmbPortaSerial->setFocus();
}

TfrConfiguraSerial::~TfrConfiguraSerial() = default;

void TfrConfiguraSerial::BuildControls() {
    cmbPortaSerial = Combo("cmbPortaSerial",
                           {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"}, true);
    cmbPortaSerial->setMaxVisibleItems(10);
    cmbBaudRate = Combo("cmbBaudRate",
                        {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
                         "56000", "57600", "115200"},
                        true);
    cmbBaudRate->setCurrentIndex(cmbBaudRate->findText(QStringLiteral("9600")));
    cmbDataBits = Combo("cmbDataBits", {"5", "6", "7", "8"}, false);
    cmbParity = Combo("cmbParity", {tr("None"), tr("Odd"), tr("Even"), tr("Mark"), tr("Space")}, false);
    cmbStopBits = Combo("cmbStopBits", {"1", "1,5", "2"}, false);
    lbStopBitsNote = new QLabel(tr("1,5 stop bits need 5 data bits"));
    lbStopBitsNote->setObjectName(QStringLiteral("lbStopBitsNote"));
    lbStopBitsNote->setWordWrap(true);
    lbStopBitsNote->hide();
    cmbHandShaking = Combo("cmbHandShaking", {tr("Nenhum"), "XON/XOFF", "RTS/CTS", "DTR/DSR"}, false);
    chHardFlow = new QCheckBox(tr("HardFlow"));
    chHardFlow->setObjectName(QStringLiteral("chHardFlow"));
    chSoftFlow = new QCheckBox(tr("SoftFlow"));
    chSoftFlow->setObjectName(QStringLiteral("chSoftFlow"));
    btOK = new QPushButton(tr("OK"));
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setDefault(true);
    btCancel = new QPushButton(tr("Cancel"));
    btCancel->setObjectName(QStringLiteral("btCancel"));

    auto* layout = new QVBoxLayout(this);
    const std::pair<const char*, QComboBox*> labelled[] = {
        {QT_TR_NOOP("&Porta Serial"), cmbPortaSerial},
        {QT_TR_NOOP("&Baud rate (Bits por Segundo)"), cmbBaudRate},
        {QT_TR_NOOP("&Data Bits (Bits de Dados)"), cmbDataBits},
        {QT_TR_NOOP("&Parity (Paridade)"), cmbParity},
        {QT_TR_NOOP("&Stop Bits (Bits de Parada)"), cmbStopBits},
        {QT_TR_NOOP("&Handshaking (Controle de Fluxo)"), cmbHandShaking},
    };
    for (const auto& [caption, box] : labelled) {
        auto* label = new QLabel(tr(caption));
        label->setBuddy(box);
        layout->addWidget(label);
        layout->addWidget(box);
        if (box == cmbStopBits) layout->addWidget(lbStopBitsNote);
    }
    layout->addWidget(chHardFlow);
    layout->addWidget(chSoftFlow);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);
}

void TfrConfiguraSerial::ConnectControls() {
    auto guarded = [this](auto AHandler) {
        return [this, AHandler](auto&&...) {
            if (!fFilling) Guard(AHandler);
        };
    };
    connect(cmbPortaSerial, &QComboBox::editTextChanged, this, guarded([this] { cmbPortaSerialChange(); }));
    connect(cmbBaudRate, &QComboBox::editTextChanged, this, guarded([this] { cmbBaudRateChange(); }));
    connect(cmbDataBits, &QComboBox::activated, this, guarded([this] {
                fDevice->SetData(cmbDataBits->currentText().toInt());
                RefreshStopBitsNote();
            }));
    connect(cmbParity, &QComboBox::activated, this, guarded([this] {
                fDevice->SetParity(static_cast<vexo::TVexoSerialParity>(cmbParity->currentIndex()));
            }));
    connect(cmbStopBits, &QComboBox::activated, this, guarded([this] {
                fDevice->SetStop(static_cast<vexo::TVexoSerialStop>(cmbStopBits->currentIndex()));
                RefreshStopBitsNote();
            }));
    connect(cmbHandShaking, &QComboBox::activated, this, guarded([this] {
                fDevice->SetHandShake(static_cast<vexo::TVexoHandShake>(cmbHandShaking->currentIndex()));
                RefreshFlowControls();
            }));
    connect(chHardFlow, &QCheckBox::clicked, this, guarded([this] {
                fDevice->SetHardFlow(chHardFlow->isChecked());
                RefreshFlowControls();
            }));
    connect(chSoftFlow, &QCheckBox::clicked, this, guarded([this] {
                fDevice->SetSoftFlow(chSoftFlow->isChecked());
                RefreshFlowControls();
            }));
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrConfiguraSerial::Guard(const std::function<void()>& AHandler) {
    try {
        AHandler();
    } catch (const std::exception& E) {
        if (fErrorDisplay) fErrorDisplay(E);
    } catch (...) {
        if (fErrorDisplay) fErrorDisplay(vexo::Exception("Unknown error"));
    }
}

void TfrConfiguraSerial::showEvent(QShowEvent* AEvent) {
    FillControls();
    QDialog::showEvent(AEvent);
}

void TfrConfiguraSerial::FillControls() {
    fFilling = true;
    SelectText(cmbBaudRate, QString::number(fDevice->Baud()));
    SelectText(cmbDataBits, QString::number(fDevice->Data()));
    cmbParity->setCurrentIndex(static_cast<int>(fDevice->Parity()));
    cmbStopBits->setCurrentIndex(static_cast<int>(fDevice->Stop()));
    chHardFlow->setChecked(fDevice->HardFlow());
    chSoftFlow->setChecked(fDevice->SoftFlow());
    cmbHandShaking->setCurrentIndex(static_cast<int>(fDevice->HandShake()));
    RefreshStopBitsNote();
    fFilling = false;
}

void TfrConfiguraSerial::RefreshStopBitsNote() {
    lbStopBitsNote->setVisible(fDevice->Stop() == vexo::s1eMeio && fDevice->Data() != 5);
}

// The device keeps handshake and the two flow flags consistent; show what it made of the change.
void TfrConfiguraSerial::RefreshFlowControls() {
    fFilling = true;
    cmbHandShaking->setCurrentIndex(static_cast<int>(fDevice->HandShake()));
    chHardFlow->setChecked(fDevice->HardFlow());
    chSoftFlow->setChecked(fDevice->SoftFlow());
    fFilling = false;
}

void TfrConfiguraSerial::cmbPortaSerialChange() {
    fDevice->SetPorta(cmbPortaSerial->currentText().toStdString());
}

void TfrConfiguraSerial::cmbBaudRateChange() {
    const QString text = cmbBaudRate->currentText();
    const auto baud = StrToIntOpt(text.toStdString());
    if (!baud) throw vexo::EConvertError(tr("'%1' is not a valid integer value").arg(text).toStdString());
    fDevice->SetBaud(*baud);
}

} // namespace kestrel
