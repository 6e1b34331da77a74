#include "app/WindowModes.h"

#include "app/AActiveCtrl.h"
#include "app/FltCtrl.h"
#include "app/LanguageSelection.h"
#include "platform/Dialogs.h"
#include "res/MRes.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

TModeChange SkinModeChange(int skinMode, bool hasCompact, bool hasFull, bool byUser)
{
    TModeChange change;
    change.SkinMode = skinMode;
    change.LogLines << QStringLiteral("Skin Mode Change...");
    if (skinMode == 1 && hasCompact) {
        change.LogLines << QStringLiteral("Skin Mode Change to COMPACT");
        change.SkinMode = 0;
        change.Changed = true;
    } else if (skinMode != 1 && hasFull) {
        change.LogLines << QStringLiteral("Skin Mode Change to FULL");
        change.SkinMode = 1;
        change.Changed = true;
    }
    change.CaptionCode = change.SkinMode == 1 ? QStringLiteral("C0101") : QStringLiteral("C0100");
    // A user's request names the mode in force afterwards, switched or not.
    if (byUser)
        change.SstpEvent =
            change.SkinMode == 1 ? QStringLiteral("ChangeModeA") : QStringLiteral("ChangeModeB");
    change.LogLines << QStringLiteral("Skin Mode Change...OK");
    return change;
}

bool FloatActive(bool floatSW, int skinMode, bool compactFloat, bool fullFloat)
{
    return floatSW && (skinMode == 1 ? fullFloat : compactFloat);
}

void ApplyWindowThreadSettings(TSettings& settings, bool skinAllowsFloat, TFltCtrl& floating,
                               TAActiveCtrl& autoActive)
{
    if (settings.FloatInterval < 1)
        settings.FloatSW = false;
    floating.Animate = settings.FloatAnim;
    floating.Interval = settings.FloatInterval;
    floating.Active = settings.FloatSW && skinAllowsFloat;
    autoActive.Interval = settings.AutoActiveInterval;
    autoActive.AutoMode = settings.AutoActiveSW;
    autoActive.AutoTray = settings.AutoHiding;
    floating.Wake();
    autoActive.Wake();
}

bool ShowHelp(const QString& programFolder, const QUrl& webPage, Dialogs& dialogs, const TMRes& res,
              const std::function<bool(const QUrl&)>& openUrl)
{
    const QDir help(QDir(programFolder).filePath(QStringLiteral("help")));
    QStringList helpFiles;
    // The open language's edition first ("index.ja.html"), then the help every install has.
    if (const std::optional<QLocale> locale = TranslatedLocaleOf(res.LangCode()))
        helpFiles << help.filePath(QStringLiteral("index.%1.html").arg(locale->bcp47Name()));
    helpFiles << help.filePath(QStringLiteral("index.html"));
    for (const QString& helpFile : helpFiles) {
        if (QFileInfo(helpFile).isFile()) {
            openUrl(QUrl::fromLocalFile(helpFile));
            return true;
        }
    }
    if (dialogs.AskYesNo(DialogType::Warning, res.GetText(QStringLiteral("R0624"))))
        openUrl(webPage);
    return false;
}
