#include "log/DebugLog.h"

#include "platform/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

DebugLog::DebugLog(QString filePath, Dialogs& dialogs, Clock clock)
    : m_filePath(std::move(filePath)), m_dialogs(dialogs), m_clock(std::move(clock))
{}

QString DebugLog::FormatLine(const QDateTime& when, const QString& text)
{
    const QLocale locale = QLocale::system();
    // The long time format may end in a time-zone name; the log keeps local times only.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(
        QStringLiteral("\\s*\\(?(?<![A-Za-z'])t+(?![A-Za-z'])\\)?"));
    timeFormat.remove(zone);
    return QLatin1Char('<') + locale.toString(when.date(), QLocale::ShortFormat) +
           QLatin1Char(' ') + locale.toString(when.time(), timeFormat.trimmed()) +
           QStringLiteral("> ") + text + QStringLiteral("\r\n");
}

void DebugLog::Write(const QString& text)
{
    if (!m_loggerOn || !QFileInfo::exists(m_filePath))
        return;

    QFile file(m_filePath);
    QString error;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        error = file.errorString();
    else if (file.write(FormatLine(m_clock(), text).toUtf8()) < 0 || !file.flush())
        error = file.errorString();
    if (error.isEmpty())
        return;

    m_loggerOn = false;
    m_dialogs.Error(QStringLiteral("Logger is DOWN!\r\nError : ") + error +
                    QStringLiteral("\r\nLogger STOPPED."));
}
