// The status bar: the outcome of what the operator asked for, success or not, in a style that no one
// takes for the other; and what the window does when the port under it is gone.
#include "app/ErrorText.h"
#include "app/PinPadConfig.h"
#include "device/LinkFault.h"
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsErrors.h"
#include "pinpad/VexoAbecsMsgFormat.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsReturnCode.h"
#include "pinpad/VexoAbecsTables.h"
#include <QLabel>
#include <QStatusBar>
#include <QStyle>

namespace kestrel {

namespace {

// GKY answers with the key pressed as its return code: a function key or CLEAR is an answer, not a
// failure.
bool IsKeyAnswer(const vexo::TVexoAbecsResponse& AResponse) {
    return AResponse.ID() == "GKY" && AResponse.STAT() >= vexo::ST_F1 && AResponse.STAT() <= vexo::ST_BACKSP;
}

const char* StyleOf(TfrMain::TStatusKind AKind) {
    switch (AKind) {
    case TfrMain::TStatusKind::skError:
        return "QStatusBar { background: #b71c1c; } QStatusBar QLabel { color: white; font-weight: bold; }";
    case TfrMain::TStatusKind::skWarning:
        return "QStatusBar { background: #f9a825; } QStatusBar QLabel { color: black; font-weight: bold; }";
    default:
        return "";
    }
}

} // namespace

void TfrMain::ShowStatus(TStatusKind AKind, const QString& AHead, const QString& AText) {
    fStatusKind = AKind;
    sbResponseStat->setText(AHead);
    sbResponseError->setText(AText);
    sbResponseError->setToolTip(AText);
    statusBar()->setStyleSheet(QString::fromLatin1(StyleOf(AKind)));
    const bool marked = AKind == TStatusKind::skError || AKind == TStatusKind::skWarning;
    if (marked) {
        const auto icon =
            AKind == TStatusKind::skError ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning;
        sbResponseIcon->setPixmap(style()->standardIcon(icon).pixmap(16, 16));
    }
    sbResponseIcon->setVisible(marked);
}

void TfrMain::ShowResponseStatus() {
    if (fFollowUps > 0) return;
    const auto& response = VexoAbecsPinPad1->Response();
    // No response came (the link failed): the error that follows says what happened.
    if (response.ID().empty()) return;
    const int32_t stat = response.STAT();
    const TStatusKind kind =
        stat == vexo::ST_OK || IsKeyAnswer(response) ? TStatusKind::skOk : TStatusKind::skError;
    ShowStatus(kind, tr("STAT: %1").arg(stat),
               QString::fromStdString(vexo::ReturnStatusMessage(stat)));
}

void TfrMain::ShowErrorStatus(const std::exception& E) {
    if (vexo::IsReturnCodeError(*VexoAbecsPinPad1, E)) {
        const int32_t stat = VexoAbecsPinPad1->Response().STAT();
        ShowStatus(TStatusKind::skError, tr("STAT: %1").arg(stat),
                   QString::fromStdString(vexo::ReturnStatusMessage(stat)));
        return;
    }
    ShowStatus(TStatusKind::skError, QString::fromStdString(ExceptionClassName(E)),
               QString::fromStdString(E.what()));
}

void TfrMain::ShowNoPinPadAnswered(const std::exception& E) {
    ShowStatus(TStatusKind::skError, tr("No PIN pad"),
               tr("No PIN pad answered on %1 (%2)")
                   .arg(QString::fromStdString(VexoAbecsPinPad1->Port()), QString::fromStdString(E.what())));
}

// A port that is gone stays gone: every later command would fail the same way. Closing it lets
// "Ativar" open it afresh once the PIN pad is back.
bool TfrMain::CloseGoneLink(const std::exception& E) {
    auto& pp = *VexoAbecsPinPad1;
    if (vexo::LinkFaultOf(E) != vexo::TLinkFault::lkLinkGone || pp.IsBusy()) return false;
    if (!pp.IsEnabled() && !IsActivatedFlag()) return false;
    const QString port = QString::fromStdString(pp.Port());
    try {
        pp.Disable();
    } catch (const std::exception& Closing) {
        AddToLog(QStringLiteral("- closing %1 failed as well: %2")
                     .arg(port, QString::fromStdString(Closing.what())));
    }
    ShowActivated(false);
    pgcCommands->setCurrentIndex(0);
    AddToLog(QStringLiteral("- %1 is gone: port closed").arg(port));
    ShowStatus(TStatusKind::skError, tr("Port gone"),
               tr("The PIN pad on %1 is gone (%2). Port closed: connect the PIN pad again, "
                  "then press \"Ativar\".")
                   .arg(port, QString::fromStdString(E.what())));
    return true;
}

void TfrMain::NoteDroppedText(const QString& ACommand, const std::string& AText,
                              const std::string& ALaidOut) {
    const vexo::TDroppedText dropped = vexo::DroppedByLayout(AText, ALaidOut);
    if (dropped.Count == 0) return;
    AddToLog(QStringLiteral("- %1: %2 character(s) did not fit the display and were not sent: \"%3\"")
                 .arg(ACommand)
                 .arg(dropped.Count)
                 .arg(QString::fromStdString(dropped.Text)));
    ShowStatus(TStatusKind::skWarning, sbResponseStat->text(),
               tr("%1 %2 character(s) did not fit the display and were not sent: \"%3\"")
                   .arg(sbResponseError->text())
                   .arg(dropped.Count)
                   .arg(QString::fromStdString(dropped.Text)));
}

void TfrMain::NoteUnknownIds(const QString& AWords) {
    AddToLog(QStringLiteral("- GIX: ids not understood, so not asked for: %1 (an id is a PP_ name such as "
                            "PP_SERNUM or SERNUM, or a number such as 0x8001)")
                 .arg(AWords));
    ShowStatus(TStatusKind::skWarning, sbResponseStat->text(),
               tr("%1 GIX ids not understood, so not asked for: %2 (an id is a PP_ name such as "
                  "PP_SERNUM or SERNUM, or a number such as 0x8001)")
                   .arg(sbResponseError->text(), AWords));
}

} // namespace kestrel
