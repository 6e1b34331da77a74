#include "app/LanguageSelection.h"

#include "log/DebugLog.h"
#include "platform/Dialogs.h"
#include "platform/UserLocale.h"
#include "res/MRes.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace {

bool IsJapanese(unsigned lcid)
{
    return (lcid & 0xFF) == LangJapanese;
}

} // namespace

QStringList LanguagesForLocale(const TMRes& res, unsigned lcid)
{
    const QString wanted = IsJapanese(lcid) ? QStringLiteral("JPN") : QStringLiteral("ENG");
    QStringList found;
    for (const QString& description : res.ListLanguages())
        if (res.CodeOfLanguage(description) == wanted)
            found << description;
    return found;
}

QString ChooseDefaultLanguage(const TMRes& res, Dialogs& dialogs, DebugLog& log, unsigned lcid)
{
    log.Write(QStringLiteral("Get Default Language."));
    if (IsJapanese(lcid)) {
        log.Write(QStringLiteral("Select : JAPANESE"));
        dialogs.Warning(
            QStringLiteral("システム言語判定の結果、デフォルト言語が日本語に設定されました。"
                           "\r\n（言語はオプション画面で変更できます）"));
    } else {
        log.Write(QStringLiteral("Select : NON-JAPANESE"));
        dialogs.Warning(QStringLiteral(
            "The default language was set as English.\r\n(Language can be changed in option)"));
    }

    log.Write(QStringLiteral("Recource File Searching..."));
    const QStringList matching = LanguagesForLocale(res, lcid);
    for (const QString& description : matching)
        log.Write(QStringLiteral("Select Recource File:") + description);
    if (!matching.isEmpty())
        return matching.last();
    QString resourceName;
    const QStringList languages = res.ListLanguages();
    if (!languages.isEmpty())
        resourceName = languages.first();
    dialogs.Warning(QStringLiteral("Resource unit is not found!"));
    log.Write(QStringLiteral("NO Recource File!"));
    return resourceName;
}

bool LoadLanguageAtStartup(QString& resourceName, TMRes& res, Dialogs& dialogs, DebugLog& log,
                           unsigned lcid, const std::function<void(const QString&)>& showStatus)
{
    if (resourceName.isEmpty()) {
        showStatus(QStringLiteral("Lang.Resource Check..."));
        log.Write(QStringLiteral("<<!>> Pulsmir set a default Language."));
        resourceName = ChooseDefaultLanguage(res, dialogs, log, lcid);
    }
    if (res.OpenLanguage(resourceName))
        return true;

    resourceName = ChooseDefaultLanguage(res, dialogs, log, lcid);
    if (res.OpenLanguage(resourceName))
        return true;

    dialogs.Error(QStringLiteral("Resource manager is file load FAILURE!"));
    resourceName.clear();
    return false;
}

bool ReloadLanguageIfChanged(const QString& resourceName, QString& loadedResourceName, TMRes& res,
                             DebugLog& log)
{
    if (loadedResourceName == resourceName)
        return false;
    log.Write(QStringLiteral("Multi Resource Data (Re)Loading..."));
    if (!res.OpenLanguage(resourceName)) {
        log.Write(QStringLiteral("Multi Resource Data Load FAILED :") + resourceName);
        return false;
    }
    loadedResourceName = resourceName;
    log.Write(QStringLiteral("Multi Resource Data Load COMPLETE :") + resourceName);
    return true;
}

DialogWords DialogWordsOf(const TMRes& res)
{
    const auto text = [&](const char* code) {
        return TextOr(&res, code, QString());
    };
    DialogWords words;
    words.Warning = text("C0150");
    words.Error = text("C0151");
    words.Information = text("C0152");
    words.Confirmation = text("C0153");
    words.Ok = text("C0154");
    words.Cancel = text("C0155");
    words.Yes = text("C0156");
    words.No = text("C0157");
    return words;
}

std::optional<QLocale> TranslatedLocaleOf(const QString& langCode)
{
    if (langCode == QLatin1String("JPN"))
        return QLocale(QLocale::Japanese);
    return std::nullopt;
}

std::unique_ptr<QTranslator> QtTranslatorFor(const QString& langCode)
{
    const std::optional<QLocale> locale = TranslatedLocaleOf(langCode);
    if (!locale)
        return nullptr;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(*locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
}
