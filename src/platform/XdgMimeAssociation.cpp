#include "platform/XdgMimeAssociation.h"

#include "platform/AtomicFile.h"
#include "platform/FileRead.h"
#include "platform/FileUpdate.h"
#include "platform/KeyFileText.h"
#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace XdgMimeAssociation {

namespace {

const QByteArray DefaultsGroup = "Default Applications";
const QByteArray EntryGroup = "Desktop Entry";
const QByteArray InstalledKey = "X-Pulsmir-Installed";
// A user's mimeapps.list can be large (every type they ever chose an application for); our own
// files are a few hundred bytes, and a larger one at their place is not ours.
constexpr qint64 MaxMimeAppsSize = qint64(64) << 20;
constexpr qint64 MaxOwnFileSize = qint64(1) << 20;

QString HomeOf(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QDir::homePath() + fallback : value;
}

// A desktop entry's value as written by DesktopEntryValue.
QString UnescapedValue(const QByteArray& value)
{
    QString text;
    const QString escaped = QString::fromUtf8(value);
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != u'\\' || i + 1 == escaped.size()) {
            text += escaped[i];
            continue;
        }
        const QChar next = escaped[++i];
        text += next == u'n' ? QChar(u'\n') : next == u's' ? QChar(u' ') : next == u't' ? QChar(u'\t') : next;
    }
    return text;
}

// Whether this copy may change the association: an installed copy always, another copy only
// when no installed one holds it.
bool MayChange(const AddinAssociation& association)
{
    if (association.Installed)
        return true;
    const QString owner = InstalledOwner();
    return owner.isEmpty() || owner == association.Program;
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
                          "TryExec=%2\n"
                          "MimeType=%3;\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n")
               .arg(DesktopEntryValue(exec), DesktopEntryValue(association.Program), MimeType) +
           (association.Installed ? QString::fromLatin1(InstalledKey + "=true\n") : QString());
}

QString InstalledOwner()
{
    const FileRead read = ReadFileUpTo(DesktopFile(), MaxOwnFileSize);
    if (KeyFileText::Value(read.Bytes, EntryGroup, InstalledKey) != "true")
        return {};
    const QString program =
        UnescapedValue(KeyFileText::Value(read.Bytes, EntryGroup, "TryExec").value_or(QByteArray()));
    // An uninstalled copy's entry holds nothing back.
    return QFileInfo(program).isExecutable() ? program : QString();
}

Outcome Register(const AddinAssociation& association)
{
    if (!MayChange(association))
        return Outcome::LeftToInstalledCopy;
    if (UpdateFile(MimePackageFile(), MimePackageText().toUtf8(), MaxOwnFileSize))
        RunIfPresent(QStringLiteral("update-mime-database"), {DataHome() + QStringLiteral("/mime")});
    for (const int size : IconSizes) {
        if (association.IconFolder.isEmpty())
            break;
        const FileRead icon = ReadFileUpTo(
            association.IconFolder + QStringLiteral("/pulsmir-%1.png").arg(size), MaxOwnFileSize);
        if (icon.Status == FileRead::Result::Read)
            UpdateFile(IconFile(size), icon.Bytes, MaxOwnFileSize);
    }
    if (UpdateFile(DesktopFile(), DesktopEntryText(association).toUtf8(), MaxOwnFileSize))
        RunIfPresent(QStringLiteral("update-desktop-database"),
                     {DataHome() + QStringLiteral("/applications")});
    const QByteArray mimeApps = ReadForUpdate(MimeAppsFile(), MaxMimeAppsSize);
    const QByteArray ours = DesktopFileName.toUtf8();
    if (KeyFileText::Value(mimeApps, DefaultsGroup, MimeType.toUtf8()) != ours)
        UpdateFile(MimeAppsFile(),
                   KeyFileText::WithValue(mimeApps, DefaultsGroup, MimeType.toUtf8(), ours),
                   MaxMimeAppsSize);
    return Outcome::Done;
}

Outcome Unregister(const AddinAssociation& association)
{
    if (!MayChange(association))
        return Outcome::LeftToInstalledCopy;
    QStringList left;
    const auto remove = [&left](const QString& path) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            left << path;
    };
    if (QFileInfo::exists(MimePackageFile())) {
        remove(MimePackageFile());
        RunIfPresent(QStringLiteral("update-mime-database"), {DataHome() + QStringLiteral("/mime")});
    }
    for (const int size : IconSizes)
        remove(IconFile(size));
    if (QFileInfo::exists(DesktopFile())) {
        remove(DesktopFile());
        RunIfPresent(QStringLiteral("update-desktop-database"),
                     {DataHome() + QStringLiteral("/applications")});
    }
    if (!left.isEmpty())
        throw EFileWriteError(
            QStringLiteral("cannot remove %1").arg(left.join(QStringLiteral(", "))).toStdString());
    // Only the default this program set; the user's own choice stays.
    const QByteArray mimeApps = ReadForUpdate(MimeAppsFile(), MaxMimeAppsSize);
    if (KeyFileText::Value(mimeApps, DefaultsGroup, MimeType.toUtf8()) == DesktopFileName.toUtf8())
        UpdateFile(MimeAppsFile(), KeyFileText::WithoutKey(mimeApps, DefaultsGroup, MimeType.toUtf8()),
                   MaxMimeAppsSize);
    return Outcome::Done;
}

} // namespace XdgMimeAssociation
