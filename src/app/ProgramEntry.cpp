#include "app/ProgramEntry.h"

#include "Version.h"
#include "addin/PmaInst.h"
#include "app/CommandLine.h"
#include "app/HeadlessRun.h"
#include "app/LanguageSelection.h"
#include "app/MainForm.h"
#include "app/SettingsFile.h"
#include "platform/AppPaths.h"
#include "platform/InstanceGuard.h"
#include "platform/ProcessControl.h"
#include "platform/TerminationSignals.h"
#include "platform/linux/QtDialogs.h"
#include "ui/InstallProgressDlg.h"
#include "ui/SkinInsDlg.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace {

const char* const HelpText =
    "Usage: pulsmir [/M] [/D:digit] [--instance NAME] [package.pma ...]\n"
    "A skinned desktop system-status monitor.\n"
    "\n"
    "  /M          start even when another instance is running\n"
    "  /D:digit    watch physical drive <digit>; settings go to Pulsmir_<digit>.ini\n"
    "  --instance NAME\n"
    "              run as the instance NAME (A-Z a-z 0-9 _ -, up to 32) beside the\n"
    "              others; its settings go to Pulsmir-<NAME>.ini\n"
    "  package.pma install an add-in package (skins)\n"
    "  --status [--count N] [--interval MS] [--source URL] [--instance NAME]\n"
    "              print the status snapshot N times, every MS milliseconds (default\n"
    "              1000), in English whatever the language, without a window; with\n"
    "              --source, of the machine whose node_exporter serves URL; with\n"
    "              --instance, of that instance's source\n"
    "  --snapshot OUT.png [--ticks N] [--mode compact|full]\n"
    "              write the skin's face after N ticks to a PNG, without a window\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "The program folder is the folder of the executable, or PULSMIR_HOME when set.\n"
    "Create an empty Debug.log there to switch the debug log on.\n";

// Packages on the command line go through the installer, each asked for and reported on in
// its own boxes, in the language the instance's settings name ("/D:3" and "--instance NAME"
// have their own files); a skin switches a monitor that is already running.
class PackageAddins : public AddinHandOff
{
public:
    PackageAddins(const AppPaths& paths, int targetDrive, QString instanceName, Dialogs& dialogs,
                  DebugLog& log)
        : m_paths(paths), m_targetDrive(targetDrive), m_instanceName(std::move(instanceName)),
          m_dialogs(dialogs), m_log(log), m_res(paths.DataFolders())
    {
    }

    AddinInstallResult Install(const QString& packageFile) override
    {
        if (m_res.FilePath().isEmpty() &&
            m_res.OpenLanguage(
                TSettingsFile(m_paths, m_targetDrive, m_instanceName).ChosenLanguage()))
            m_dialogs.SetWords(DialogWordsOf(m_res));
        TPmaInst installer(
            m_paths.ProgramFolder(), m_dialogs,
            [this](const QString& message) { return TSkinInsDlg::Ask(message, nullptr, &m_res); },
            TaggedLog(&m_log, QString()));
        installer.Run = [this, &packageFile](const std::shared_ptr<PackageInstallJob>& job) {
            return TInstallProgressDlg::Run(job, packageFile, nullptr, &m_res);
        };
        installer.Text = [this](const QString& code) {
            return m_res.GetText(code);
        };
        AddinInstallResult result;
        result.succeeded = installer.Install(QFileInfo(packageFile).absoluteFilePath());
        result.skinInstalled = installer.IsSkin;
        result.skinName = installer.SkinName;
        return result;
    }

private:
    const AppPaths& m_paths;
    int m_targetDrive;
    QString m_instanceName;
    Dialogs& m_dialogs;
    DebugLog& m_log;
    TMRes m_res;
};

} // namespace

EntryDecision DecideEntry(InstanceGuard& guard, const QString& executableName,
                          const QStringList& arguments, AddinHandOff& addins)
{
    EntryDecision decision;
    // A named instance has its own marker and window, and so runs beside the others.
    const QString instance = InstanceFromArguments(arguments).name;
    const QString title = InstanceWindowTitle(instance);
    const InstanceGuard::MarkerState marker = guard.TakeSessionMarker(
        instance.isEmpty() ? executableName : NamedInstanceStem(executableName, instance));
    decision.markerTrouble = guard.MarkerTrouble();
    switch (marker) {
    case InstanceGuard::MarkerState::Created:
        break;
    case InstanceGuard::MarkerState::Failed:
        decision.doNotRun = true;
        decision.markerFailed = true;
        break;
    case InstanceGuard::MarkerState::AlreadyThere:
        decision.anotherInstanceRuns = guard.TopLevelWindowExists(title);
        decision.doNotRun = decision.anotherInstanceRuns;
        break;
    }

    for (const QString& argument : arguments) {
        if (IsAddinPackageArgument(argument)) {
            const AddinInstallResult result = addins.Install(argument);
            decision.doNotRun = decision.doNotRun || !result.succeeded;
            decision.addinSkinFlag = result.skinInstalled;
            decision.addinSkinName = result.skinName;
        }
        if (IsAllowSecondInstanceArgument(argument)) {
            decision.doNotRun = false;
            decision.markerFailed = false;
        }
    }
    // The user started the program to see it: the one that runs comes instead.
    if (decision.anotherInstanceRuns && decision.doNotRun)
        guard.BringForward(title);
    return decision;
}

QpaChoice ChooseQpaPlatform(const QByteArray& requested, bool x11DisplaySet)
{
    const QByteArray xcb("xcb");
    if (requested.trimmed().isEmpty())
        return {xcb, {}};
    // A list of plug-ins to try in turn ("wayland;xcb"), each with its options after a colon.
    bool asksWayland = false;
    for (const QByteArray& entry : requested.split(';'))
        asksWayland = asksWayland || entry.trimmed().startsWith("wayland");
    if (!asksWayland)
        return {requested, {}};
    const QString asked = QString::fromLocal8Bit(requested);
    if (!x11DisplaySet)
        return {requested, QStringLiteral("QT_QPA_PLATFORM=%1 and no X display: the window "
                                          "cannot place itself")
                               .arg(asked)};
    return {xcb, QStringLiteral("QT_QPA_PLATFORM=%1: running on xcb (the X server of the "
                                "session), where the window can place itself")
                     .arg(asked)};
}

int RunPulsmir(int argc, char* argv[])
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

    if (IsHeadlessRequest(argc, argv))
        return RunHeadless(argc, argv);

    // Refused before there is a display to need.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    if (const InstanceChoice instance = InstanceFromArguments(given); !instance.error.isEmpty()) {
        std::fprintf(stderr, "pulsmir: %s\n", qUtf8Printable(instance.error));
        return 2;
    }

    // A Wayland client can neither place itself nor stay on top: run through Xwayland.
    const QpaChoice platform =
        ChooseQpaPlatform(qgetenv("QT_QPA_PLATFORM"), !qEnvironmentVariableIsEmpty("DISPLAY"));
    qputenv("QT_QPA_PLATFORM", platform.Platform);
    // The monitor repaints a few small areas twenty times a second. Through shared memory Qt
    // waits for the X server to finish with the last frame before every paint, a round trip
    // that costs more than sending those few pixels; and the plain Unix event loop wakes for
    // the tick with less work than the GLib one. Either can still be chosen from outside.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    KeepLargeBlocksOutOfTheHeap();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    const AppPaths paths = AppPaths::FromEnvironment(QCoreApplication::applicationDirPath(),
                                                     QStringLiteral(PULSMIR_INSTALL_DATADIR));
    QStringList arguments = app.arguments();
    const QString executableName = QFileInfo(arguments.first()).fileName();

    // Caught from the first box on (a package on the command line asks before it installs):
    // a signal ends the open boxes, which refuse what they asked, and then the program, in
    // order instead of killing the process half-way.
    TerminationSignals terminationSignals;
    bool terminatedAtEntry = false;
    const QMetaObject::Connection atEntry = QObject::connect(
        &terminationSignals, &TerminationSignals::Received, &app, [&terminatedAtEntry] {
            terminatedAtEntry = true;
            QCoreApplication::exit(0);
        });

    LinuxInstanceGuard guard;
    QtDialogs dialogs;
    DebugLog entryLog(paths.DebugLogFile(), dialogs);
    if (!platform.LogLine.isEmpty())
        entryLog.Write(platform.LogLine);
    PackageAddins addins(paths, TargetDriveFromArguments(arguments),
                         InstanceFromArguments(arguments).name, dialogs, entryLog);
    const EntryDecision decision = DecideEntry(guard, executableName, arguments.mid(1), addins);
    if (!decision.markerTrouble.isEmpty())
        entryLog.Write(QStringLiteral("Instance marker : ") + decision.markerTrouble);
    if (decision.markerFailed) {
        std::fprintf(stderr,
                     "pulsmir: cannot tell whether another instance is running, as no instance "
                     "marker can be made (%s); start with /M to run anyway\n",
                     qUtf8Printable(decision.markerTrouble));
        return 1;
    }

    const QString workFile = paths.File(QStringLiteral("pma.$$$"));
    if (QFile::exists(workFile))
        QFile::remove(workFile);

    if (decision.doNotRun || terminatedAtEntry) {
        if (decision.anotherInstanceRuns)
            std::fputs("pulsmir: another instance is running and comes to the front (start with /M "
                       "to run a second one)\n",
                       stderr);
        return 0;
    }

    TMainPForm form(paths, dialogs, arguments);
    form.SetAddinSkin(decision.addinSkinFlag, decision.addinSkinName);
    // From here on a signal asks for the close like the Exit items do.
    QObject::disconnect(atEntry);
    QObject::connect(&terminationSignals, &TerminationSignals::Received, &form,
                     &TMainPForm::CloseForTermination, Qt::QueuedConnection);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     &TMainPForm::CloseForTermination);

    // Every way out (Exit, the window's close, a signal, the end of the session, anything else
    // that quits the application) ends the event loops, the nested ones of open dialogs and
    // boxes first, so the shutdown runs here, once, with no caller left waiting under it.
    if (form.FormCreate())
        app.exec();
    if (form.StartAborted())
        return 1;
    form.FormCloseQuery();
    return 0;
}
