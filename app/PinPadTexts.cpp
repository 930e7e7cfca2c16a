#include "app/PinPadTexts.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include <QCoreApplication>

namespace kestrel {

QStringList GIXParamItems() {
    QStringList items;
    for (uint16_t id : vexo::AllPPParams())
        items << QString::fromStdString(vexo::PPParamName(id)).leftJustified(14, QLatin1Char(' '));
    return items;
}

QString CEXLegend() {
    return QCoreApplication::translate("kestrel::TfrMain", "Event identification:\n"
                                                           "“00” = [OK/ENTER] key pressed;\n"
                                                           "“02” = [?] key pressed;\n"
                                                           "“03” = [?] key pressed;\n"
                                                           "“04” = [F1] key pressed;\n"
                                                           "“05” = [F2] key pressed;\n"
                                                           "“06” = [F3] key pressed;\n"
                                                           "“07” = [F4] key pressed;\n"
                                                           "“08” = [CLEAR] key pressed;\n"
                                                           "“13” = [CANCEL] key pressed;\n"
                                                           "“90” = A magnetic card was swiped;\n"
                                                           "“91” = ICC removed (or already absent);\n"
                                                           "“92” = ICC inserted (or already present);\n"
                                                           "“93” = CTLS not detected in 2 (two) minutes;\n"
                                                           "“94” = CTLS detected.");
}

QStringList MsgAlignNames() {
    return {QStringLiteral("alNone"), QStringLiteral("alLeft"), QStringLiteral("alRight"),
            QStringLiteral("alCenter")};
}

QStringList GCDPromptNames() {
    QStringList names;
    for (const char* name : vexo::MSGIDXNames)
        names << QString::fromLatin1(name);
    return names;
}

QString MemoText(const QString& APlainText) {
    QString text = APlainText;
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

} // namespace kestrel
