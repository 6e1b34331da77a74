#include "platform/FileRead.h"

#include <QFile>
#include <QFileInfo>

FileRead ReadFileUpTo(const QString& path, qint64 maxBytes)
{
    FileRead read;
    const QFileInfo info(path);
    if (!info.exists())
        return read;
    read.Size = info.size();
    if (!info.isFile()) {
        read.Status = FileRead::Result::Unreadable;
        return read;
    }
    if (read.Size > maxBytes) {
        read.Status = FileRead::Result::TooLarge;
        return read;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.Status = FileRead::Result::Unreadable;
        return read;
    }
    // Read by the size it has, not by the limit: read(maxBytes) would set the whole limit
    // aside first, for every file.
    read.Bytes = file.read(read.Size);
    if (read.Bytes.size() != read.Size) {
        read.Bytes.clear();
        read.Status = FileRead::Result::Unreadable;
        return read;
    }
    // A file that grew after the size was taken is being written: not read half-way.
    char more = 0;
    if (file.read(&more, 1) > 0) {
        read.Bytes.clear();
        read.Status = FileRead::Result::Unreadable;
        return read;
    }
    read.Status = FileRead::Result::Read;
    return read;
}

QString ByteCountText(qint64 bytes)
{
    constexpr qint64 KiB = 1024;
    constexpr qint64 MiB = KiB * 1024;
    if (bytes >= MiB && bytes % MiB == 0)
        return QStringLiteral("%1 MiB").arg(bytes / MiB);
    if (bytes >= KiB && bytes % KiB == 0)
        return QStringLiteral("%1 KiB").arg(bytes / KiB);
    return QStringLiteral("%1 bytes").arg(bytes);
}
