#include "platform/FileUpdate.h"

#include "platform/AtomicFile.h"
#include "platform/FileRead.h"

#include <QDir>
#include <QFileInfo>

QByteArray ReadForUpdate(const QString& path, qint64 maxBytes)
{
    FileRead read = ReadFileUpTo(path, maxBytes);
    switch (read.Status) {
    case FileRead::Result::Read:
        return std::move(read.Bytes);
    case FileRead::Result::Missing:
        return {};
    case FileRead::Result::TooLarge:
        throw EFileWriteError(QStringLiteral("%1: larger than %2, left as it is")
                                  .arg(path, ByteCountText(maxBytes))
                                  .toStdString());
    case FileRead::Result::Unreadable:
        break;
    }
    throw EFileWriteError(
        QStringLiteral("%1: cannot be read whole, left as it is").arg(path).toStdString());
}

bool UpdateFile(const QString& path, const QByteArray& content, qint64 maxBytes)
{
    if (QFileInfo::exists(path) && ReadForUpdate(path, maxBytes) == content)
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteFileAtomically(path, content);
    return true;
}
