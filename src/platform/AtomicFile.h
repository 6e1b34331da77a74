#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

// A file write failed; what() names the file and the reason.
class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Who may read a file written anew: as the old file allowed (the umask's default for a new
// one), or its owner only (a file that names where secrets are kept).
enum class FileAccess
{
    AsBefore,
    OwnerOnly,
};

// Writes a whole file through a temporary file in the same folder that replaces the old file
// only on Commit(), so a crash or a full disk never leaves a torn or empty file behind. Every
// write, the flush to the disk and the close are checked; any failure throws, removes the
// temporary file and leaves the old file exactly as it was. Destroying the writer without
// Commit() does the same. A symbolic link is written through to the file it names.
//
// The temporary file is ".<name>.pulsmir-save-XXXXXX", held under a lock while it is written;
// SweepUnfinishedWrites() removes those a killed process left behind.
class AtomicFileWriter
{
public:
    // throws EFileWriteError
    explicit AtomicFileWriter(const QString& path, FileAccess access = FileAccess::AsBefore);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void Write(const QByteArray& data);        // throws EFileWriteError
    void Write(const char* data, qint64 size); // throws EFileWriteError
    void Commit();                             // throws EFileWriteError; once
    qint64 BytesWritten() const { return m_written; }
    const QString& TemporaryPath() const { return m_tempPath; }

private:
    [[noreturn]] void Fail(const QString& what, int error);
    void Discard();

    QString m_path;     // as given, for the messages
    QString m_target;   // the file replaced: the path with its links followed
    QString m_tempPath; // empty once committed or discarded
    int m_fd = -1;
    qint64 m_written = 0;
};

void WriteFileAtomically(const QString& path, const QByteArray& data); // throws EFileWriteError

// True for the name of a temporary file AtomicFileWriter makes.
bool IsUnfinishedWriteName(const QString& fileName);

// Removes from each folder (not below it) the temporary files of writes that never finished: a
// process killed before its Commit(). A write still under way holds its lock and is left alone.
// Returns the paths removed.
QStringList SweepUnfinishedWrites(const QStringList& folders);
