#include "platform/XdgMimeAssociation.h"

#include "platform/AtomicFile.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The association written into a scratch home: no test touches the real one.
class AddinTypeRegistration : public ::testing::Test
{
protected:
    AddinTypeRegistration()
        : m_data(qgetenv("XDG_DATA_HOME")), m_config(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_DATA_HOME", home.File("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.File("config").toUtf8());
        association.Program = "/opt/pulsmir dir/pulsmir";
        association.Environment = QStringList({"PULSMIR_HOME=/srv/my pulsmir"});
        association.IconFolder = home.File("program/icons");
        for (const int size : XdgMimeAssociation::IconSizes)
            home.Write(QStringLiteral("program/icons/pulsmir-%1.png").arg(size),
                       "picture " + QByteArray::number(size));
    }
    ~AddinTypeRegistration() override
    {
        qputenv("XDG_DATA_HOME", m_data);
        qputenv("XDG_CONFIG_HOME", m_config);
    }

    // A freedesktop tool's answer, with the scratch home; empty when it is not installed.
    static QString Tool(const QString& tool, const QStringList& arguments)
    {
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty())
            return {};
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(20000);
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())
            .trimmed();
    }

    TempProgramFolder home;
    AddinAssociation association;

private:
    QByteArray m_data;
    QByteArray m_config;
};

} // namespace

TEST_F(AddinTypeRegistration, TheDesktopToolsKnowTheTypeAndItsApplication)
{
    home.Write("config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
    XdgMimeAssociation::Register(association);
    EXPECT_TRUE(home.Exists("data/mime/packages/pulsmir-addin.xml"));
    const QString entry = QString::fromUtf8(home.Read("data/applications/pulsmir-addin.desktop"));
    EXPECT_TRUE(entry.contains("Name=Install to Pulsmir\n"));
    EXPECT_TRUE(entry.contains(
        "Exec=env \"PULSMIR_HOME=/srv/my pulsmir\" \"/opt/pulsmir dir/pulsmir\" %f\n"));
    EXPECT_TRUE(entry.contains("MimeType=application/x-pulsmir-addin;\n"));
    // The type has an icon of its own in every size the program's icon comes in.
    EXPECT_TRUE(home.Read("data/mime/packages/pulsmir-addin.xml")
                    .contains("<icon name=\"application-x-pulsmir-addin\"/>"));
    for (const int size : XdgMimeAssociation::IconSizes)
        EXPECT_EQ(home.Read(QStringLiteral("data/icons/hicolor/%1x%1/mimetypes/"
                                           "application-x-pulsmir-addin.png")
                                .arg(size)),
                  "picture " + QByteArray::number(size));

    if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
        GTEST_SKIP() << "xdg-utils is not installed (scripts/install-deps.sh installs it)";
    home.Write("Skin Pack.pma", "LHA data");
    EXPECT_EQ(Tool("xdg-mime", {"query", "filetype", home.File("Skin Pack.pma")}),
              "application/x-pulsmir-addin");
    EXPECT_EQ(Tool("xdg-mime", {"query", "default", "application/x-pulsmir-addin"}),
              "pulsmir-addin.desktop");
    EXPECT_EQ(Tool("desktop-file-validate", {home.File("data/applications/pulsmir-addin.desktop")}),
              "");
    // The user's other defaults stay.
    EXPECT_TRUE(home.Read("config/mimeapps.list").contains("text/plain=editor.desktop"));
}

TEST_F(AddinTypeRegistration, RegisteringAgainChangesNothingAndUnregisteringRemovesOnlyOurs)
{
    XdgMimeAssociation::Register(association);
    const QByteArray mimeApps = home.Read("config/mimeapps.list");
    XdgMimeAssociation::Register(association);
    EXPECT_EQ(home.Read("config/mimeapps.list"), mimeApps);

    home.Write("config/mimeapps.list",
               home.Read("config/mimeapps.list") + "[Added Associations]\nimage/png=viewer.desktop\n");
    XdgMimeAssociation::Unregister(association);
    EXPECT_FALSE(home.Exists("data/mime/packages/pulsmir-addin.xml"));
    EXPECT_FALSE(home.Exists("data/applications/pulsmir-addin.desktop"));
    EXPECT_FALSE(home.Exists("data/icons/hicolor/48x48/mimetypes/application-x-pulsmir-addin.png"));
    const QByteArray left = home.Read("config/mimeapps.list");
    EXPECT_FALSE(left.contains("pulsmir"));
    EXPECT_TRUE(left.contains("image/png=viewer.desktop"));

    // A default the user chose for the type is not ours to remove.
    home.Write("config/mimeapps.list",
               "[Default Applications]\napplication/x-pulsmir-addin=other.desktop\n");
    XdgMimeAssociation::Unregister(association);
    EXPECT_TRUE(home.Read("config/mimeapps.list").contains("other.desktop"));
}

TEST_F(AddinTypeRegistration, ALargeMimeAppsListIsEditedInPlaceAndOneNotReadWholeLeftAlone)
{
    // Every line the user has stays byte for byte: line ends of both kinds, bytes that are no
    // UTF-8, a last line without a line end.
    QByteArray defaults = "# mine\r\n[Default Applications]\r\ntext/plain=editor.desktop\n";
    for (int i = 0; defaults.size() < 1100000; ++i)
        defaults += "application/x-type-" + QByteArray::number(i) + "=app \xff\x82\xa0.desktop;\n";
    const QByteArray rest = "\n[Added Associations]\r\nimage/png=viewer.desktop";
    home.Write("config/mimeapps.list", defaults + rest);
    XdgMimeAssociation::Register(association);
    EXPECT_TRUE(home.Read("config/mimeapps.list") ==
                defaults + "application/x-pulsmir-addin=pulsmir-addin.desktop\r\n" + rest);
    XdgMimeAssociation::Unregister(association);
    EXPECT_TRUE(home.Read("config/mimeapps.list") == defaults + rest);

    // Too large to be anyone's, or a FIFO that would never end: not read, not replaced.
    ASSERT_TRUE(QFile(home.File("config/mimeapps.list")).resize(qint64(100) << 20));
    EXPECT_THROW(XdgMimeAssociation::Register(association), EFileWriteError);
    EXPECT_EQ(QFileInfo(home.File("config/mimeapps.list")).size(), qint64(100) << 20);
    ASSERT_TRUE(QFile::remove(home.File("config/mimeapps.list")));
    ASSERT_EQ(mkfifo(QFile::encodeName(home.File("config/mimeapps.list")).constData(), 0600), 0);
    EXPECT_THROW(XdgMimeAssociation::Register(association), EFileWriteError);
    EXPECT_THROW(XdgMimeAssociation::Unregister(association), EFileWriteError);
    EXPECT_FALSE(QFileInfo(home.File("config/mimeapps.list")).isFile());
}

TEST_F(AddinTypeRegistration, ACopyOfItsOwnFolderLeavesTheInstalledCopysAssociationAlone)
{
    AddinAssociation installed = association;
    installed.Program = home.File("usr/bin/pulsmir");
    installed.Environment.clear();
    installed.Installed = true;
    home.Write("usr/bin/pulsmir", "#!/bin/sh\n");
    QFile(installed.Program).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    XdgMimeAssociation::Register(installed);
    const QByteArray entry = home.Read("data/applications/pulsmir-addin.desktop");
    EXPECT_EQ(XdgMimeAssociation::InstalledOwner(), installed.Program);

    EXPECT_EQ(XdgMimeAssociation::Register(association),
              XdgMimeAssociation::Outcome::LeftToInstalledCopy);
    EXPECT_EQ(XdgMimeAssociation::Unregister(association),
              XdgMimeAssociation::Outcome::LeftToInstalledCopy);
    EXPECT_EQ(home.Read("data/applications/pulsmir-addin.desktop"), entry);
    EXPECT_TRUE(home.Read("config/mimeapps.list").contains("=pulsmir-addin.desktop"));

    // Once the installed copy is gone, its entry holds nothing back.
    QFile::remove(installed.Program);
    EXPECT_EQ(XdgMimeAssociation::Register(association), XdgMimeAssociation::Outcome::Done);
    EXPECT_TRUE(home.Read("data/applications/pulsmir-addin.desktop").contains("PULSMIR_HOME="));
}

TEST(AddinTypePackage, TheInstalledMimePackageIsTheOneThePersonalRegistrationWrites)
{
    QFile installed(QStringLiteral(PULSMIR_SOURCE_DIR "/packaging/pulsmir-addin.xml"));
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(installed.readAll()), XdgMimeAssociation::MimePackageText());
}
