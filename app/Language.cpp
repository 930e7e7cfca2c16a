#include "app/Language.h"
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kestrel {

namespace {

QString& InUse() {
    static QString name = QStringLiteral("English");
    return name;
}

// The source texts are English: an English locale, C and POSIX need no catalogue.
bool IsEnglish(const QLocale& ALocale) {
    return ALocale.language() == QLocale::English || ALocale.language() == QLocale::C;
}

QString Named(const QLocale& ALocale) {
    const QString territory = ALocale.nativeTerritoryName();
    return territory.isEmpty() ? ALocale.nativeLanguageName()
                               : QStringLiteral("%1 (%2)").arg(ALocale.nativeLanguageName(), territory);
}

} // namespace

QString InstallLanguage(QCoreApplication& AApp, const QString& ACatalogue, const QString& ALanguage) {
    QLocale locale = QLocale::system();
    if (!ALanguage.isEmpty()) {
        locale = QLocale(ALanguage);
        if (locale.language() == QLocale::C && ALanguage != QLatin1String("C") &&
            ALanguage != QLatin1String("POSIX"))
            return QCoreApplication::translate("Language", "--lang %1: no such language").arg(ALanguage);
        // Numbers and dates follow the chosen language too.
        QLocale::setDefault(locale);
    }
    InUse() = QStringLiteral("English");
    if (IsEnglish(locale)) return {};
    auto* own = new QTranslator(&AApp);
    if (!own->load(locale, ACatalogue, QStringLiteral("_"), QString::fromLatin1(kTranslationsResource))) {
        delete own;
        if (ALanguage.isEmpty()) return {}; // a system locale we do not speak: English, quietly
        return QCoreApplication::translate("Language", "--lang %1: Kestrel has no translation for it; "
                                                       "it stays in English")
            .arg(ALanguage);
    }
    AApp.installTranslator(own);
    // Qt's own dialogs and buttons (file dialog, Yes/No), from the catalogues Debian installs.
    auto* qt = new QTranslator(&AApp);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        AApp.installTranslator(qt);
    else
        delete qt;
    InUse() = Named(own->language().isEmpty() ? locale : QLocale(own->language()));
    return {};
}

QString LanguageArgument(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--")) break;
        if (arg.startsWith(QLatin1String("--lang="))) return arg.mid(7);
        if (arg == QLatin1String("--lang") && i + 1 < argc) return QString::fromLocal8Bit(argv[i + 1]);
    }
    return {};
}

QString LanguageOptionHelp() {
    return QCoreApplication::translate("Language", "the window's language (pt_BR, en); by default the "
                                                   "system's (LANG)");
}

QString LanguageInUse() {
    return InUse();
}

} // namespace kestrel
