#include "platform/XdgAutostart.h"

#include "platform/FileUpdate.h"

#include <QDir>
#include <QFile>

namespace {

// One argument of an Exec line: quoted when it holds anything but plain characters, with the
// characters the format reserves inside quotes escaped; "%" doubled as field codes start with it.
QString ExecArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString text = argument;
    text.replace(u'%', QStringLiteral("%%"));
    bool needsQuotes = text.isEmpty();
    for (QChar c : text)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return text;
    QString quoted;
    for (QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return u'"' + quoted + u'"';
}

// Values of a desktop entry escape the backslash once more.
QString EntryValue(const QString& value)
{
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'\n', QStringLiteral("\\n"));
    return escaped;
}

} // namespace

QString DesktopExecLine(const QString& program, const QStringList& arguments,
                        const QStringList& environment)
{
    QStringList exec;
    if (!environment.isEmpty()) {
        exec << QStringLiteral("env");
        for (const QString& variable : environment)
            exec << ExecArgument(variable);
    }
    exec << ExecArgument(program);
    for (const QString& argument : arguments)
        exec << ExecArgument(argument);
    return exec.join(u' ');
}

QString DesktopEntryValue(const QString& value)
{
    return EntryValue(value);
}

QString AutostartFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

QString DesktopEntryText(const AutostartEntry& entry)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Exec=%2\n"
                          "Path=%3\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(EntryValue(entry.name),
             EntryValue(DesktopExecLine(entry.program, entry.arguments, entry.environment)),
             EntryValue(entry.workingFolder));
}

bool WriteAutostartEntry(const QString& folder, const QString& fileName,
                         const AutostartEntry& entry)
{
    // An entry is a few hundred bytes; a larger file of that name is not ours.
    constexpr qint64 MaxEntrySize = qint64(1) << 20;
    return UpdateFile(folder + u'/' + fileName, DesktopEntryText(entry).toUtf8(), MaxEntrySize);
}

bool RemoveAutostartEntry(const QString& folder, const QString& fileName)
{
    const QString path = folder + u'/' + fileName;
    return !QFile::exists(path) || QFile::remove(path);
}
