#include "addin/PackageInstallJob.h"
#include "addin/PmaInst.h"

#include "doubles/RecordingDialogs.h"
#include "res/MRes.h"
#include "support/IsolatedMount.h"
#include "support/LogCapture.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

QString Package(const char* name)
{
    return QStringLiteral(PULSMIR_FIXTURE_DIR "/addin/") + QString::fromLatin1(name);
}

class PmaInstall : public ::testing::Test
{
protected:
    PmaInstall()
    {
        EXPECT_TRUE(localTalk.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&localTalk, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* client = localTalk.nextPendingConnection())
                QObject::connect(client, &QTcpSocket::readyRead,
                                 [this, client] { handedOff += client->readAll(); });
        });
    }

    bool Install(const char* package) { return InstallFile(Package(package)); }

    bool InstallFile(const QString& package)
    {
        TPmaInst installer(folder.Path(), dialogs, [this](const QString& message) {
            confirmations << message;
            return answer;
        }, log.Writer());
        installer.LocalTalkPort = localTalk.serverPort();
        installer.Text = texts;
        const bool result = installer.Install(package);
        isSkin = installer.IsSkin;
        skinName = installer.SkinName;
        return result;
    }

    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const auto& box : dialogs.boxes)
            texts << box.text;
        return texts;
    }

    QByteArray HandedOff()
    {
        QElapsedTimer clock;
        clock.start();
        while (handedOff.isEmpty() && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return handedOff;
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    TempProgramFolder folder;
    RecordingDialogs dialogs;
    LogCapture log;
    QTcpServer localTalk;
    QByteArray handedOff;
    QStringList confirmations;
    bool answer = true;
    TPmaInst::Texts texts;
    bool isSkin = false;
    QString skinName;
};

} // namespace

TEST_F(PmaInstall, TheQuestionAndTheReportSpeakTheOpenLanguageWithTheNamesInPlace)
{
    TMRes res(QStringLiteral(PULSMIR_DATA_DIR));
    ASSERT_TRUE(res.OpenLanguage(QString::fromUtf8("日本語")));
    texts = [&res](const QString& code) {
        return res.GetText(code);
    };
    ASSERT_TRUE(Install("skin.pma"));
    EXPECT_EQ(confirmations, QStringList({QString::fromUtf8(
                                 "skin.pma\r\n\r\nこのファイルを Pulsmir にインストールします。"
                                 "\r\nよろしいですか？")}));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              QString::fromUtf8("スキン \"Packaged Golden\" をインストールしました。"));
}

TEST_F(PmaInstall, ASkinGoesIntoTheSkinFolderAndTheMonitorIsToldToSwitch)
{
    ASSERT_TRUE(Install("skin.pma"));
    EXPECT_EQ(confirmations, QStringList({"skin.pma\r\n\r\nPulsmir will install this file.\r\nOK?"}));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Information);
    EXPECT_EQ(dialogs.boxes[0].text, "Installation of a skin \"Packaged Golden\" was successful.");
    EXPECT_TRUE(isSkin);
    EXPECT_EQ(skinName, "Packaged Golden");
    EXPECT_TRUE(folder.Exists("Skin/PackGolden.ini"));
    EXPECT_TRUE(folder.Exists("Skin/PackGolden/notes/readme.txt"));
    EXPECT_FALSE(folder.Exists("Skin/pma.$$$"));
    EXPECT_EQ(HandedOff(), "SELECTSKIN:PackGolden.ini");
    // The command texts go to the log.
    EXPECT_FALSE(log.Lines().filter("Add-in : x -c1 -n1 -x1 \"-jxpma.$$$\" -jyo1 \"").isEmpty());
}

TEST_F(PmaInstall, ComponentsInAnyCaseAndTheirFolders)
{
    ASSERT_TRUE(Install("lowercase.pma"));
    EXPECT_TRUE(isSkin);
    EXPECT_TRUE(folder.Exists("Skin/LowerGolden.ini"));

    ASSERT_TRUE(Install("help.pma"));
    EXPECT_FALSE(isSkin);
    EXPECT_EQ(folder.Read("help/extra/page.html"), "<p>More help.</p>\n");
    EXPECT_EQ(BoxTexts().last(), "Add-in \"Extra Help\" installation was successful.");

    ASSERT_TRUE(Install("res.pma"));
    EXPECT_TRUE(folder.Exists("rl9.prs"));
    EXPECT_EQ(BoxTexts().last(), "Add-in \"Pictures\" installation was successful.");

    ASSERT_TRUE(Install("sjis.pma"));
    EXPECT_EQ(skinName, QString::fromUtf8("ゴールデン"));
    EXPECT_TRUE(folder.Exists(QString::fromUtf8("Skin/ゴールデン/cpu.png")));
    EXPECT_TRUE(HandedOff().contains(QString::fromUtf8("SELECTSKIN:ゴールデン.ini").toUtf8()));
}

TEST_F(PmaInstall, CancellingTouchesNothing)
{
    answer = false;
    EXPECT_TRUE(Install("skin.pma"));
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(folder.Exists("Skin"));
    EXPECT_FALSE(folder.Exists("pma.$$$"));
    EXPECT_TRUE(HandedOff().isEmpty());
}

TEST_F(PmaInstall, EveryFailureEndsInItsBoxes)
{
    const QString notAddin =
        "This file is not an add-in file for Pulsmir, or was damaged.\r\nInstallation failed.";
    const QString deployment = "Add-in \"%1\" deployment went wrong.\r\nThe file was damaged or "
                               "pma.$$$ does not exist.\r\n\r\nInstallation failed.";

    // Each box ends in the reason the log gives.
    for (const char* notPackage : {"zip.pma", "damaged.pma"}) {
        EXPECT_FALSE(Install(notPackage));
        ASSERT_EQ(BoxTexts().size(), 1) << notPackage;
        EXPECT_TRUE(BoxTexts()[0].startsWith(notAddin + "\r\n")) << notPackage;
        EXPECT_TRUE(log.Lines().contains("Add-in : " + BoxTexts()[0].section("\r\n", 2)))
            << BoxTexts()[0].toStdString();
        dialogs.boxes.clear();
    }

    EXPECT_FALSE(Install("nodescriptor.pma"));
    EXPECT_EQ(BoxTexts(), QStringList({"\"pma.$$$\" is not contained in the add-in file, or the "
                                       "file was damaged.\r\nInstallation failed."}));
    dialogs.boxes.clear();

    EXPECT_FALSE(Install("unknown.pma"));
    EXPECT_EQ(BoxTexts(),
              QStringList({"\"" + Package("unknown.pma") +
                               "\" has not discriminated correctly.\r\nThe component type dealing "
                               "with un-is specified.\r\n\r\nInstallation failed.\r\nunknown "
                               "component \"THEME\"",
                           deployment.arg(Package("unknown.pma"))}));
    EXPECT_FALSE(folder.Exists("odd.txt"));
    dialogs.boxes.clear();

    const QString refused = "This add-in package holds an entry Pulsmir never installs (a link, a "
                            "device, or a name that leads out of its folder), so nothing was "
                            "installed:\r\n";
    EXPECT_FALSE(Install("parent.pma"));
    EXPECT_EQ(BoxTexts(), QStringList({refused + "\"../evil.txt\" leads out of the folder"}));
    dialogs.boxes.clear();
    EXPECT_FALSE(Install("link.pma"));
    EXPECT_EQ(BoxTexts(), QStringList({refused + "\"escape\" is a link or a device"}));
    dialogs.boxes.clear();
    EXPECT_FALSE(QFileInfo::exists(folder.File("../evil.txt")));
    EXPECT_FALSE(folder.Exists("help/escape"));

    EXPECT_FALSE(Install("missing.pma"));
    EXPECT_EQ(BoxTexts(), QStringList({"The add-in file \"" + Package("missing.pma") +
                                       "\" could not be read to its end, so nothing was "
                                       "installed:\r\ncannot open the package: No such file or "
                                       "directory"}));
    dialogs.boxes.clear();

    folder.Write("help", "a file where the help folder belongs");
    EXPECT_FALSE(Install("help.pma"));
    EXPECT_EQ(BoxTexts(), QStringList({"Pulsmir could not write the files of this add-in, so "
                                       "nothing was installed:\r\n" +
                                       folder.File("help") +
                                       ": cannot open the folder (Not a directory)"}));
    EXPECT_TRUE(log.Lines().contains("Add-in : " + folder.File("help") +
                                     ": cannot open the folder (Not a directory)"));
}

TEST_F(PmaInstall, SkinAndHelpFoldersLinkedElsewhereAreTheUsersOwnLinksBelowThemAreRefused)
{
    QDir().mkpath(folder.File("mine/skins"));
    QDir().mkpath(folder.File("mine/help"));
    ASSERT_TRUE(QFile::link(folder.File("mine/skins"), folder.File("Skin")));
    ASSERT_TRUE(QFile::link(folder.File("mine/help"), folder.File("help")));
    ASSERT_TRUE(Install("skin.pma")) << BoxTexts().join("\n").toStdString();
    EXPECT_TRUE(folder.Exists("mine/skins/PackGolden/notes/readme.txt"));
    EXPECT_TRUE(QFileInfo(folder.File("Skin")).isSymLink());

    // Below the user's folder, a link is no choice of the user's that the package may follow.
    QDir().mkpath(folder.File("outside"));
    ASSERT_TRUE(QFile::link(folder.File("outside"), folder.File("mine/help/extra")));
    dialogs.boxes.clear();
    EXPECT_FALSE(Install("help.pma"));
    EXPECT_EQ(BoxTexts(), QStringList({"Something in \"" + folder.File("help") +
                                       "\" stands where this add-in goes (a link below that "
                                       "folder, or a file where a folder belongs), so nothing "
                                       "was installed:\r\n\"extra/page.html\" leads through a "
                                       "link"}));
    EXPECT_TRUE(QDir(folder.File("outside")).isEmpty());
}

TEST(LinkedSkinFolder, OnAnotherFileSystemTakesPackagesAsWell)
{
    TempProgramFolder folder;
    QDir().mkpath(folder.File("program"));
    QDir().mkpath(folder.File("elsewhere"));
    ASSERT_TRUE(QFile::link(folder.File("elsewhere"), folder.File("program/Skin")));
    IsolatedMount mount;
    mount.Folder = QFile::encodeName(folder.File("elsewhere")).toStdString();
    mount.TmpfsBytes = 16 << 20;
    struct Outcome
    {
        InstallOutcome Result;
        bool Placed;
        int Entries; // in both folders
    };
    const std::optional<Outcome> outcome = mount.Run<Outcome>([&] {
        PackageInstallJob job(folder.File("program"), Package("skin.pma"));
        job.Run();
        const auto filter = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        return Outcome{job.Result().Outcome,
                       folder.Exists("elsewhere/PackGolden/notes/readme.txt"),
                       static_cast<int>(QDir(folder.File("elsewhere")).entryList(filter).size() +
                                        QDir(folder.File("program")).entryList(filter).size())};
    });
    if (!outcome)
        GTEST_SKIP() << mount.WhyNot;
    EXPECT_EQ(outcome->Result, InstallOutcome::Installed);
    EXPECT_TRUE(outcome->Placed);
    // The skin's file and folder beside the link, nothing of the install.
    EXPECT_EQ(outcome->Entries, 3);
}

TEST_F(PmaInstall, AHostileLanguageTextAndALongNameMakeBoxesOfReadableSize)
{
    // A text of a thousand markers and a path of thousands of characters: megabytes of box.
    texts = [](const QString&) {
        return QStringLiteral("%1").repeated(1000);
    };
    const QString deep =
        folder.File(QString(QStringLiteral("d").repeated(200) + u'/').repeated(15));
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(QFile::copy(Package("unknown.pma"), deep + "unknown.pma"));
    EXPECT_FALSE(InstallFile(deep + "unknown.pma"));
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    for (const auto& box : dialogs.boxes) {
        EXPECT_LT(box.text.size(), 2 * MaxFilledChars);
        // The name keeps its end, where the file's own name is.
        EXPECT_TRUE(box.text.startsWith(QString::fromUtf8("\"/")));
        EXPECT_TRUE(box.text.contains("/unknown.pma\""));
    }
}
