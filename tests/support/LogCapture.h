#pragma once

#include "doubles/RecordingDialogs.h"
#include "log/DebugLog.h"
#include "support/TempProgramFolder.h"

#include <QStringList>

// A debug log in a scratch folder, read back as lines without their time stamps and tag.
class LogCapture
{
public:
    explicit LogCapture(QString tag = {})
        : m_tag(std::move(tag)), m_log(m_folder.File("Debug.log"), m_dialogs)
    {
        m_folder.Write("Debug.log", "");
    }

    TaggedLog Writer() { return TaggedLog(&m_log, m_tag); }
    DebugLog& Log() { return m_log; }

    QStringList Lines() const
    {
        QStringList lines;
        const QString marker = QStringLiteral("> ") + m_tag;
        for (const QString& line : QString::fromUtf8(m_folder.Read("Debug.log")).split("\r\n")) {
            const qsizetype at = line.indexOf(marker);
            if (at >= 0)
                lines << line.mid(at + marker.size());
        }
        return lines;
    }

private:
    TempProgramFolder m_folder;
    RecordingDialogs m_dialogs;
    QString m_tag;
    DebugLog m_log;
};
