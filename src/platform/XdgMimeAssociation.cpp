#include "platform/XdgMimeAssociation.h"

#include "platform/AtomicFile.h"
#include "platform/ProfileIni.h"
#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace XdgMimeAssociation {

namespace {

const QString DefaultsSection = QStringLiteral("Default Applications");

QString HomeOf(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QDir::homePath() + fallback : value;
}

// Writes the file unless it already says exactly this; true when it wrote.
bool WriteIfChanged(const QString& path, const QByteArray& content)
{
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteFileAtomically(path, content);
    return true;
}

// The desktop's own tools rebuild their caches; without them the files alone still work.
void RunIfPresent(const QString& tool, const QStringList& arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (!program.isEmpty())
        QProcess::execute(program, arguments);
}

} // namespace

QString DataHome()
{
    return HomeOf("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString ConfigHome()
{
    return HomeOf("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QString MimePackageFile()
{
    return DataHome() + QStringLiteral("/mime/packages/pulsmir-addin.xml");
}

QString DesktopFile()
{
    return DataHome() + QStringLiteral("/applications/") + DesktopFileName;
}

QString MimeAppsFile()
{
    return ConfigHome() + QStringLiteral("/mimeapps.list");
}

QString IconFile(int size)
{
    return DataHome() + QStringLiteral("/icons/hicolor/%1x%1/mimetypes/").arg(size) + IconName +
           QStringLiteral(".png");
}

QString MimePackageText()
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"%1\">\n"
               "    <comment>Pulsmir Add-in File</comment>\n"
               "    <icon name=\"%2\"/>\n"
               "    <glob pattern=\"*.pma\"/>\n"
               "  </mime-type>\n"
               "</mime-info>\n")
        .arg(MimeType, IconName);
}

QString DesktopEntryText(const AddinAssociation& association)
{
    // The field code goes behind the quoted command; it must stay unescaped.
    const QString exec =
        DesktopExecLine(association.Program, {}, association.Environment) + QStringLiteral(" %f");
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Install to Pulsmir\n"
                          "Comment=Installs a Pulsmir add-in package\n"
                          "Exec=%1\n"
                          "MimeType=%2;\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n")
        .arg(DesktopEntryValue(exec), MimeType);
}

void Register(const AddinAssociation& association)
{
    if (WriteIfChanged(MimePackageFile(), MimePackageText().toUtf8()))
        RunIfPresent(QStringLiteral("update-mime-database"), {DataHome() + QStringLiteral("/mime")});
    for (const int size : IconSizes) {
        QFile icon(association.IconFolder + QStringLiteral("/pulsmir-%1.png").arg(size));
        if (!association.IconFolder.isEmpty() && icon.open(QIODevice::ReadOnly))
            WriteIfChanged(IconFile(size), icon.readAll());
    }
    if (WriteIfChanged(DesktopFile(), DesktopEntryText(association).toUtf8()))
        RunIfPresent(QStringLiteral("update-desktop-database"),
                     {DataHome() + QStringLiteral("/applications")});
    ProfileIni mimeApps(MimeAppsFile());
    if (mimeApps.ReadString(DefaultsSection, MimeType) != DesktopFileName) {
        mimeApps.WriteString(DefaultsSection, MimeType, DesktopFileName);
        QDir().mkpath(ConfigHome());
        mimeApps.SaveAs(MimeAppsFile());
    }
}

bool Unregister()
{
    bool removed = true;
    const auto remove = [&removed](const QString& path) {
        if (QFile::exists(path) && !QFile::remove(path))
            removed = false;
    };
    if (QFile::exists(MimePackageFile())) {
        remove(MimePackageFile());
        RunIfPresent(QStringLiteral("update-mime-database"), {DataHome() + QStringLiteral("/mime")});
    }
    for (const int size : IconSizes)
        remove(IconFile(size));
    if (QFile::exists(DesktopFile())) {
        remove(DesktopFile());
        RunIfPresent(QStringLiteral("update-desktop-database"),
                     {DataHome() + QStringLiteral("/applications")});
    }
    if (QFile::exists(MimeAppsFile())) {
        // Only the default this program set; the user's own choice stays.
        ProfileIni mimeApps(MimeAppsFile());
        if (mimeApps.ReadString(DefaultsSection, MimeType) == DesktopFileName) {
            mimeApps.DeleteKey(DefaultsSection, MimeType);
            try {
                mimeApps.SaveAs(MimeAppsFile());
            } catch (const EFileWriteError&) {
                removed = false;
            }
        }
    }
    return removed;
}

} // namespace XdgMimeAssociation
