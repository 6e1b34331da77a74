#pragma once

#include <QByteArray>
#include <QString>

// How an append went.
struct AppendOutcome
{
    enum Status
    {
        Done,
        Missing, // the file does not exist; it is never created here
        NoRoom,  // the disk, the quota or the descriptors ran out; it may work again later
        Failed,
    };
    Status Result = Done;
    QString Error; // the system's words, when it did not go
};

// Appends bytes to an existing file in one piece: what the disk cannot take whole is taken
// back, so a full disk never leaves half a line behind.
AppendOutcome AppendWhole(const QString& path, const QByteArray& bytes);
