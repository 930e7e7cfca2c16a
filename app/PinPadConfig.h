#pragma once
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class QTextEdit;
class QToolButton;
class QWidget;

namespace vexo {
class TVexoAbecsPinPad;
struct TVexoAbecsAnyCommand;
}

namespace kestrel::media {
struct Picture;
enum class MediaType;
} // namespace kestrel::media

namespace kestrel {

struct TMediaPageState;
struct TAnyCommandForm;
struct TAnyPageState;
class TPictureView;

// The test tool's main window: a Config page, the command pages, the on-screen log and the status bar.
// It owns the one PIN-pad component and holds no protocol logic of its own: every handler is a few lines
// that call the component.
class TfrMain : public QMainWindow {
    Q_OBJECT

public:
    // AParamsFileName: where the settings live; empty means the settings folder's kestrel.ini (beside the
    // executable when that folder can be written, otherwise ~/.config/kestrel).
    explicit TfrMain(const QString& AParamsFileName = QString(), QWidget* AParent = nullptr);
    ~TfrMain() override;

    vexo::TVexoAbecsPinPad& PinPad() { return *VexoAbecsPinPad1; }
    QString ParamsFileName() const;
    // The file the component logs to: a name without a folder lies in the settings file's folder.
    QString LogFileName() const;
    // What the About box says: the program, its version and the settings file in use.
    QString AboutText() const;

    // Detection's outcome and the About text are shown in a modal box; tests replace the box.
    using TMessageBox = std::function<void(const QString&)>;
    void SetMessageBox(TMessageBox ABox) { fMessageBox = std::move(ABox); }
    // The Yes/No question before deleting media files (true: Yes); tests answer it themselves.
    using TQuestionBox = std::function<bool(const QString&)>;
    void SetQuestionBox(TQuestionBox ABox) { fQuestionBox = std::move(ABox); }
    // The picture file the operator picks (empty: cancelled); tests name the file instead of a dialog.
    using TFileChooser = std::function<QString()>;
    void SetPictureFileChooser(TFileChooser AChooser) { fPictureFileChooser = std::move(AChooser); }

    // The pictures of the Multimedia page, as they will be uploaded.
    const media::Picture& MediaPicture() const;
    media::MediaType MediaPictureType() const;
    const media::Picture& QRCodePicture() const;

    // Shows an error that escaped a handler: three log lines and the status bar.
    void ApplicationEvents1Exception(const std::exception& E);

    // How the status bar reads: the outcome of the last thing the operator asked for.
    enum class TStatusKind { skNone, skOk, skWarning, skError };
    TStatusKind StatusKind() const { return fStatusKind; }
    void AddToLog(const QString& AText);

protected:
    void closeEvent(QCloseEvent* AEvent) override;

private:
    // Runs a handler; whatever escapes it goes to the error display, never into Qt's event loop.
    void Guard(const std::function<void()>& AHandler);
    template <class TSender, class TSignal>
    void OnSignal(TSender* ASender, TSignal ASignal, void (TfrMain::*AHandler)());

    // Layout
    void BuildWindow();
    QWidget* BuildConfigPage();
    QWidget* BuildOpenPage();
    QWidget* BuildInformationPage();
    QWidget* BuildDisplayPage();
    QWidget* BuildMultimediaPage();
    QWidget* BuildAskEventPage();
    QWidget* BuildClosePage();
    QWidget* BuildCommandPage();
    void ConnectHandlers();
    void WireComponentEvents();
    void StartUp();

    // Window state
    void ShowActivated(bool AActivated);
    void ShowBusy(bool ABusy);
    bool IsActivatedFlag() const;
    void ShowResponseStatus();
    void ShowStatus(TStatusKind AKind, const QString& AHead, const QString& AText);
    void ShowErrorStatus(const std::exception& E);
    void ShowNoPinPadAnswered(const std::exception& E);
    bool CloseGoneLink(const std::exception& E);
    void NoteDroppedText(const QString& ACommand, const std::string& AText, const std::string& ALaidOut);
    void NoteUnknownIds(const QString& AWords);
    // Commands the window sends on its own after the operator's (the key shown after GKY, the event
    // after CEX): their outcome never replaces the one of the command the operator started.
    class TFollowUp {
    public:
        explicit TFollowUp(TfrMain& AWindow) : fWindow(AWindow) { ++fWindow.fFollowUps; }
        ~TFollowUp() { --fWindow.fFollowUps; }
        TFollowUp(const TFollowUp&) = delete;
        TFollowUp& operator=(const TFollowUp&) = delete;

    private:
        TfrMain& fWindow;
    };
    void FindSerialPorts(QStringList& AList);
    void FindPorts(QStringList& AList);
    void ListMediaFiles();
    void RefillPortBox(const QStringList& AItems);

    // Settings
    void SaveParams();
    void ReadParams();
    void ReadPngForm(const std::string& AValue);
    void ApplyParams();

    // Component events
    void VexoAbecsPinPad1StartCommand();
    void VexoAbecsPinPad1WaitForResponse(bool& Cancel);
    void VexoAbecsPinPad1EndCommand();
    void VexoAbecsPinPad1WriteLog(const std::string& ALogLine, bool& Tratado);

    // Config page
    void btActivateClick();
    void btCancelClick();
    void sbCleanMemoLogClick();
    void btSerialClick();
    void btSearchSerialPortsClick();
    void btDetectPinPadClick();
    void btSaveParamsClick();
    void btReadParmsClick();
    void sbShowLogFileClick();
    void btAboutClick();

    // Command pages
    void btOPNClick();
    void btGINClick();
    void btGIXClick();
    void cbGIXAllClick();
    void btVexoPinPadCapabilitiesClick();
    void btDSPClick();
    void btDSPClearClick();
    void btDEXClick();
    void btDEXClearClick();
    void btRMCClick();
    void btGKYClick();
    void btGCDClick();
    void btMNUClick();
    void cbMNUHotKeyClick();
    void btCEXClick();
    void btCLOClick();
    void btCLXClick();
    void btLMFClick();

    // Multimedia page
    void BuildMediaImagePage(QWidget* APage);
    void BuildMediaQRCodePage(QWidget* APage);
    void StartMediaPage();
    void btDSIClick();
    void btDMFClick();
    void btSearchSerialPorts1Click();
    void btMediaLoadClick();
    void btPaintQRCodeClick();
    void btSendQRCodeClick();
    void ShowMediaInfo();
    void ShowMediaPicture();
    void ShowQRCodePicture();
    QStringList SelectedMediaNames() const;
    void UploadMedia(const QString& AName, const std::string& ABytes, media::MediaType AType);

    // Command page
    void ConnectCommandPage();
    void btAnySendClick();
    void btAnyCopyClick();
    void btAnyAgainClick();
    void btAnyEditClick();
    void btAnyAddItemClick();
    void btAnyRemoveItemClick();
    void btAnyAddBlockClick();
    void btAnyRemoveBlockClick();
    void cbxAnyNameChange();
    TAnyCommandForm AnyFormFromPage() const;
    void ShowAnyForm(const TAnyCommandForm& AForm);
    void SendAnyForm(const TAnyCommandForm& AForm);
    // The command the page describes; nullopt, the fault in the status bar and the log, for a bad row.
    std::optional<vexo::TVexoAbecsAnyCommand> CheckedAnyForm(const TAnyCommandForm& AForm);
    void BeginMediaLoad();
    void EndMediaLoad();
    void MediaLoadProgress(int APacketsDone, int APacketsTotal);

    std::unique_ptr<vexo::TVexoAbecsPinPad> VexoAbecsPinPad1;
    std::unique_ptr<TMediaPageState> fMediaPage;
    std::unique_ptr<TAnyPageState> fAnyPage;
    QString fParamsFileName;
    TMessageBox fMessageBox;
    TQuestionBox fQuestionBox;
    TFileChooser fPictureFileChooser;
    bool fCloseRequested = false;
    int fFollowUps = 0;
    bool fUploading = false;
    TStatusKind fStatusKind = TStatusKind::skNone;

public:
    // Controls, under the names the operator's documentation and the tests use.
    QTabWidget* pgcCommands = nullptr;
    QWidget* tsConfig = nullptr;
    QWidget* tsOpen = nullptr;
    QWidget* tsGIX = nullptr;
    QWidget* tsDisplay = nullptr;
    QWidget* tsMultimidia = nullptr;
    QWidget* tsAskEvent = nullptr;
    QWidget* tsClose = nullptr;
    QWidget* tsCommand = nullptr;
    QWidget* pCancelar = nullptr;
    QPushButton* btCancel = nullptr;
    QPlainTextEdit* mLog = nullptr;
    QToolButton* sbCleanMemoLog = nullptr;
    QLabel* sbResponseIcon = nullptr;
    QLabel* sbResponseStat = nullptr;
    QLabel* sbResponseError = nullptr;

    QComboBox* cbxPort = nullptr;
    QToolButton* btSerial = nullptr;
    QToolButton* btSearchSerialPorts = nullptr;
    QLineEdit* edLogFile = nullptr;
    QPushButton* sbShowLogFile = nullptr;
    QSpinBox* seLogLevel = nullptr;
    QCheckBox* cbLogMaskCardData = nullptr;
    QComboBox* cbxMsgAlign = nullptr;
    QCheckBox* cbMsgWordWrap = nullptr;
    QPushButton* btSaveParams = nullptr;
    QPushButton* btReadParms = nullptr;
    QPushButton* btDetectPinPad = nullptr;
    QPushButton* btActivate = nullptr;
    QPushButton* btAbout = nullptr;

    QPushButton* btOPN = nullptr;
    QCheckBox* cbSecure = nullptr;
    QWidget* pKeys = nullptr;
    QToolButton* sbGenerateKeys = nullptr;
    QPlainTextEdit* mModulus = nullptr;
    QPlainTextEdit* mExponent = nullptr;

    QCheckBox* cbGIXAll = nullptr;
    QListWidget* lbGIXParams = nullptr;
    QLineEdit* edGIXValue = nullptr;
    QPushButton* btGIX = nullptr;
    QPlainTextEdit* mGIXResponse = nullptr;
    QPushButton* btVexoPinPadCapabilities = nullptr;
    QPlainTextEdit* mVexoPinPadCapabilities = nullptr;
    QSpinBox* seGIN_ACQIDX = nullptr;
    QPushButton* btGIN = nullptr;
    QPlainTextEdit* mGINResponse = nullptr;

    QLineEdit* edtDSPMsg1 = nullptr;
    QLineEdit* edtDSPMsg2 = nullptr;
    QPushButton* btDSP = nullptr;
    QPushButton* btDSPClear = nullptr;
    QPlainTextEdit* mDEX = nullptr;
    QPushButton* btDEX = nullptr;
    QPushButton* btDEXClear = nullptr;

    QLabel* pLMFMediaTitle = nullptr;
    QListWidget* lbLMFMedias = nullptr;
    QPushButton* btLMF = nullptr;
    QPushButton* btDSI = nullptr;
    QPushButton* btDMF = nullptr;
    QTabWidget* pgMedia = nullptr;
    QScrollArea* sbxMedia = nullptr;
    QLabel* imgMedia = nullptr;
    QLineEdit* edMediaLoad = nullptr;
    QToolButton* btSearchSerialPorts1 = nullptr;
    QLabel* pMediaInfo = nullptr;
    QPushButton* btMediaLoad = nullptr;
    QCheckBox* cbMediaAsIs = nullptr;
    TPictureView* imgQRCode = nullptr;
    QTextEdit* mQRCode = nullptr;
    QPushButton* btPaintQRCode = nullptr;
    QLineEdit* edQRCodeImgName = nullptr;
    QPushButton* btSendQRCode = nullptr;
    QProgressBar* pbMediaLoad = nullptr;

    QPushButton* btGKY = nullptr;
    QLabel* pGKYResponse = nullptr;
    QLineEdit* edtRMCMsg1 = nullptr;
    QLineEdit* edtRMCMsg2 = nullptr;
    QPushButton* btRMC = nullptr;
    QComboBox* cbxGCD = nullptr;
    QSpinBox* seGCDTimeOut = nullptr;
    QPushButton* btGCD = nullptr;
    QLabel* pGCDResponse = nullptr;
    QLineEdit* edMNUTitle = nullptr;
    QPlainTextEdit* mMNU = nullptr;
    QCheckBox* cbMNUHotKey = nullptr;
    QSpinBox* seMNUTimeOut = nullptr;
    QPushButton* btMNU = nullptr;
    QLabel* pMNUResponse = nullptr;
    QCheckBox* cbCEXVerifyKey = nullptr;
    QCheckBox* cbCEXVerifyMagnetic = nullptr;
    QCheckBox* cbCEXVerifyICCInsertion = nullptr;
    QCheckBox* cbCEXVerifyICCRemoval = nullptr;
    QCheckBox* cbCEXVerifyCTLSPresence = nullptr;
    QSpinBox* seCEXTimeOut = nullptr;
    QPushButton* btCEX = nullptr;
    QPlainTextEdit* mCEXResponse = nullptr;

    QLineEdit* edtCLOMsg1 = nullptr;
    QLineEdit* edtCLOMsg2 = nullptr;
    QPushButton* btCLO = nullptr;
    QTabWidget* pgCLX = nullptr;
    QPlainTextEdit* mCLX = nullptr;
    QLabel* pCLXMediaTitle = nullptr;
    QListWidget* lbCLXMedias = nullptr;
    QPushButton* btCLX = nullptr;

    QComboBox* cbxAnyName = nullptr;
    QLabel* pAnyDescription = nullptr;
    QCheckBox* cbAnyBlocking = nullptr;
    QTableWidget* tbAnyItems = nullptr;
    QPushButton* btAnyAddItem = nullptr;
    QPushButton* btAnyRemoveItem = nullptr;
    QTableWidget* tbAnyBlocks = nullptr;
    QPushButton* btAnyAddBlock = nullptr;
    QPushButton* btAnyRemoveBlock = nullptr;
    QPushButton* btAnySend = nullptr;
    QPushButton* btAnyCopy = nullptr;
    QTableWidget* tbAnyResponse = nullptr;
    QListWidget* lbAnyHistory = nullptr;
    QPushButton* btAnyAgain = nullptr;
    QPushButton* btAnyEdit = nullptr;
};

} // namespace kestrel
