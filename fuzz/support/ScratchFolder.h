#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder for one fuzzing run, removed when the run ends normally. A target writes
// its input here when the code under test reads files.
class ScratchFolder
{
public:
    ScratchFolder();

    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.filePath(name); }
    // Writes the bytes to the named file (folders made as needed) and returns its path.
    QString Write(const QString& name, const QByteArray& bytes) const;
    // Copies a file of the source tree into the folder under the given name.
    void Copy(const QString& source, const QString& name) const;
    // Empties a folder inside this one, or makes it.
    QString Fresh(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// The run's scratch folder, made on first use and removed when the run ends normally.
inline ScratchFolder& Scratch()
{
    static ScratchFolder folder;
    return folder;
}
