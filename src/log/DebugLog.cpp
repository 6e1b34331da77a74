#include "log/DebugLog.h"

#include "log/PrintableText.h"
#include "platform/Dialogs.h"
#include "platform/FileAppend.h"

#include <QLocale>
#include <cstdio>

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
           QLatin1Char(' ') + locale.toString(when.time(), timeFormat) + QStringLiteral("> ") +
           text + QStringLiteral("\r\n");
}

QString DebugLog::CappedText(const QString& text)
{
    if (text.size() <= MaxLineChars)
        return text;
    qsizetype keep = MaxLineChars;
    if (text[keep - 1].isHighSurrogate())
        --keep;
    return text.left(keep) + QStringLiteral(" ...(%1 more characters cut)").arg(text.size() - keep);
}

void DebugLog::Write(const QString& text)
{
    if (!m_loggerOn)
        return;

    if (m_linesDropped > 0) {
        const QString note = QStringLiteral("<WARNING> %1 log lines were lost (%2)")
                                 .arg(m_linesDropped)
                                 .arg(m_dropReason);
        if (AppendWhole(m_filePath, FormatLine(m_clock(), note).toUtf8()).Result !=
            AppendOutcome::Done) {
            ++m_linesDropped;
            return;
        }
        m_linesDropped = 0;
    }

    const AppendOutcome outcome =
        AppendWhole(m_filePath, FormatLine(m_clock(), CappedText(EscapeControls(text))).toUtf8());
    switch (outcome.Result) {
    case AppendOutcome::Done:
    case AppendOutcome::Missing: // logging is off while the file is gone
        return;
    case AppendOutcome::NoRoom:
        // A full disk (or no descriptor to spare) is the machine's trouble, not the log's: no
        // box in the middle of the run or of its shutdown; the lines lost are counted once
        // there is room again.
        if (m_linesDropped++ == 0) {
            m_dropReason = outcome.Error;
            std::fprintf(stderr, "pulsmir: debug log: %s; lines are dropped until there is room\n",
                         qUtf8Printable(outcome.Error));
        }
        return;
    case AppendOutcome::Failed:
        break;
    }

    m_loggerOn = false;
    m_dialogs.Error(QStringLiteral("Logger is DOWN!\r\nError : ") + outcome.Error +
                    QStringLiteral("\r\nLogger STOPPED."));
}
