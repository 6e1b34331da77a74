#include "app/ProgramEntry.h"

#include "app/CommandLine.h"
#include "platform/InstanceGuard.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ScriptedGuard : public InstanceGuard
{
public:
    MarkerState TakeSessionMarker(const QString& name) override
    {
        markerName = name;
        return marker;
    }
    bool TopLevelWindowExists(const QString& title) override
    {
        askedTitle = title;
        return windowExists;
    }
    void BringForward(const QString& title) override { broughtForward << title; }
    MarkerState marker = MarkerState::Created;
    bool windowExists = false;
    QString markerName;
    QString askedTitle;
    QStringList broughtForward;
};

class ScriptedAddins : public AddinHandOff
{
public:
    AddinInstallResult Install(const QString& packageFile) override
    {
        installed << packageFile;
        return packageFile.startsWith("bad")
                   ? AddinInstallResult{}
                   : AddinInstallResult{true, true, "Skin of " + packageFile};
    }
    QStringList installed;
};

} // namespace

TEST(CommandLine, TargetDriveTakesOneDigitAfterTheColon)
{
    EXPECT_EQ(TargetDriveFromArguments({"pulsmir"}), -1);
    EXPECT_EQ(TargetDriveFromArguments({"pulsmir", "/D:3"}), 3);
    EXPECT_EQ(TargetDriveFromArguments({"pulsmir", "/d:12"}), 1);
    EXPECT_EQ(TargetDriveFromArguments({"pulsmir", "/D:x", "/D:"}), -1);
    EXPECT_EQ(TargetDriveFromArguments({"pulsmir", "/D:2", "/D:7"}), 7);
    EXPECT_EQ(TargetDriveFromArguments({"pulsmir", QStringLiteral("/D:３")}), -1); // full-width
}

TEST(CommandLine, PackagesAndSecondInstanceSwitch)
{
    EXPECT_TRUE(IsAddinPackageArgument("skins/Flat.PMA"));
    EXPECT_FALSE(IsAddinPackageArgument(".pma"));
    EXPECT_FALSE(IsAddinPackageArgument("flat.pmax"));
    EXPECT_TRUE(IsAllowSecondInstanceArgument("/m"));
    EXPECT_FALSE(IsAllowSecondInstanceArgument("/M2"));
}

TEST(CommandLine, InstanceNamesAreShortAndPlain)
{
    EXPECT_EQ(InstanceFromArguments({"pulsmir"}).name, "");
    const InstanceChoice nas = InstanceFromArguments({"pulsmir", "--instance", "nas-2_b"});
    EXPECT_EQ(nas.name, "nas-2_b");
    EXPECT_EQ(nas.error, "");
    EXPECT_EQ(InstanceFromArguments({"pulsmir", "--instance", QString(32, u'x')}).name.size(), 32);
    for (const QString& refused : {QString("../etc"), QString("a b"), QString(33, u'x'), QString()}) {
        const InstanceChoice choice = InstanceFromArguments({"pulsmir", "--instance", refused});
        EXPECT_EQ(choice.name, "") << refused.toStdString();
        EXPECT_NE(choice.error, "") << refused.toStdString();
    }
    EXPECT_NE(InstanceFromArguments({"pulsmir", "--instance"}).error, "");
}

TEST(ProgramEntry, ANamedInstanceHasItsOwnMarkerAndWindow)
{
    ScriptedGuard guard;
    ScriptedAddins addins;
    guard.marker = InstanceGuard::MarkerState::AlreadyThere;
    guard.windowExists = true;
    EXPECT_TRUE(DecideEntry(guard, "pulsmir", {"--instance", "nas"}, addins).doNotRun);
    EXPECT_EQ(guard.markerName, "pulsmir-nas");
    EXPECT_EQ(guard.askedTitle, "Pulsmir nas");
    EXPECT_EQ(guard.broughtForward, QStringList{"Pulsmir nas"});
}

TEST(ProgramEntry, FirstInstanceRunsAndASecondOneDoesNot)
{
    ScriptedGuard guard;
    ScriptedAddins addins;
    EXPECT_FALSE(DecideEntry(guard, "pulsmir", {}, addins).doNotRun);
    EXPECT_EQ(guard.markerName, "pulsmir");

    guard.marker = InstanceGuard::MarkerState::AlreadyThere;
    guard.windowExists = true;
    EntryDecision second = DecideEntry(guard, "pulsmir", {}, addins);
    EXPECT_TRUE(second.doNotRun);
    EXPECT_TRUE(second.anotherInstanceRuns);
    EXPECT_EQ(guard.askedTitle, "Pulsmir");
    // The running one comes to the front instead; a second one started on purpose leaves it.
    EXPECT_EQ(guard.broughtForward, QStringList{"Pulsmir"});
    EXPECT_FALSE(DecideEntry(guard, "pulsmir", {"/M"}, addins).doNotRun);
    EXPECT_EQ(guard.broughtForward.size(), 1);

    // The marker outlives the instance that made it; without the window nobody runs.
    guard.windowExists = false;
    EXPECT_FALSE(DecideEntry(guard, "pulsmir", {}, addins).doNotRun);

    // Without a marker nobody can tell; the start ends with an error unless told to run.
    guard.marker = InstanceGuard::MarkerState::Failed;
    EXPECT_TRUE(DecideEntry(guard, "pulsmir", {}, addins).markerFailed);
    EXPECT_FALSE(DecideEntry(guard, "pulsmir", {"/M"}, addins).markerFailed);
}

TEST(ProgramEntry, SecondInstanceSwitchOnlyOverridesWhatCameBeforeIt)
{
    ScriptedGuard guard;
    ScriptedAddins addins;
    EXPECT_TRUE(DecideEntry(guard, "pulsmir", {"/M", "bad.pma"}, addins).doNotRun);
    EXPECT_FALSE(DecideEntry(guard, "pulsmir", {"bad.pma", "/M"}, addins).doNotRun);

    EntryDecision installed = DecideEntry(guard, "pulsmir", {"good.pma", "/D:1"}, addins);
    EXPECT_FALSE(installed.doNotRun);
    EXPECT_TRUE(installed.addinSkinFlag);
    EXPECT_EQ(installed.addinSkinName, "Skin of good.pma");
    EXPECT_EQ(addins.installed, QStringList({"bad.pma", "bad.pma", "good.pma"}));
}

TEST(LinuxInstanceGuard, MarkerIsCreatedOnceAndFailsWithoutAFolder)
{
    TempProgramFolder runtime;
    LinuxInstanceGuard guard(runtime.Path());
    EXPECT_EQ(guard.TakeSessionMarker("pulsmir"), InstanceGuard::MarkerState::Created);
    EXPECT_EQ(guard.TakeSessionMarker("pulsmir"), InstanceGuard::MarkerState::AlreadyThere);
    EXPECT_EQ(guard.TakeSessionMarker("other"), InstanceGuard::MarkerState::Created);

    runtime.Write("file", "x");
    LinuxInstanceGuard broken(runtime.File("file/sub"), runtime.File("file/other"));
    EXPECT_EQ(broken.TakeSessionMarker("pulsmir"), InstanceGuard::MarkerState::Failed);
    EXPECT_TRUE(broken.MarkerTrouble().contains(runtime.File("file/other")));
}

TEST(LinuxInstanceGuard, AnotherUsersRuntimeFolderGivesWayToAPrivateFolderOfOurOwn)
{
    TempProgramFolder folders;
    const QByteArray theirs = QFile::encodeName(folders.File("theirs"));
    const QByteArray mine = QFile::encodeName(folders.File("mine"));
    ASSERT_EQ(::mkdir(theirs.constData(), 0700), 0);
    // As under su or sudo: root may write anywhere but the folder is another user's; anyone
    // else may not write to it.
    if (::geteuid() == 0)
        ASSERT_EQ(::chown(theirs.constData(), 65534, 65534), 0);
    else
        ASSERT_EQ(::chmod(theirs.constData(), 0500), 0);
    LinuxInstanceGuard guard(folders.File("theirs"), folders.File("mine"));
    EXPECT_EQ(guard.TakeSessionMarker("pulsmir"), InstanceGuard::MarkerState::Created);
    EXPECT_TRUE(guard.MarkerTrouble().contains(folders.File("theirs")));
    EXPECT_TRUE(folders.Exists("mine/pulsmir.instance"));
    EXPECT_EQ(guard.TakeSessionMarker("pulsmir"), InstanceGuard::MarkerState::AlreadyThere);
    struct stat info = {};
    ASSERT_EQ(::stat(mine.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // One that others may write to decides nothing.
    ASSERT_EQ(::chmod(mine.constData(), 0777), 0);
    EXPECT_EQ(guard.TakeSessionMarker("other"), InstanceGuard::MarkerState::Failed);
    EXPECT_TRUE(guard.MarkerTrouble().contains("open to other users"));
}

TEST(ProgramEntry, WaylandRequestsRunOnTheSessionsXServer)
{
    // Nothing asked: X11, without a word in the log.
    EXPECT_EQ(ChooseQpaPlatform("", true).Platform, QByteArray("xcb"));
    EXPECT_TRUE(ChooseQpaPlatform("", true).LogLine.isEmpty());
    // Wayland in any spelling Qt takes, alone or first in a list: X11, and the log says so.
    for (const char* asked :
         {"wayland", "wayland-egl", "wayland;xcb", " wayland:nogl", "xcb;wayland"}) {
        const QpaChoice choice = ChooseQpaPlatform(asked, true);
        EXPECT_EQ(choice.Platform, QByteArray("xcb")) << asked;
        EXPECT_TRUE(choice.LogLine.contains(QLatin1String(asked))) << asked;
        EXPECT_TRUE(choice.LogLine.contains(QLatin1String("xcb"))) << asked;
    }
    // Other plug-ins are the user's choice.
    EXPECT_EQ(ChooseQpaPlatform("offscreen", true).Platform, QByteArray("offscreen"));
    EXPECT_TRUE(ChooseQpaPlatform("offscreen", true).LogLine.isEmpty());
    // Without an X display there is nothing else to run on; the log tells what will not work.
    const QpaChoice alone = ChooseQpaPlatform("wayland", false);
    EXPECT_EQ(alone.Platform, QByteArray("wayland"));
    EXPECT_FALSE(alone.LogLine.isEmpty());
}
