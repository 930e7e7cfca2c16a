// Builds the window's controls, with their names, captions and defaults.
#include "app/MediaPicture.h"
#include "app/PinPadConfig.h"
#include "app/PinPadTexts.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrel {

namespace {

template <class T> T* Named(T* AWidget, const char* AName) {
    AWidget->setObjectName(QString::fromLatin1(AName));
    return AWidget;
}

QPushButton* Button(const char* AName, const QString& ACaption) {
    return Named(new QPushButton(ACaption), AName);
}

QToolButton* GlyphButton(const char* AName, QStyle::StandardPixmap AGlyph, const QString& AHint) {
    auto* b = Named(new QToolButton, AName);
    b->setIcon(b->style()->standardIcon(AGlyph));
    b->setToolTip(AHint);
    return b;
}

QFont DisplayFont() {
    QFont f(QStringLiteral("Courier"), 12);
    f.setStyleHint(QFont::TypeWriter);
    return f;
}

// A PIN-pad display line: at most 16 characters, fixed pitch.
QLineEdit* DisplayEdit(const char* AName, const QString& AText) {
    auto* e = Named(new QLineEdit(AText), AName);
    e->setMaxLength(16);
    e->setFont(DisplayFont());
    return e;
}

QPlainTextEdit* Memo(const char* AName, const QString& AText, bool AReadOnly = false) {
    auto* m = Named(new QPlainTextEdit(AText), AName);
    m->setReadOnly(AReadOnly);
    return m;
}

QSpinBox* Spin(const char* AName, int AMin, int AMax, int AValue) {
    auto* s = Named(new QSpinBox, AName);
    s->setRange(AMin, AMax);
    s->setValue(AValue);
    return s;
}

QLabel* ResultPanel(const char* AName, const QString& AText) {
    auto* l = Named(new QLabel(AText), AName);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumHeight(26);
    return l;
}

QLabel* TitlePanel(const char* AName, const QString& AText) {
    auto* l = ResultPanel(AName, AText);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// Notes beside a command: small print, so the controls keep their room.
QLabel* Note(const QString& AText) {
    auto* label = new QLabel(AText);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QGroupBox* Group(const QString& ATitle, QLayout* ALayout) {
    auto* g = new QGroupBox(ATitle);
    g->setLayout(ALayout);
    return g;
}

QWidget* Labelled(const QString& ALabel, QWidget* AControl) {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(ALabel);
    label->setBuddy(AControl);
    l->addWidget(label);
    l->addWidget(AControl);
    return w;
}

// The QR text is one payload: Enter does not break it.
class TQRCodeTextEdit : public QTextEdit {
protected:
    void keyPressEvent(QKeyEvent* AEvent) override {
        if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
            AEvent->ignore();
            return;
        }
        QTextEdit::keyPressEvent(AEvent);
    }
};

const QString kDisplayLines = QStringLiteral("PROJETO VEXO\nVexoAbecsPinPad\n----------------\nTEF e PIX ?\n"
                                             "\u00C9 no Vexo\n-+-+-+-+-+-+-+-+");

} // namespace

void TfrMain::BuildWindow() {
    setWindowTitle(tr("Teste ABECS PinPad"));
    resize(932, 587);
    setMinimumWidth(640);

    pgcCommands = Named(new QTabWidget, "pgcCommands");
    pgcCommands->setMinimumHeight(264);
    tsConfig = Named(BuildConfigPage(), "tsConfig");
    tsOpen = Named(BuildOpenPage(), "tsOpen");
    tsGIX = Named(BuildInformationPage(), "tsGIX");
    tsDisplay = Named(BuildDisplayPage(), "tsDisplay");
    tsMultimidia = Named(BuildMultimediaPage(), "tsMultimidia");
    tsAskEvent = Named(BuildAskEventPage(), "tsAskEvent");
    tsClose = Named(BuildClosePage(), "tsClose");
    tsCommand = Named(BuildCommandPage(), "tsCommand");
    auto* st = style();
    pgcCommands->addTab(tsConfig, tr("Config"));
    pgcCommands->addTab(tsOpen, st->standardIcon(QStyle::SP_DialogOpenButton), tr("Open"));
    pgcCommands->addTab(tsGIX, st->standardIcon(QStyle::SP_MessageBoxInformation), tr("Information"));
    pgcCommands->addTab(tsDisplay, st->standardIcon(QStyle::SP_ComputerIcon), tr("Display"));
    pgcCommands->addTab(tsMultimidia, st->standardIcon(QStyle::SP_DirIcon), tr("Multimedia"));
    pgcCommands->addTab(tsAskEvent, st->standardIcon(QStyle::SP_MessageBoxQuestion), tr("Ask / Events"));
    pgcCommands->addTab(tsCommand, st->standardIcon(QStyle::SP_CommandLink), tr("Command"));
    pgcCommands->addTab(tsClose, st->standardIcon(QStyle::SP_DialogCloseButton), tr("Close"));

    pCancelar = Named(new QWidget, "pCancelar");
    pCancelar->setFixedHeight(57);
    auto* cancelLayout = new QHBoxLayout(pCancelar);
    cancelLayout->setContentsMargins(0, 0, 0, 0);
    btCancel = Button("btCancel", tr("Cancel Operation"));
    btCancel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    cancelLayout->addWidget(btCancel);

    mLog = Memo("mLog", QString(), true);
    mLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    mLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    sbCleanMemoLog = GlyphButton("sbCleanMemoLog", QStyle::SP_DialogResetButton, tr("Clear log"));
    sbCleanMemoLog->setFixedWidth(23);
    sbCleanMemoLog->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* logRow = new QHBoxLayout;
    logRow->setContentsMargins(0, 0, 0, 0);
    logRow->setSpacing(0);
    logRow->addWidget(mLog);
    logRow->addWidget(sbCleanMemoLog);
    auto* lower = new QWidget;
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(pCancelar);
    lowerLayout->addLayout(logRow);

    auto* splitter = Named(new QSplitter(Qt::Vertical), "Splitter1");
    splitter->setHandleWidth(8);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(pgcCommands);
    splitter->addWidget(lower);
    splitter->setSizes({332, 587 - 332 - 8 - 28});
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    auto* bar = Named(new QStatusBar, "sbResponse");
    bar->setFixedHeight(28);
    bar->setSizeGripEnabled(false);
    sbResponseIcon = Named(new QLabel, "sbResponseIcon");
    sbResponseIcon->hide();
    bar->addWidget(sbResponseIcon);
    sbResponseStat = Named(new QLabel(tr("STAT:")), "sbResponseStat");
    sbResponseStat->setFixedWidth(120);
    sbResponseError = Named(new QLabel(tr("ERROR:")), "sbResponseError");
    bar->addWidget(sbResponseStat);
    bar->addWidget(sbResponseError, 1);
    // Shown only while a media file goes to the PIN pad.
    pbMediaLoad = Named(new QProgressBar, "pbMediaLoad");
    pbMediaLoad->setFixedWidth(160);
    pbMediaLoad->setMaximumHeight(20);
    pbMediaLoad->hide();
    bar->addPermanentWidget(pbMediaLoad);
    setStatusBar(bar);
}

QWidget* TfrMain::BuildConfigPage() {
    auto* page = new QWidget;
    auto* top = new QVBoxLayout(page);

    cbxPort = Named(new QComboBox, "cbxPort");
    cbxPort->setEditable(true);
    cbxPort->setMinimumWidth(220);
    btSerial = GlyphButton("btSerial", QStyle::SP_FileDialogDetailedView, tr("Serial settings"));
    btSearchSerialPorts =
        GlyphButton("btSearchSerialPorts", QStyle::SP_BrowserReload, tr("Search serial ports"));
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(cbxPort, 1);
    portRow->addWidget(btSerial);
    portRow->addWidget(btSearchSerialPorts);

    edLogFile = Named(new QLineEdit, "edLogFile");
    sbShowLogFile = Button("sbShowLogFile", QStringLiteral("..."));
    sbShowLogFile->setFixedWidth(30);
    seLogLevel = Spin("seLogLevel", 0, 9, 2);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(Labelled(tr("File"), edLogFile), 1);
    logRow->addWidget(sbShowLogFile, 0, Qt::AlignBottom);
    logRow->addWidget(Labelled(tr("Log.Level"), seLogLevel));
    cbLogMaskCardData = Named(new QCheckBox(tr("Mask card data")), "cbLogMaskCardData");
    cbLogMaskCardData->setChecked(true);
    cbLogMaskCardData->setToolTip(
        tr("Card numbers and tracks show in the log with only the first 6 and last 4 digits"));
    logRow->addWidget(cbLogMaskCardData, 0, Qt::AlignBottom);

    cbxMsgAlign = Named(new QComboBox, "cbxMsgAlign");
    cbMsgWordWrap = Named(new QCheckBox(tr("WordWrap")), "cbMsgWordWrap");
    auto* alignRow = new QHBoxLayout;
    alignRow->addWidget(cbxMsgAlign, 1);
    alignRow->addWidget(cbMsgWordWrap);

    auto* groups = new QHBoxLayout;
    groups->addWidget(Group(tr("Serial Port"), portRow), 2);
    groups->addWidget(Group(tr("Log"), logRow), 3);
    groups->addWidget(Group(tr("Msg Align"), alignRow), 2);
    top->addLayout(groups);

    btSaveParams = Button("btSaveParams", tr("Save Params"));
    btReadParms = Button("btReadParms", tr("Read Params"));
    btDetectPinPad = Button("btDetectPinPad", tr("Detect PinPad"));
    btActivate = Button("btActivate", tr("Ativar"));
    btActivate->setMinimumHeight(40);
    btAbout = Button("btAbout", tr("About"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btSaveParams);
    buttons->addWidget(btReadParms);
    buttons->addWidget(btDetectPinPad);
    buttons->addWidget(btAbout);
    buttons->addStretch(1);
    buttons->addWidget(btActivate);
    top->addLayout(buttons);
    top->addStretch(1);
    return page;
}

QWidget* TfrMain::BuildOpenPage() {
    auto* page = new QWidget;
    auto* top = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    btOPN = Button("btOPN", tr("Open (OPN)"));
    cbSecure = Named(new QCheckBox(tr("Secure")), "cbSecure");
    left->addWidget(btOPN);
    left->addWidget(cbSecure);
    left->addStretch(1);
    top->addLayout(left);

    pKeys = Named(new QWidget, "pKeys");
    auto* keys = new QHBoxLayout(pKeys);
    sbGenerateKeys = GlyphButton("sbGenerateKeys", QStyle::SP_BrowserReload, tr("Generate new Key pair"));
    mModulus = Memo("mModulus", QStringLiteral(SAMPLE_MODULUS));
    mModulus->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    mExponent = Memo("mExponent", QStringLiteral("010001"));
    auto* modulusLayout = new QVBoxLayout;
    modulusLayout->addWidget(mModulus);
    auto* exponentLayout = new QVBoxLayout;
    exponentLayout->addWidget(mExponent);
    keys->addWidget(sbGenerateKeys, 0, Qt::AlignTop);
    keys->addWidget(Group(tr("Modulus"), modulusLayout), 4);
    keys->addWidget(Group(tr("Exponent"), exponentLayout), 1);
    pKeys->setEnabled(false);
    top->addWidget(pKeys, 1);
    return page;
}

QWidget* TfrMain::BuildInformationPage() {
    auto* page = new QWidget;
    auto* top = new QHBoxLayout(page);

    cbGIXAll = Named(new QCheckBox(tr("All")), "cbGIXAll");
    lbGIXParams = Named(new QListWidget, "lbGIXParams");
    lbGIXParams->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbGIXParams->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lbGIXParams->addItems(GIXParamItems());
    edGIXValue = Named(new QLineEdit, "edGIXValue");
    btGIX = Button("btGIX", tr("GIX"));
    mGIXResponse = Memo("mGIXResponse", QString(), true);
    auto* gixLeft = new QVBoxLayout;
    gixLeft->addWidget(cbGIXAll);
    gixLeft->addWidget(lbGIXParams, 1);
    gixLeft->addWidget(edGIXValue);
    gixLeft->addWidget(btGIX);
    auto* gix = new QHBoxLayout;
    gix->addLayout(gixLeft, 2);
    gix->addWidget(mGIXResponse, 3);
    top->addWidget(Group(tr("GIX"), gix), 5);

    btVexoPinPadCapabilities = Button("btVexoPinPadCapabilities", tr("Get Vexo PinPad Capabilities"));
    mVexoPinPadCapabilities = Memo("mVexoPinPadCapabilities", QString(), true);
    auto* caps = new QVBoxLayout;
    caps->addWidget(btVexoPinPadCapabilities);
    caps->addWidget(mVexoPinPadCapabilities, 1);
    top->addWidget(Group(tr("Vexo PinPad Capabilities"), caps), 3);

    seGIN_ACQIDX = Spin("seGIN_ACQIDX", 0, 99, 0);
    btGIN = Button("btGIN", tr("GIN"));
    mGINResponse = Memo("mGINResponse", QString(), true);
    auto* ginRow = new QHBoxLayout;
    ginRow->addWidget(Labelled(tr("ACQIDX"), seGIN_ACQIDX));
    ginRow->addWidget(btGIN, 0, Qt::AlignBottom);
    auto* gin = new QVBoxLayout;
    gin->addLayout(ginRow);
    gin->addWidget(mGINResponse, 1);
    top->addWidget(Group(tr("GIN (obsolete)"), gin), 2);
    return page;
}

QWidget* TfrMain::BuildDisplayPage() {
    auto* page = new QWidget;
    auto* top = new QHBoxLayout(page);

    edtDSPMsg1 = DisplayEdit("edtDSPMsg1", QStringLiteral("PROJETO VEXO"));
    edtDSPMsg2 = DisplayEdit("edtDSPMsg2", QStringLiteral("VexoAbecsPinPad"));
    btDSP = Button("btDSP", tr("Display (DSP)"));
    btDSPClear = Button("btDSPClear", tr("Clear Display"));
    auto* dsp = new QVBoxLayout;
    dsp->addWidget(Labelled(tr("Linha 1"), edtDSPMsg1));
    dsp->addWidget(Labelled(tr("Linha 2"), edtDSPMsg2));
    dsp->addWidget(btDSP);
    dsp->addWidget(btDSPClear);
    dsp->addStretch(1);
    top->addWidget(Group(tr("DSP"), dsp), 1);

    mDEX = Memo("mDEX", kDisplayLines);
    mDEX->setFont(DisplayFont());
    btDEX = Button("btDEX", tr("Display (DEX)"));
    btDEXClear = Button("btDEXClear", tr("Clear Display"));
    auto* dexButtons = new QVBoxLayout;
    dexButtons->addWidget(btDEX);
    dexButtons->addWidget(btDEXClear);
    dexButtons->addStretch(1);
    auto* dex = new QHBoxLayout;
    dex->addWidget(Labelled(tr("Lines"), mDEX), 1);
    dex->addLayout(dexButtons);
    top->addWidget(Group(tr("DEX"), dex), 2);
    return page;
}

// Only the media list lives here for now; the picture and QR-code pages hang under pgMedia.
QWidget* TfrMain::BuildMultimediaPage() {
    auto* page = new QWidget;
    auto* top = new QHBoxLayout(page);
    pLMFMediaTitle = TitlePanel("pLMFMediaTitle", tr("Media Files"));
    lbLMFMedias = Named(new QListWidget, "lbLMFMedias");
    lbLMFMedias->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbLMFMedias->setFont(DisplayFont());
    btLMF = Button("btLMF", tr("List (LMF)"));
    btDSI = Button("btDSI", tr("Display (DSI)"));
    btDMF = Button("btDMF", tr("Delete (DMF)"));
    auto* left = new QVBoxLayout;
    left->addWidget(pLMFMediaTitle);
    left->addWidget(lbLMFMedias, 1);
    left->addWidget(btLMF);
    left->addWidget(btDSI);
    left->addWidget(btDMF);
    top->addLayout(left, 1);

    pgMedia = Named(new QTabWidget, "pgMedia");
    auto* image = Named(new QWidget, "tsImage");
    auto* qrcode = Named(new QWidget, "tsQRCode");
    BuildMediaImagePage(image);
    BuildMediaQRCodePage(qrcode);
    pgMedia->addTab(image, tr("Image"));
    pgMedia->addTab(qrcode, tr("QRCode"));
    top->addWidget(pgMedia, 3);
    return page;
}

void TfrMain::BuildMediaImagePage(QWidget* APage) {
    imgMedia = Named(new QLabel, "imgMedia");
    imgMedia->setAlignment(Qt::AlignCenter);
    sbxMedia = Named(new QScrollArea, "sbxMedia");
    sbxMedia->setAlignment(Qt::AlignCenter);
    sbxMedia->setWidget(imgMedia);

    edMediaLoad = Named(new QLineEdit(QStringLiteral("LOGOVEXO")), "edMediaLoad");
    edMediaLoad->setFont(DisplayFont());
    btSearchSerialPorts1 =
        GlyphButton("btSearchSerialPorts1", QStyle::SP_DialogOpenButton, tr("Open a picture file"));
    pMediaInfo = Named(new QLabel, "pMediaInfo");
    QFont small = pMediaInfo->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    pMediaInfo->setFont(small);
    btMediaLoad = Button("btMediaLoad", tr("Media Load"));
    cbMediaAsIs = Named(new QCheckBox(tr("As is")), "cbMediaAsIs");
    cbMediaAsIs->setToolTip(tr("Send the picture file's own bytes: not scaled to the display, "
                               "not rewritten, no choice between PNG and JPEG"));
    auto* row = new QHBoxLayout;
    row->addWidget(edMediaLoad, 1);
    row->addWidget(btSearchSerialPorts1);
    row->addWidget(pMediaInfo);
    row->addWidget(cbMediaAsIs);
    row->addWidget(btMediaLoad);

    auto* layout = new QVBoxLayout(APage);
    layout->addWidget(sbxMedia, 1);
    layout->addLayout(row);
}

void TfrMain::BuildMediaQRCodePage(QWidget* APage) {
    imgQRCode = Named(new TPictureView, "imgQRCode");
    imgQRCode->setFixedSize(255, 231);
    // A rich-text box, as the plain one centres a line wider than itself on the box and cuts off its
    // start; this one centres on the widest line and scrolls over all of it.
    mQRCode = Named(new TQRCodeTextEdit, "mQRCode");
    mQRCode->setAcceptRichText(false);
    mQRCode->setLineWrapMode(QTextEdit::NoWrap);
    mQRCode->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mQRCode->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QTextOption centred = mQRCode->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    mQRCode->document()->setDefaultTextOption(centred);
    btPaintQRCode = Button("btPaintQRCode", tr("Generate QRCode"));
    edQRCodeImgName = Named(new QLineEdit(QStringLiteral("QRCODE01")), "edQRCodeImgName");
    edQRCodeImgName->setFont(DisplayFont());
    btSendQRCode = Button("btSendQRCode", tr("Send to PinPad"));

    auto* right = new QVBoxLayout;
    right->addWidget(mQRCode, 1);
    right->addWidget(btPaintQRCode);
    auto* send = new QHBoxLayout;
    send->addWidget(edQRCodeImgName, 1);
    send->addWidget(btSendQRCode);
    right->addLayout(send);
    auto* layout = new QHBoxLayout(APage);
    layout->addWidget(imgQRCode, 0, Qt::AlignCenter);
    layout->addLayout(right, 1);
}

QWidget* TfrMain::BuildAskEventPage() {
    auto* page = new QWidget;
    auto* top = new QHBoxLayout(page);

    auto* gkyNote = Note(tr("Obsolete. This command does not return numeric keys"));
    btGKY = Button("btGKY", tr("GKY"));
    pGKYResponse = ResultPanel("pGKYResponse", tr("Result: 0"));
    auto* gky = new QVBoxLayout;
    gky->addWidget(gkyNote);
    gky->addWidget(btGKY);
    gky->addWidget(pGKYResponse);

    edtRMCMsg1 = DisplayEdit("edtRMCMsg1", QStringLiteral("OPERATION "));
    edtRMCMsg2 = DisplayEdit("edtRMCMsg2", QStringLiteral("FINISHED"));
    btRMC = Button("btRMC", tr("RMC"));
    auto* rmc = new QVBoxLayout;
    rmc->addWidget(edtRMCMsg1);
    rmc->addWidget(edtRMCMsg2);
    rmc->addWidget(btRMC);
    auto* col1 = new QVBoxLayout;
    col1->addWidget(Group(tr("GKY (Get Key)"), gky));
    col1->addWidget(Group(tr("RMC (ICC removal)"), rmc));
    top->addLayout(col1, 3);

    auto* gcdNote = Note(tr("In order to comply with PCI security requirements, the prompt message\n"
                            "shall be selected among those available in a fixed table defined by "
                            "ABECS specification"));
    cbxGCD = Named(new QComboBox, "cbxGCD");
    seGCDTimeOut = Spin("seGCDTimeOut", 0, 999, 60);
    btGCD = Button("btGCD", tr("GCD"));
    pGCDResponse = ResultPanel("pGCDResponse", tr("Response: "));
    auto* gcd = new QVBoxLayout;
    gcd->addWidget(gcdNote, 1);
    gcd->addWidget(Labelled(tr("Msg Index"), cbxGCD));
    auto* gcdRow = new QHBoxLayout;
    gcdRow->addWidget(Labelled(tr("Timeout"), seGCDTimeOut));
    gcdRow->addWidget(btGCD, 1, Qt::AlignBottom);
    gcd->addLayout(gcdRow);
    gcd->addWidget(pGCDResponse);
    top->addWidget(Group(tr("GCD (Capture Text)"), gcd), 3);

    edMNUTitle = Named(new QLineEdit(QStringLiteral("How was the service?")), "edMNUTitle");
    mMNU = Memo("mMNU", QStringLiteral("Great\nSatisfactory\nGood\nBad"));
    cbMNUHotKey = Named(new QCheckBox(tr("Hotkey")), "cbMNUHotKey");
    seMNUTimeOut = Spin("seMNUTimeOut", 0, 999, 60);
    btMNU = Button("btMNU", tr("MNU"));
    pMNUResponse = ResultPanel("pMNUResponse", tr("Result: 0"));
    auto* mnuRow = new QHBoxLayout;
    mnuRow->addWidget(cbMNUHotKey);
    mnuRow->addWidget(Labelled(tr("Timeout"), seMNUTimeOut));
    auto* mnu = new QVBoxLayout;
    mnu->addWidget(Labelled(tr("Menu Title"), edMNUTitle));
    mnu->addWidget(Labelled(tr("Options"), mMNU), 1);
    mnu->addLayout(mnuRow);
    mnu->addWidget(btMNU);
    mnu->addWidget(pMNUResponse);
    top->addWidget(Group(tr("MNU (Menu)"), mnu), 3);

    cbCEXVerifyKey = Named(new QCheckBox(tr("Verify Key")), "cbCEXVerifyKey");
    cbCEXVerifyMagnetic = Named(new QCheckBox(tr("Verify Magnetic")), "cbCEXVerifyMagnetic");
    cbCEXVerifyICCInsertion = Named(new QCheckBox(tr("Verify ICC Insertion")), "cbCEXVerifyICCInsertion");
    cbCEXVerifyICCRemoval = Named(new QCheckBox(tr("Verify ICC Removal")), "cbCEXVerifyICCRemoval");
    cbCEXVerifyCTLSPresence = Named(new QCheckBox(tr("Verify CTLS Presence")), "cbCEXVerifyCTLSPresence");
    seCEXTimeOut = Spin("seCEXTimeOut", 0, 999, 60);
    btCEX = Button("btCEX", tr("CEX"));
    mCEXResponse = Memo("mCEXResponse", CEXLegend(), true);
    mCEXResponse->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* cexLeft = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(cbCEXVerifyKey), static_cast<QWidget*>(cbCEXVerifyMagnetic),
          static_cast<QWidget*>(cbCEXVerifyICCInsertion), static_cast<QWidget*>(cbCEXVerifyICCRemoval),
          static_cast<QWidget*>(cbCEXVerifyCTLSPresence)})
        cexLeft->addWidget(w);
    cexLeft->addWidget(Labelled(tr("Timeout"), seCEXTimeOut));
    cexLeft->addWidget(btCEX);
    cexLeft->addStretch(1);
    auto* cex = new QHBoxLayout;
    cex->addLayout(cexLeft);
    cex->addWidget(mCEXResponse, 1);
    top->addWidget(Group(tr("CEX (Wait for event)"), cex), 5);
    return page;
}

QWidget* TfrMain::BuildClosePage() {
    auto* page = new QWidget;
    auto* top = new QHBoxLayout(page);

    edtCLOMsg1 = DisplayEdit("edtCLOMsg1", QStringLiteral("PROJETO VEXO"));
    edtCLOMsg2 = DisplayEdit("edtCLOMsg2", QStringLiteral("VexoAbecsPinPad"));
    btCLO = Button("btCLO", tr("Close (CLO)"));
    auto* clo = new QVBoxLayout;
    clo->addWidget(Labelled(tr("Linha 1"), edtCLOMsg1));
    clo->addWidget(Labelled(tr("Linha 2"), edtCLOMsg2));
    clo->addWidget(btCLO);
    clo->addStretch(1);
    top->addWidget(Group(tr("CLO"), clo), 1);

    pgCLX = Named(new QTabWidget, "pgCLX");
    mCLX = Memo("mCLX", kDisplayLines);
    mCLX->setFont(DisplayFont());
    pgCLX->addTab(mCLX, tr("Lines"));
    auto* media = new QWidget;
    auto* mediaLayout = new QVBoxLayout(media);
    pCLXMediaTitle = TitlePanel("pCLXMediaTitle", tr("Media Files"));
    lbCLXMedias = Named(new QListWidget, "lbCLXMedias");
    lbCLXMedias->setSelectionMode(QAbstractItemView::SingleSelection);
    lbCLXMedias->setFlow(QListView::TopToBottom);
    lbCLXMedias->setWrapping(true);
    lbCLXMedias->setResizeMode(QListView::Adjust);
    mediaLayout->addWidget(pCLXMediaTitle);
    mediaLayout->addWidget(lbCLXMedias, 1);
    pgCLX->addTab(media, tr("Media"));
    btCLX = Button("btCLX", tr("Close (CLX)"));
    auto* clx = new QHBoxLayout;
    clx->addWidget(pgCLX, 1);
    clx->addWidget(btCLX, 0, Qt::AlignTop);
    top->addWidget(Group(tr("CLX"), clx), 2);
    return page;
}

} // namespace kestrel
