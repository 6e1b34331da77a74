#include "platform/AtomicFile.h"

#include <QFileInfo>

AtomicFileWriter::AtomicFileWriter(const QString& path) : m_path(path), m_file(path)
{
    // Replacing the file would get round a user's write protection; honour it instead.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isWritable())
        throw EFileWriteError(QStringLiteral("%1: the file is read-only").arg(path).toStdString());
    m_file.setDirectWriteFallback(false);
    if (!m_file.open(QIODevice::WriteOnly))
        Fail(QStringLiteral("cannot create a temporary file"));
}

void AtomicFileWriter::Write(const QByteArray& data)
{
    if (m_file.write(data) != data.size())
        Fail(QStringLiteral("write failed"));
}

void AtomicFileWriter::Commit()
{
    if (!m_file.commit())
        Fail(QStringLiteral("cannot replace the file"));
}

void AtomicFileWriter::Fail(const QString& what) const
{
    throw EFileWriteError(
        QStringLiteral("%1: %2 (%3)").arg(m_path, what, m_file.errorString()).toStdString());
}

void WriteFileAtomically(const QString& path, const QByteArray& data)
{
    AtomicFileWriter writer(path);
    writer.Write(data);
    writer.Commit();
}
