#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class InstanceGuard;

// What installing one add-in package from the command line gave.
struct AddinInstallResult
{
    bool succeeded = false;
    bool skinInstalled = false;
    QString skinName;
};

// Installs the ".pma" packages named on the command line, before any window exists.
class AddinHandOff
{
public:
    virtual ~AddinHandOff() = default;
    virtual AddinInstallResult Install(const QString& packageFile) = 0;
};

// The entry's decision: run or not, and which skin the command line installed.
struct EntryDecision
{
    bool doNotRun = false;
    bool anotherInstanceRuns = false;
    QString markerTrouble; // why the single-instance marker is not where it belongs
    bool markerFailed = false; // nowhere to make it: the start ends with an error
    bool addinSkinFlag = false;
    QString addinSkinName;
};

// The single-instance check and the scan of the arguments (without the program name), in the
// order of the command line: a failed package install stops the start, a later "/M" allows it.
EntryDecision DecideEntry(InstanceGuard& guard, const QString& executableName,
                          const QStringList& arguments, AddinHandOff& addins);

// The Qt platform plug-in to run on, chosen before the application object exists. The monitor
// places itself and stays on top only through X11, so a session that asks for Wayland
// (QT_QPA_PLATFORM=wayland, common under sway) gets its X server instead, which also spares a
// start that aborts where the Wayland plug-in is not installed. LogLine says why when the
// request was not followed, or why it had to be.
struct QpaChoice
{
    QByteArray Platform;
    QString LogLine;
};
QpaChoice ChooseQpaPlatform(const QByteArray& requested, bool x11DisplaySet);

// The whole program: entry, start-up, message loop, shutdown. Returns the exit code.
int RunPulsmir(int argc, char* argv[]);
