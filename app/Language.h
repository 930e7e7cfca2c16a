#pragma once
// The language of a window program: the system's locale, or the one --lang names; the program's own
// catalogue and Qt's, for its dialogs, from the translations built into the program.
#include <QString>

class QCoreApplication;

namespace kestrel {

// Installs the translators of ACatalogue ("kestrel", "kestrel-pinpad") for ALanguage ("pt_BR", "en",
// "C"...; empty: the system's locale) on AApp. Returns an empty text, or why ALanguage is refused.
QString InstallLanguage(QCoreApplication& AApp, const QString& ACatalogue, const QString& ALanguage);

// The value of --lang (or --lang=X) among the program's arguments; empty when not given. Read before the
// parser runs, so the help text is already in that language.
QString LanguageArgument(int argc, char* argv[]);

// The option itself, for a QCommandLineParser.
QString LanguageOptionHelp();

// The language the program speaks, in that language: "English", "português (Brasil)".
QString LanguageInUse();

// Where the compiled catalogues live inside the program.
inline constexpr const char* kTranslationsResource = ":/i18n";

} // namespace kestrel
