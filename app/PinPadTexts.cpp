#include "app/PinPadTexts.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"

namespace kestrel {

QStringList GIXParamItems() {
    QStringList items;
    for (uint16_t id : vexo::AllPPParams())
        items << QString::fromStdString(vexo::PPParamName(id)).leftJustified(14, QLatin1Char(' '));
    return items;
}

QString CEXLegend() {
    return QStringLiteral("Event identification:\n"
                          "\u201C00\u201D = [OK/ENTER] key pressed;\n"
                          "\u201C02\u201D = [?] key pressed;\n"
                          "\u201C03\u201D = [?] key pressed;\n"
                          "\u201C04\u201D = [F1] key pressed;\n"
                          "\u201C05\u201D = [F2] key pressed;\n"
                          "\u201C06\u201D = [F3] key pressed;\n"
                          "\u201C07\u201D = [F4] key pressed;\n"
                          "\u201C08\u201D = [CLEAR] key pressed;\n"
                          "\u201C13\u201D = [CANCEL] key pressed;\n"
                          "\u201C90\u201D = A magnetic card was swiped;\n"
                          "\u201C91\u201D = ICC removed (or already absent);\n"
                          "\u201C92\u201D = ICC inserted (or already present);\n"
                          "\u201C93\u201D = CTLS not detected in 2 (two) minutes;\n"
                          "\u201C94\u201D = CTLS detected.");
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
