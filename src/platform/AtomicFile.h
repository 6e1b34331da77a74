#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <stdexcept>

// A file write failed; what() names the file and the reason.
class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Writes a whole file through a temporary file in the same folder that replaces the old file
// only on Commit(), so a crash or a full disk never leaves a torn or empty file behind.
// Destroying the writer without Commit() leaves the old file untouched.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const QString& path);
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void Write(const QByteArray& data); // throws EFileWriteError
    void Commit();                      // throws EFileWriteError

private:
    [[noreturn]] void Fail(const QString& what) const;

    QString m_path;
    QSaveFile m_file;
};

void WriteFileAtomically(const QString& path, const QByteArray& data); // throws EFileWriteError
