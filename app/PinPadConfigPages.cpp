// Handlers of the command pages: each reads its controls, calls the component and shows the result.
#include "app/IntText.h"
#include "app/PinPadConfig.h"
#include "app/PinPadTexts.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "util/CodePage.h"
#include "util/Exception.h"
#include "util/Strings.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>

namespace kestrel {

namespace {

std::string Std(const QString& AText) {
    return AText.toStdString();
}
QString FromAnsi(const std::string& ABytes) {
    return QString::fromStdString(vexo::AnsiToText(ABytes));
}
QString Flag(bool AValue) {
    return AValue ? QStringLiteral("True") : QStringLiteral("False");
}

// The PIN pad's waiting limit travels as one byte.
uint8_t TimeOutByte(const QSpinBox* ASpin) {
    const int value = ASpin->value();
    if (value < 0 || value > 255) throw vexo::ERangeError();
    return static_cast<uint8_t>(value);
}

// The box's lines as its text holds them; a line break after the last line adds no empty option.
QStringList MemoLines(const QPlainTextEdit* AMemo) {
    QStringList lines = AMemo->toPlainText().split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty()) lines.removeLast();
    if (lines.size() == 1 && lines.first().isEmpty()) lines.clear();
    return lines;
}

bool StartsWithHotKey(const QString& ALine) {
    return !ALine.isEmpty() && ALine[0] >= QLatin1Char('1') && ALine[0] <= QLatin1Char('9');
}

// The id box takes, separated by blanks or commas, PP_ names as the CLI takes them (PP_SERNUM, SERNUM,
// any case) and numbers (decimal, or hexadecimal after "$", "x" or "0x"). The words that are neither
// are returned, so the operator can be told which were left out.
QString AddTypedInformationIds(const std::string& AText, std::vector<uint16_t>& AIds) {
    QStringList unknown;
    for (const QString& word : QString::fromStdString(AText).split(
             QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts)) {
        if (const auto tag = vexo::PPNameToTagAnyForm(Std(word))) {
            AIds.push_back(*tag);
            continue;
        }
        const int32_t value = StrToIntDef(Std(word), -1);
        if (value == -1 && word.trimmed() != QStringLiteral("-1")) {
            unknown << word;
            continue;
        }
        if (value < 0 || value > 65535) throw vexo::ERangeError();
        if (value != 0) AIds.push_back(static_cast<uint16_t>(value));
    }
    return unknown.join(QStringLiteral(", "));
}

constexpr uint16_t kCEXResponseTags[] = {
    vexo::PP_EVENT,    vexo::PP_VALUE,   vexo::PP_DATAOUT, vexo::PP_CARDTYPE, vexo::PP_PAN,
    vexo::PP_PANSEQNO, vexo::PP_CHNAME,  vexo::PP_LABEL,   vexo::PP_ISSCNTRY, vexo::PP_CARDEXP,
    vexo::PP_DEVTYPE,  vexo::PP_TRK1INC, vexo::PP_TRK2INC, vexo::PP_TRK3INC,
};

} // namespace

// --- Open --------------------------------------------------------------------------------------------

void TfrMain::btOPNClick() {
    if (!cbSecure->isChecked()) {
        VexoAbecsPinPad1->OPN();
        return;
    }
    VexoAbecsPinPad1->OPN(Std(MemoText(mModulus->toPlainText()).trimmed()),
                          Std(MemoText(mExponent->toPlainText()).trimmed()));
}

// --- Information -------------------------------------------------------------------------------------

void TfrMain::btGINClick() {
    VexoAbecsPinPad1->GIN(static_cast<uint8_t>(seGIN_ACQIDX->value()));
    QString text = FromAnsi(VexoAbecsPinPad1->Response().GetResponseData());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    mGINResponse->setPlainText(text);
}

void TfrMain::btGIXClick() {
    std::vector<uint16_t> ids;
    for (int i = 0; i < lbGIXParams->count(); ++i) {
        const QListWidgetItem* item = lbGIXParams->item(i);
        if (!item->isSelected()) continue;
        if (auto id = vexo::PPNameToTag(Std(item->text().trimmed().toUpper()))) ids.push_back(*id);
    }
    const QString unknown = AddTypedInformationIds(Std(edGIXValue->text()), ids);
    VexoAbecsPinPad1->GIX(ids);
    if (!unknown.isEmpty()) NoteUnknownIds(unknown);

    mGIXResponse->clear();
    std::vector<std::string> items;
    VexoAbecsPinPad1->Response().GetResponseAsValues(items);
    for (const auto& item : items) {
        // Each line shows its own item's value, also when the PIN pad repeats an identifier.
        const auto eq = item.find('=');
        if (eq == std::string::npos) continue;
        const int32_t tag = StrToIntDef(item.substr(0, eq), -1);
        if (tag < 0 || tag > 65535) continue;
        mGIXResponse->appendPlainText(QString::fromStdString(vexo::PPParamName(static_cast<uint16_t>(tag))) +
                                      QStringLiteral(" => ") + QString::fromStdString(item.substr(eq + 1)));
    }
}

void TfrMain::cbGIXAllClick() {
    const bool all = cbGIXAll->isChecked();
    if (all) lbGIXParams->clearSelection();
    lbGIXParams->setEnabled(!all);
    edGIXValue->setEnabled(!all);
}

void TfrMain::btVexoPinPadCapabilitiesClick() {
    const auto caps = VexoAbecsPinPad1->GetPinPadCapabilities();
    const QString lines[] = {
        QStringLiteral("SerialNumber: ") + QString::fromStdString(caps.SerialNumber),
        QStringLiteral("PartNumber: ") + QString::fromStdString(caps.PartNumber),
        QStringLiteral("Model: ") + QString::fromStdString(caps.Model),
        QStringLiteral("Memory: ") + QString::fromStdString(caps.Memory),
        QStringLiteral("Manufacturer: ") + QString::fromStdString(caps.Manufacturer),
        QStringLiteral("SupportContactless: ") + Flag(caps.SupportContactless),
        QStringLiteral("DisplayIsGraphic: ") + Flag(caps.DisplayIsGraphic),
        QStringLiteral("DisplayIsColor: ") + Flag(caps.DisplayIsColor),
        QStringLiteral("SpecificationVersion: ") +
            QLocale().toString(caps.SpecificationVersion, 'g', QLocale::FloatingPointShortest),
        QStringLiteral("DisplayTextModeDimensions.Rows: %1").arg(caps.DisplayTextModeDimensions.Rows),
        QStringLiteral("DisplayTextModeDimensions.Cols: %1").arg(caps.DisplayTextModeDimensions.Cols),
        QStringLiteral("DisplayGraphicPixels.Rows: %1").arg(caps.DisplayGraphicPixels.Rows),
        QStringLiteral("DisplayGraphicPixels.Cols: %1").arg(caps.DisplayGraphicPixels.Cols),
        QStringLiteral("MediaPNGisSupported: ") + Flag(caps.MediaPNGisSupported),
        QStringLiteral("MediaJPGisSupported: ") + Flag(caps.MediaJPGisSupported),
        QStringLiteral("MediaGIFisSupported: ") + Flag(caps.MediaGIFisSupported),
    };
    for (const QString& line : lines)
        mVexoPinPadCapabilities->appendPlainText(line);
}

// --- Display -----------------------------------------------------------------------------------------

void TfrMain::btDSPClick() {
    const std::string text = Std(edtDSPMsg1->text()) + '\r' + Std(edtDSPMsg2->text());
    VexoAbecsPinPad1->DSP(text);
    NoteDroppedText(QStringLiteral("DSP"), text, VexoAbecsPinPad1->FormatMSG_S32(text));
}

void TfrMain::btDSPClearClick() {
    VexoAbecsPinPad1->DSP(std::string());
}

void TfrMain::btDEXClick() {
    const std::string text = Std(MemoText(mDEX->toPlainText()));
    VexoAbecsPinPad1->DEX(text);
    NoteDroppedText(QStringLiteral("DEX"), text, VexoAbecsPinPad1->FormatSPE_DSPMSG(text));
}

void TfrMain::btDEXClearClick() {
    VexoAbecsPinPad1->DEX(std::string());
}

// --- Ask / Events ------------------------------------------------------------------------------------

void TfrMain::btRMCClick() {
    const std::string text = Std(edtRMCMsg1->text()) + '\r' + Std(edtRMCMsg2->text());
    VexoAbecsPinPad1->RMC(text);
    NoteDroppedText(QStringLiteral("RMC"), text, VexoAbecsPinPad1->FormatMSG_S32(text));
}

void TfrMain::btGKYClick() {
    const QString prompt = QStringLiteral("PRESS FUNCTION KEY");
    pGKYResponse->setText(prompt);
    VexoAbecsPinPad1->DSP(Std(prompt));
    const QString result = QStringLiteral("Key Number: %1").arg(VexoAbecsPinPad1->GKY());
    pGKYResponse->setText(result);
    const TFollowUp followUp(*this);
    VexoAbecsPinPad1->DSP(Std(result));
}

void TfrMain::btGCDClick() {
    const int index = cbxGCD->currentIndex();
    // No prompt chosen is no prompt the PIN pad knows: refuse before anything is sent.
    if (index < 0) throw vexo::Exception(tr("No Msg Index selected").toStdString());
    pGCDResponse->setText(cbxGCD->currentText());
    const uint8_t timeout = TimeOutByte(seGCDTimeOut);
    try {
        const std::string typed = VexoAbecsPinPad1->GCD(static_cast<vexo::TVexoAbecsMSGIDX>(index), timeout);
        pGCDResponse->setText(QString::fromStdString(typed));
    } catch (const vexo::EVexoAbecsPinPadTimeout&) {
        pGCDResponse->setText(tr("USER TIMEOUT"));
    }
}

void TfrMain::btMNUClick() {
    pMNUResponse->setText(tr("SELECT ON PINPAD"));
    std::vector<std::string> options;
    for (const QString& line : MemoLines(mMNU))
        options.push_back(Std(line));
    const uint8_t timeout = TimeOutByte(seMNUTimeOut);
    try {
        const std::string chosen = VexoAbecsPinPad1->MNU(options, Std(edMNUTitle->text()), timeout);
        pMNUResponse->setText(QString::fromStdString(chosen));
    } catch (const vexo::EVexoAbecsPinPadTimeout&) {
        pMNUResponse->setText(tr("USER TIMEOUT"));
    }
    // An option longer than the PIN pad holds went out cut; the operator is told what was left out.
    const auto lines = [](const std::vector<std::string>& AList) {
        std::string text;
        for (const std::string& line : AList)
            text += (text.empty() ? "" : "\r") + line;
        return text;
    };
    NoteDroppedText(QStringLiteral("MNU"), lines(options), lines(vexo::MenuOptionsAsSent(options)));
}

void TfrMain::cbMNUHotKeyClick() {
    const bool numbered = cbMNUHotKey->isChecked();
    const QString text = mMNU->toPlainText();
    const bool endsWithBreak = text.endsWith(QLatin1Char('\n'));
    QStringList lines = MemoLines(mMNU);
    const int last = std::min<int>(8, static_cast<int>(lines.size()) - 1);
    for (int i = 0; i <= last; ++i) {
        QString& line = lines[i];
        if (numbered && !StartsWithHotKey(line))
            line = QString::number(i + 1) + QLatin1Char(' ') + line;
        else if (!numbered && StartsWithHotKey(line))
            line = line.mid(1).trimmed();
    }
    mMNU->setPlainText(lines.join(QLatin1Char('\n')) + (endsWithBreak ? QStringLiteral("\n") : QString()));
}

void TfrMain::btCEXClick() {
    auto& pp = *VexoAbecsPinPad1;
    std::string prompt;
    const std::pair<QCheckBox*, const char*> choices[] = {
        {cbCEXVerifyKey, "Press Key"},
        {cbCEXVerifyMagnetic, "Swipe the card"},
        {cbCEXVerifyICCInsertion, "Insert card"},
        {cbCEXVerifyICCRemoval, "Remove card"},
        {cbCEXVerifyCTLSPresence, "Bring card closer"},
    };
    for (const auto& [box, text] : choices)
        if (box->isChecked()) prompt += std::string(text) + '\r';
    prompt = vexo::Trim(prompt);

    mCEXResponse->appendPlainText(QStringLiteral("------------------------------"));
    mCEXResponse->appendPlainText(
        QString::fromStdString(prompt).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    pp.DEX(prompt);
    try {
        pp.CEX(cbCEXVerifyKey->isChecked(), cbCEXVerifyMagnetic->isChecked(),
               cbCEXVerifyICCInsertion->isChecked(), cbCEXVerifyICCRemoval->isChecked(),
               cbCEXVerifyCTLSPresence->isChecked(), TimeOutByte(seCEXTimeOut), std::string());
    } catch (const vexo::EVexoAbecsPinPadTimeout&) {
        mCEXResponse->appendPlainText(tr("* TIMEOUT *"));
        const TFollowUp followUp(*this);
        pp.DEX("TIMEOUT");
        return;
    } catch (...) {
        // The operator must see why the command ended, even if clearing the display fails as well.
        try {
            const TFollowUp followUp(*this);
            pp.DEX(std::string());
        } catch (...) {
        }
        throw;
    }

    mCEXResponse->appendPlainText(QString());
    for (uint16_t tag : kCEXResponseTags) {
        const std::string value = pp.Response().GetResponseFromTagValue(tag);
        if (vexo::Trim(value).empty()) continue;
        mCEXResponse->appendPlainText(QString::fromStdString(vexo::PPParamName(tag)) +
                                      QStringLiteral(" => ") + FromAnsi(value));
    }
    std::string event = vexo::AnsiToText(vexo::Trim(pp.Response().GetResponseFromTagValue(vexo::PP_EVENT)));
    if (!event.empty()) event = "Event: " + event;
    const TFollowUp followUp(*this);
    pp.DEX(event);
}

// --- Close -------------------------------------------------------------------------------------------

void TfrMain::btCLOClick() {
    const std::string text = Std(edtCLOMsg1->text()) + '\r' + Std(edtCLOMsg2->text());
    VexoAbecsPinPad1->CLO(text);
    NoteDroppedText(QStringLiteral("CLO"), text, VexoAbecsPinPad1->FormatMSG_S32(text));
}

void TfrMain::btCLXClick() {
    if (pgCLX->currentIndex() == 0) {
        VexoAbecsPinPad1->CLX(Std(MemoText(mCLX->toPlainText())));
        return;
    }
    const QListWidgetItem* item = lbCLXMedias->currentItem();
    if (!item || !item->isSelected()) return;
    VexoAbecsPinPad1->CLX(Std(item->text()));
}

// --- Multimedia --------------------------------------------------------------------------------------

void TfrMain::btLMFClick() {
    ListMediaFiles();
}

} // namespace kestrel
