#include "log/DebugLog.h"

#include "platform/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

DebugLog::DebugLog(QString filePath, Dialogs& dialogs, Clock clock)
    : m_filePath(std::move(filePath)), m_dialogs(dialogs), m_clock(std::move(clock))
{}

namespace {

bool IsFormatLetter(const QString& format, qsizetype at)
{
    if (at < 0 || at >= format.size())
        return false;
    const char16_t c = format[at].unicode();
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'\'';
}

} // namespace

QString DebugLog::WithoutZoneField(QString format)
{
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u't' || IsFormatLetter(format, i - 1))
            continue;
        qsizetype end = i;
        while (end < format.size() && format[end] == u't')
            ++end;
        if (IsFormatLetter(format, end)) {
            i = end;
            continue;
        }
        qsizetype start = i;
        if (start > 0 && format[start - 1] == u'(')
            --start;
        while (start > 0 && format[start - 1].isSpace())
            --start;
        if (end < format.size() && format[end] == u')')
            ++end;
        format.remove(start, end - start);
        i = start - 1;
    }
    return format.trimmed();
}

QString DebugLog::FormatLine(const QDateTime& when, const QString& text)
{
    const QLocale locale = QLocale::system();
    const QString timeFormat = WithoutZoneField(locale.timeFormat(QLocale::LongFormat));
    return QLatin1Char('<') + locale.toString(when.date(), QLocale::ShortFormat) +
           QLatin1Char(' ') + locale.toString(when.time(), timeFormat) +
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
