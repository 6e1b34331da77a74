#include "app/DebugLog.h"
#include "app/LanguageSelection.h"
#include "app/SettingsFile.h"
#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/UserLocale.h"
#include "platform/linux/QtDialogs.h"
#include "res/MRes.h"

#include "Version.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char* const HelpText =
    "Usage: pulsmir [/M] [/D:digit] [package.pma ...]\n"
    "A skinned desktop system-status monitor.\n"
    "\n"
    "  /M          start even when another instance is running\n"
    "  /D:digit    watch physical drive <digit>; settings go to Pulsmir_<digit>.ini\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "The program folder is the folder of the executable, or PULSMIR_HOME when set.\n"
    "Create an empty Debug.log there to switch the debug log on.\n";

} // namespace

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pulsmir %s (Build %d)\n", Version::Text, Version::Build);
            return 0;
        }
    }

    QApplication app(argc, argv);
    const AppPaths paths = AppPaths::FromEnvironment(QCoreApplication::applicationDirPath());
    QtDialogs dialogs;
    DebugLog log(paths.DebugLogFile(), dialogs);
    log.Write(QStringLiteral("Pulsmir %1%2 Starting").arg(Version::Text, Version::Edition));

    TMRes res(paths.ProgramFolder());
    TSettingsFile settingsFile(paths, -1);
    log.Write(QStringLiteral("Application Setting Load"));
    TSettings settings = settingsFile.Load(dialogs, res, nullptr);
    const bool languageLoaded = LoadLanguageAtStartup(settings.ResourceName, res, dialogs, log,
                                                      UserDefaultLcid(), [](const QString&) {});
    try {
        settingsFile.Save(settings);
        log.Write(QStringLiteral("Application Setting Saved"));
    } catch (const EFileWriteError& e) {
        log.Write(QStringLiteral("Unsuccessful to data preservation of application!"));
        std::fprintf(stderr, "pulsmir: %s\n", e.what());
    }
    if (!languageLoaded)
        return 1;

    std::printf("pulsmir: settings and language \"%s\" loaded from %s; the monitor window "
                "is not part of this build yet.\n",
                qUtf8Printable(settings.ResourceName), qUtf8Printable(paths.ProgramFolder()));
    return 0;
}
