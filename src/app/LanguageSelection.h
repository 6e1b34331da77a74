#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class DebugLog;
class Dialogs;
struct DialogWords;
class QTranslator;
class TMRes;

// The language files for the user's locale (Japanese or English) by their descriptions, in the
// order of the listing; the last is the one chosen.
QStringList LanguagesForLocale(const TMRes& res, unsigned lcid);

// Picks the language file that matches the user's locale (Japanese or English) and returns
// its description; the first language file when none matches; empty when there is none.
QString ChooseDefaultLanguage(const TMRes& res, Dialogs& dialogs, DebugLog& log, unsigned lcid);

// The language load of the start-up: chooses a default when none is set, opens it, and on a
// failure chooses again and retries once. Returns false after the final error box; the caller
// then saves the settings with the cleared `resourceName` and ends the program.
bool LoadLanguageAtStartup(QString& resourceName, TMRes& res, Dialogs& dialogs, DebugLog& log,
                           unsigned lcid, const std::function<void(const QString&)>& showStatus);

// The language step of applying the settings: reloads only when the chosen language differs
// from the one last applied. Returns true when new texts were loaded and must be put on the
// menus; `loadedResourceName` then names them.
bool ReloadLanguageIfChanged(const QString& resourceName, QString& loadedResourceName, TMRes& res,
                             DebugLog& log);

// The titles and buttons of the message boxes in the open language.
DialogWords DialogWordsOf(const TMRes& res);

// The locale of a language file's "LANGCODE" where the program's surroundings (Qt's own words,
// the help) have an edition of it; none for English, whose words are the built-in ones.
std::optional<QLocale> TranslatedLocaleOf(const QString& langCode);

// Qt's own words (file dialogs, the edit menu of a field) in the language of a file's
// "LANGCODE", where Qt ships them; none for English or a language Qt lacks.
std::unique_ptr<QTranslator> QtTranslatorFor(const QString& langCode);

// The name that forces the first reload, since no language can carry it.
inline const QString NoResourceName = QStringLiteral("** No Resource Name **");
