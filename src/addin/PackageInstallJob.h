#pragma once

#include "addin/AddinComponent.h"
#include "addin/PackageUnpacker.h"

#include <QString>
#include <QStringList>
#include <atomic>

enum class InstallOutcome
{
    Installed,
    Cancelled,
    NotAPackage, // not a readable LHA archive, or damaged
    NoLibrary,
    NoDescriptor,
    UnknownComponent,
    Unreadable,        // the package could not be read to its end
    Refused,           // a hostile entry
    Blocked,           // a link, file or folder of the program's folders in the way
    TooLarge,          // past a limit
    ForbiddenResource, // a resource package with a file that is no resource
    WriteFailed
};

struct InstallResult
{
    InstallOutcome Outcome = InstallOutcome::NotAPackage;
    QString Component; // as the descriptor says it
    QString Name;
    AddinComponent Kind = AddinComponent::Unknown;
    QString Target;    // the folder the payload went to
    QString SkinEntry; // the first "*.ini" entry of a skin package
    QString Detail;    // why it ended so, for the log and the boxes
};

// The part of an installation that reads and writes: one pass over the package into a private
// folder of the program folder, the descriptor's verdict, then the payload moved into its
// folder. Runs on any thread; Progress() can be watched and cancelled from another. A package
// that does not install leaves the program's folders as they were, and so does a process killed
// while it installs, once the next one has swept (SweepUnfinished).
class PackageInstallJob
{
public:
    PackageInstallJob(QString programFolder, QString packageFile);

    UnpackProgress& Progress() { return m_progress; }
    void Run() noexcept;
    // Run() has returned; Result() may be read from then on.
    bool Finished() const { return m_finished; }
    const InstallResult& Result() const { return m_result; }

    PackageLimits Limits;

    // The name of the descriptor entry.
    static const QString DescriptorName;

    // Undoes and removes what installs of processes that ended before they had finished left
    // in the program folder; the paths removed.
    static QStringList SweepUnfinished(const QString& programFolder);

private:
    void Install();

    QString m_programFolder;
    QString m_packageFile;
    UnpackProgress m_progress;
    InstallResult m_result;
    std::atomic<bool> m_finished{false};
};
