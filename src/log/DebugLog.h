#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class Dialogs;

// The program's debug log, "Debug.log" in the program folder. It is written only while that
// file exists: the user switches logging on by creating it and off by deleting it, and the
// program never creates it. A failed write reports once and switches logging off for the run;
// a full disk only drops lines, each written whole or not at all, until there is room again.
// A line holds at most MaxLineChars characters of text, so no peer's words can flood the disk,
// and its control characters are written out, so no name can start a line of its own.
class DebugLog
{
public:
    using Clock = std::function<QDateTime()>;

    static constexpr int MaxLineChars = 4096;

    DebugLog(QString filePath, Dialogs& dialogs, Clock clock = &QDateTime::currentDateTime);

    void Write(const QString& text);

    bool LoggerOn() const { return m_loggerOn; }
    void SetLoggerOn(bool on) { m_loggerOn = on; }
    const QString& FilePath() const { return m_filePath; }

    // "<" + the locale's short date and long time + "> " + text, ended by CR LF.
    // A time format without its time-zone field ("t" to "tttt", perhaps in brackets) and the
    // spaces before it: the log keeps local times only.
    static QString WithoutZoneField(QString format);
    static QString FormatLine(const QDateTime& when, const QString& text);
    // The text cut at MaxLineChars, with a note of how much was cut.
    static QString CappedText(const QString& text);

private:
    QString m_filePath;
    Dialogs& m_dialogs;
    Clock m_clock;
    bool m_loggerOn = true;
    int m_linesDropped = 0;
    QString m_dropReason;
};

// A writer that puts a fixed tag such as "(PerfCore) " in front of every line; the parts that
// keep their own writers to the log take one of these.
class TaggedLog
{
public:
    TaggedLog() = default;
    TaggedLog(DebugLog* log, QString tag) : m_log(log), m_tag(std::move(tag)) {}

    void operator()(const QString& text) const
    {
        if (m_log)
            m_log->Write(m_tag + text);
    }

private:
    DebugLog* m_log = nullptr;
    QString m_tag;
};
