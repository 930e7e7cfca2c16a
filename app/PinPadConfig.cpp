// The window's frame: start-up, the two state flags, the component's events, the Config page, the
// settings file, the on-screen log, the status bar and the error display.
#include "app/PinPadConfig.h"
#include "app/AnyCommandForm.h"
#include "app/ConfiguraSerial.h"
#include "app/ErrorText.h"
#include "app/IniFile.h"
#include "app/Language.h"
#include "app/MediaPicture.h"
#include "app/PictureFileDialog.h"
#include "app/PinPadTexts.h"
#include "device/VexoDevice.h"
#include "pinpad/PinPadDetection.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/Exception.h"
#include "util/SettingsFolder.h"
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace kestrel {

namespace {

const char* const kActivatedTag = "Tag";

std::string Std(const QString& AText) {
    return AText.toStdString();
}

QString DefaultParamsFileName() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QDir folder(QString::fromStdString(vexo::SettingsFolder(Std(exe.absolutePath()))));
    return folder.filePath(exe.completeBaseName() + QStringLiteral(".ini"));
}

} // namespace

TfrMain::TfrMain(const QString& AParamsFileName, QWidget* AParent)
    : QMainWindow(AParent), VexoAbecsPinPad1(std::make_unique<vexo::TVexoAbecsPinPad>()),
      fMediaPage(std::make_unique<TMediaPageState>()), fAnyPage(std::make_unique<TAnyPageState>()),
      fParamsFileName(AParamsFileName.isEmpty() ? DefaultParamsFileName() : AParamsFileName) {
    setObjectName(QStringLiteral("frMain"));
    VexoAbecsPinPad1->SetName("VexoAbecsPinPad1");
    fMessageBox = [this](const QString& AText) { QMessageBox::information(this, windowTitle(), AText); };
    fQuestionBox = [this](const QString& AText) {
        return QMessageBox::question(this, windowTitle(), AText, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
    fPictureFileChooser = [this] { return ChoosePictureFile(this); };
    BuildWindow();
    btSaveParams->setToolTip(QDir::toNativeSeparators(fParamsFileName));
    btReadParms->setToolTip(QDir::toNativeSeparators(fParamsFileName));
    ConnectHandlers();
    WireComponentEvents();
    Guard([this] { StartUp(); });
}

TfrMain::~TfrMain() {
    // The component outlives no widget: it goes first, so none of its events reaches a dead control.
    VexoAbecsPinPad1.reset();
}

QString TfrMain::ParamsFileName() const {
    return fParamsFileName;
}

QString TfrMain::LogFileName() const {
    const QString name = edLogFile->text();
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return name;
    return QFileInfo(fParamsFileName).absoluteDir().filePath(name);
}

QString TfrMain::AboutText() const {
    return tr("Kestrel %1\nTest tool for ABECS PIN pads\n\nSettings file: %2\nLog files without a "
              "folder go to: %3\nLanguage: %4")
        .arg(QStringLiteral(KESTREL_VERSION), QDir::toNativeSeparators(fParamsFileName),
             QDir::toNativeSeparators(QFileInfo(fParamsFileName).absolutePath()), LanguageInUse());
}

void TfrMain::Guard(const std::function<void()>& AHandler) {
    try {
        AHandler();
    } catch (const std::exception& E) {
        ApplicationEvents1Exception(E);
    } catch (...) {
        ApplicationEvents1Exception(vexo::Exception("Unknown error"));
    }
}

template <class TSender, class TSignal>
void TfrMain::OnSignal(TSender* ASender, TSignal ASignal, void (TfrMain::*AHandler)()) {
    connect(ASender, ASignal, this, [this, AHandler] { Guard([this, AHandler] { (this->*AHandler)(); }); });
}

void TfrMain::ConnectHandlers() {
    OnSignal(btActivate, &QPushButton::clicked, &TfrMain::btActivateClick);
    OnSignal(btCancel, &QPushButton::clicked, &TfrMain::btCancelClick);
    OnSignal(sbCleanMemoLog, &QToolButton::clicked, &TfrMain::sbCleanMemoLogClick);
    OnSignal(btSerial, &QToolButton::clicked, &TfrMain::btSerialClick);
    OnSignal(btSearchSerialPorts, &QToolButton::clicked, &TfrMain::btSearchSerialPortsClick);
    OnSignal(btDetectPinPad, &QPushButton::clicked, &TfrMain::btDetectPinPadClick);
    OnSignal(btSaveParams, &QPushButton::clicked, &TfrMain::btSaveParamsClick);
    OnSignal(btReadParms, &QPushButton::clicked, &TfrMain::btReadParmsClick);
    OnSignal(sbShowLogFile, &QPushButton::clicked, &TfrMain::sbShowLogFileClick);
    OnSignal(btAbout, &QPushButton::clicked, &TfrMain::btAboutClick);

    OnSignal(btOPN, &QPushButton::clicked, &TfrMain::btOPNClick);
    OnSignal(btGIN, &QPushButton::clicked, &TfrMain::btGINClick);
    OnSignal(btGIX, &QPushButton::clicked, &TfrMain::btGIXClick);
    OnSignal(cbGIXAll, &QCheckBox::toggled, &TfrMain::cbGIXAllClick);
    OnSignal(btVexoPinPadCapabilities, &QPushButton::clicked, &TfrMain::btVexoPinPadCapabilitiesClick);
    OnSignal(btDSP, &QPushButton::clicked, &TfrMain::btDSPClick);
    OnSignal(btDSPClear, &QPushButton::clicked, &TfrMain::btDSPClearClick);
    OnSignal(btDEX, &QPushButton::clicked, &TfrMain::btDEXClick);
    OnSignal(btDEXClear, &QPushButton::clicked, &TfrMain::btDEXClearClick);
    OnSignal(btRMC, &QPushButton::clicked, &TfrMain::btRMCClick);
    OnSignal(btGKY, &QPushButton::clicked, &TfrMain::btGKYClick);
    OnSignal(btGCD, &QPushButton::clicked, &TfrMain::btGCDClick);
    OnSignal(btMNU, &QPushButton::clicked, &TfrMain::btMNUClick);
    OnSignal(cbMNUHotKey, &QCheckBox::toggled, &TfrMain::cbMNUHotKeyClick);
    OnSignal(btCEX, &QPushButton::clicked, &TfrMain::btCEXClick);
    OnSignal(btCLO, &QPushButton::clicked, &TfrMain::btCLOClick);
    OnSignal(btCLX, &QPushButton::clicked, &TfrMain::btCLXClick);
    OnSignal(btLMF, &QPushButton::clicked, &TfrMain::btLMFClick);
    OnSignal(btDSI, &QPushButton::clicked, &TfrMain::btDSIClick);
    OnSignal(btDMF, &QPushButton::clicked, &TfrMain::btDMFClick);
    OnSignal(btSearchSerialPorts1, &QToolButton::clicked, &TfrMain::btSearchSerialPorts1Click);
    OnSignal(btMediaLoad, &QPushButton::clicked, &TfrMain::btMediaLoadClick);
    OnSignal(btPaintQRCode, &QPushButton::clicked, &TfrMain::btPaintQRCodeClick);
    OnSignal(btSendQRCode, &QPushButton::clicked, &TfrMain::btSendQRCodeClick);
    ConnectCommandPage();
}

void TfrMain::WireComponentEvents() {
    auto& pp = *VexoAbecsPinPad1;
    // An event handler must not let an error into the engine's own unwinding: the guard keeps it here.
    pp.SetOnStartCommand([this](vexo::TComponent*) { VexoAbecsPinPad1StartCommand(); });
    pp.SetOnWaitForResponse([this](bool& Cancel) { VexoAbecsPinPad1WaitForResponse(Cancel); });
    pp.SetOnEndCommand([this](vexo::TComponent*) { VexoAbecsPinPad1EndCommand(); });
    pp.SetOnWriteLog(
        [this](const std::string& ALine, bool& Tratado) { VexoAbecsPinPad1WriteLog(ALine, Tratado); });
}

void TfrMain::StartUp() {
    pCancelar->hide();
    ShowBusy(false);
    ShowActivated(false);
    pgcCommands->setCurrentIndex(0);
    pgCLX->setCurrentIndex(0);
    pgMedia->setCurrentIndex(0);

    QStringList ports;
    FindPorts(ports);
    RefillPortBox(ports);
    cbxPort->setEditText(QString());

    cbxMsgAlign->addItems(MsgAlignNames());
    cbxGCD->addItems(GCDPromptNames());
    cbxGCD->setCurrentIndex(-1);
    ReadParams();
    StartMediaPage();
}

// --- Window state ------------------------------------------------------------------------------------

void TfrMain::ShowActivated(bool AActivated) {
    btActivate->setText(AActivated ? tr("Desativar") : tr("Ativar"));
    btActivate->setProperty(kActivatedTag, AActivated ? 1 : 0);
    for (int i = 1; i < pgcCommands->count(); ++i)
        pgcCommands->widget(i)->setEnabled(AActivated);
}

void TfrMain::ShowBusy(bool ABusy) {
    pCancelar->setVisible(ABusy);
    for (int i = 1; i < pgcCommands->count(); ++i)
        pgcCommands->widget(i)->setEnabled(!ABusy);
    // The component takes no command while one waits, and deactivating would pull the port from under
    // the waiting command: these two stay out of reach until it ends.
    btActivate->setEnabled(!ABusy);
    btDetectPinPad->setEnabled(!ABusy);
}

bool TfrMain::IsActivatedFlag() const {
    return btActivate->property(kActivatedTag).toInt() == 1;
}

void TfrMain::AddToLog(const QString& AText) {
    mLog->appendPlainText(AText);
    // The newest line stays in sight, as the operator follows the exchange while it runs.
    QScrollBar* bar = mLog->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TfrMain::ApplicationEvents1Exception(const std::exception& E) {
    AddToLog(QString());
    AddToLog(QStringLiteral("** %1 **").arg(QString::fromStdString(ExceptionClassName(E))));
    AddToLog(QString::fromStdString(E.what()));
    ShowErrorStatus(E);
    CloseGoneLink(E);
}

void TfrMain::FindSerialPorts(QStringList& AList) {
    AList.clear();
    std::vector<std::string> ports;
    VexoAbecsPinPad1->Device().AcharPortasSeriais(ports);
    for (const auto& port : ports)
        AList << QString::fromStdString(port);
}

// What the port box offers: the serial ports that open, then the USB devices by name. A PIN pad on USB
// is one of those serial ports too; its USB name says which one it is.
void TfrMain::FindPorts(QStringList& AList) {
    FindSerialPorts(AList);
    std::vector<std::string> usb;
    VexoAbecsPinPad1->Device().AcharPortasUSB(usb);
    for (const auto& port : usb)
        AList << QString::fromStdString(port);
}

// Replaces the port box's items; the text typed in the box survives and no item is selected.
void TfrMain::RefillPortBox(const QStringList& AItems) {
    const QString text = cbxPort->currentText();
    cbxPort->clear();
    cbxPort->addItems(AItems);
    cbxPort->setCurrentIndex(-1);
    cbxPort->setEditText(text);
}

void TfrMain::ListMediaFiles() {
    VexoAbecsPinPad1->LMF();
    std::vector<std::string> names;
    VexoAbecsPinPad1->Response().GetResponseFromTagValue(vexo::PP_MFNAME, names);
    QStringList lines;
    for (const auto& name : names)
        lines << QString::fromStdString(name);
    lbLMFMedias->clear();
    lbLMFMedias->addItems(lines);
    const QString title = lines.isEmpty() ? tr("No media files") : tr("%1 media file(s)").arg(lines.size());
    pLMFMediaTitle->setText(title);
    pCLXMediaTitle->setText(title);
    lbCLXMedias->clear();
    lbCLXMedias->addItems(lines);
}

// --- Component events --------------------------------------------------------------------------------

void TfrMain::VexoAbecsPinPad1StartCommand() {
    // A media file going out can be cancelled between its packets, as a blocking command can be.
    if (VexoAbecsPinPad1->Command().IsBlocking() || fUploading) ShowBusy(true);
    // The operator's new command: what the status bar said of the last one no longer holds.
    if (fFollowUps == 0)
        ShowStatus(TStatusKind::skNone, QStringLiteral("STAT:"),
                   QString::fromStdString(VexoAbecsPinPad1->Command().ID()) + QStringLiteral(" ..."));
}

void TfrMain::VexoAbecsPinPad1WaitForResponse(bool& Cancel) {
    QCoreApplication::processEvents();
    Cancel = pCancelar->isHidden();
}

void TfrMain::VexoAbecsPinPad1EndCommand() {
    ShowBusy(false);
    ShowResponseStatus();
    // A close asked for while the command waited is carried out once the handler has unwound.
    if (fCloseRequested) QTimer::singleShot(0, this, &QWidget::close);
}

void TfrMain::VexoAbecsPinPad1WriteLog(const std::string& ALogLine, bool& Tratado) {
    AddToLog(QString::fromStdString(ALogLine));
    Tratado = false;
}

void TfrMain::closeEvent(QCloseEvent* AEvent) {
    // Destroying the component under a waiting command would pull the stack from under it: cancel the
    // wait and close when the command has ended.
    if (VexoAbecsPinPad1->IsBusy()) {
        fCloseRequested = true;
        ShowBusy(false);
        AEvent->ignore();
        return;
    }
    QMainWindow::closeEvent(AEvent);
}

// --- Config page -------------------------------------------------------------------------------------

void TfrMain::btActivateClick() {
    auto& pp = *VexoAbecsPinPad1;
    if (pp.IsBusy()) return;
    if (!pp.IsEnabled()) {
        SaveParams();
        ApplyParams();
    }
    pp.SetIsEnabled(!IsActivatedFlag());
    ShowActivated(pp.IsEnabled());
    if (!pp.IsEnabled()) return;
    vexo::TVexoAbecsPinPadCapabilities capabilities;
    try {
        capabilities = pp.GetPinPadCapabilities();
    } catch (const std::exception& E) {
        // The window stays activated, so the operator can try commands or fix the line; but an open
        // port with nothing on it must not look like a PIN pad.
        ApplicationEvents1Exception(E);
        if (pp.IsEnabled()) ShowNoPinPadAnswered(E);
        return;
    }
    if (capabilities.DisplayGraphicPixels.Rows > 0) ListMediaFiles();
    pgcCommands->setCurrentIndex(1);
}

void TfrMain::btCancelClick() {
    ShowBusy(false);
}

void TfrMain::sbCleanMemoLogClick() {
    mLog->clear();
}

void TfrMain::btSerialClick() {
    auto& device = VexoAbecsPinPad1->Device();
    TfrConfiguraSerial dialog(this, [this](const std::exception& E) { ApplicationEvents1Exception(E); });
    dialog.Device().SetPorta(device.Porta());
    dialog.cmbPortaSerial->setEditText(cbxPort->currentText());
    dialog.Device().SetParamsString(device.ParamsString());
    if (dialog.exec() != QDialog::Accepted) return;
    cbxPort->setEditText(dialog.cmbPortaSerial->currentText());
    device.SetParamsString(dialog.Device().ParamsString());
}

void TfrMain::btSearchSerialPortsClick() {
    QStringList ports;
    FindPorts(ports);
    RefillPortBox(ports);
    if (cbxPort->currentIndex() < 0 && cbxPort->count() > 0) cbxPort->setCurrentIndex(0);
}

void TfrMain::btDetectPinPadClick() {
    auto& pp = *VexoAbecsPinPad1;
    if (pp.IsBusy()) return;
    const QString found = QString::fromStdString(vexo::DetectPinPad(pp).Found);
    if (found.isEmpty()) {
        fMessageBox(tr("PinPad not Found"));
        return;
    }
    fMessageBox(tr("PinPad Found on ") + found);
    QStringList ports;
    FindPorts(ports);
    RefillPortBox(ports);
    cbxPort->setEditText(found);
}

void TfrMain::btSaveParamsClick() {
    SaveParams();
}

void TfrMain::btReadParmsClick() {
    ReadParams();
}

void TfrMain::sbShowLogFileClick() {
    const QString name = LogFileName();
    if (name.isEmpty()) return;
    // The very file the component is handed, so the viewer shows the file being written.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(name).absoluteFilePath()));
}

void TfrMain::btAboutClick() {
    fMessageBox(AboutText());
}

// --- Settings ----------------------------------------------------------------------------------------

void TfrMain::SaveParams() {
    AddToLog(QStringLiteral("- SaveParams"));
    TIniFile ini(Std(ParamsFileName()));
    ini.WriteString("Serial", "Port", Std(cbxPort->currentText()));
    ini.WriteString("Serial", "ParamsString", VexoAbecsPinPad1->Device().ParamsString());
    ini.WriteString("Log", "File", Std(edLogFile->text()));
    ini.WriteInteger("Log", "Level", seLogLevel->value());
    ini.WriteBool("Log", "MaskCardData", cbLogMaskCardData->isChecked());
    ini.WriteInteger("PinPad", "MsgAlign", cbxMsgAlign->currentIndex());
    ini.WriteBool("PinPad", "MsgWordWrap", cbMsgWordWrap->isChecked());
    ini.UpdateFile();
}

void TfrMain::ReadParams() {
    AddToLog(QStringLiteral("- ReadParams"));
    const TIniFile ini(Std(ParamsFileName()));
    cbxPort->setEditText(QString::fromStdString(ini.ReadString("Serial", "Port", "")));
    VexoAbecsPinPad1->Device().SetParamsString(ini.ReadString("Serial", "ParamsString", ""));
    edLogFile->setText(QString::fromStdString(ini.ReadString("Log", "File", "")));
    seLogLevel->setValue(ini.ReadInteger("Log", "Level", 2));
    cbLogMaskCardData->setChecked(ini.ReadBool("Log", "MaskCardData", true));
    const int align = ini.ReadInteger("PinPad", "MsgAlign", 3);
    cbxMsgAlign->setCurrentIndex(align >= 0 && align < cbxMsgAlign->count() ? align : -1);
    cbMsgWordWrap->setChecked(ini.ReadBool("PinPad", "MsgWordWrap", true));
    ReadPngForm(ini.ReadString("Media", "PngForm", "smallest"));
}

void TfrMain::ApplyParams() {
    auto& pp = *VexoAbecsPinPad1;
    pp.SetLogFile(Std(LogFileName()));
    const int level = seLogLevel->value();
    if (level < 0 || level > 255) throw vexo::ERangeError();
    pp.SetLogLevel(static_cast<uint8_t>(level));
    pp.SetLogMaskCardData(cbLogMaskCardData->isChecked());
    pp.SetPort(Std(cbxPort->currentText()));
    // With no alignment chosen the component keeps the one it has.
    if (cbxMsgAlign->currentIndex() >= 0)
        pp.SetMsgAlign(static_cast<vexo::TVexoAbecsMsgAlign>(cbxMsgAlign->currentIndex()));
    pp.SetMsgWordWrap(cbMsgWordWrap->isChecked());
}

} // namespace kestrel
