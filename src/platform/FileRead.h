#pragma once

#include <QByteArray>
#include <QString>

// A whole file, read only when it is a plain file of at most maxBytes. The size is looked at
// before a byte is read, so a huge file costs one stat; a file that changes size while it is
// read is unreadable, and a FIFO or device, which could block or never end, is never opened.
struct FileRead
{
    enum class Result
    {
        Read,
        Missing,
        Unreadable,
        TooLarge
    };
    Result Status = Result::Missing;
    QByteArray Bytes; // empty unless Read
    qint64 Size = 0;  // as the file system gave it
};

FileRead ReadFileUpTo(const QString& path, qint64 maxBytes);

// "1 MiB", "64 MiB", "512 KiB" or "300 bytes", for log lines and messages about limits.
QString ByteCountText(qint64 bytes);
