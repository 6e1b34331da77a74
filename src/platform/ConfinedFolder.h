#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

// A name below a confined folder leads outside it or cannot be used there; what() says which
// name and why.
class EConfinedPath : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A file being written below a confined folder. Writes throw EFileWriteError.
class ConfinedFile
{
public:
    ConfinedFile(int fd, QString name);
    ~ConfinedFile();
    ConfinedFile(ConfinedFile&& other) noexcept;
    ConfinedFile(const ConfinedFile&) = delete;
    ConfinedFile& operator=(const ConfinedFile&) = delete;
    ConfinedFile& operator=(ConfinedFile&&) = delete;

    void Write(const void* data, std::size_t size);
    // Reports what the file system found only at close (a full disk on some of them).
    void Close();

private:
    int m_fd;
    QString m_name;
};

// A folder opened once and held open: every name below it is reached from it one part at a
// time, never through a link, so a folder swapped for a link between a check and a write
// cannot carry a file elsewhere. Names are relative with "/" between folders; an absolute name,
// a ".." part, a link on the way or a file where a folder belongs throws EConfinedPath.
class ConfinedFolder
{
public:
    // The folder at `path`, made with its parents when `create` and missing. Links in the path
    // itself are the user's own and are followed. Throws EConfinedPath.
    static ConfinedFolder Open(const QString& path, bool create);
    ConfinedFolder(ConfinedFolder&&) noexcept;
    ConfinedFolder& operator=(ConfinedFolder&&) noexcept;
    ~ConfinedFolder();

    const QString& Path() const { return m_path; }

    // A new private folder in this one, named `prefix` and a random suffix.
    ConfinedFolder MakeTemporary(const QString& prefix) const;
    // The folder `name` below this one, made when missing.
    ConfinedFolder OpenFolder(const QString& name) const;
    // The folder `name` directly in this one, made when missing. A link there is the user's own
    // choice of where it lives and is followed; below it, links are refused as anywhere else.
    ConfinedFolder OpenOwnFolder(const QString& name) const;
    // A new file `name`, its folders made as needed; a file or link of that name is replaced,
    // never written through.
    ConfinedFile CreateFile(const QString& name) const;
    void MakeFolders(const QString& name) const;
    // Throws when a folder on the way to `name` is a link or not a folder, or when `name` itself
    // is a folder; missing folders are fine.
    void CheckWay(const QString& name) const;
    // Removes everything in the folder and then the folder itself, without following links.
    // Best effort: what cannot be removed stays.
    void RemoveAll() noexcept;
    // Names directly in this folder that begin with `prefix`.
    std::vector<QString> EntriesNamed(const QString& prefix) const;
    // Copies the file `name` to the same name in `to`, its folders made as needed. Throws
    // EConfinedPath or EFileWriteError.
    void CopyFile(const QString& name, const ConfinedFolder& to) const;
    bool OnSameFileSystem(const ConfinedFolder& other) const;
    // Takes the folder for this process until it ends, without waiting: false when another
    // holds it.
    bool TryLock() const;
    // The regular file `name` in this folder, at most `cap` bytes of it; empty when it cannot
    // be read.
    QByteArray ReadFile(const QString& name, qint64 cap) const;

private:
    friend class ConfinedTransfer;
    ConfinedFolder(int fd, QString path);

    int m_fd = -1;
    QString m_path;
};

// Moves files from one confined folder to the same names in another, each replacing what is
// there, and can put everything back: a replaced file is swapped with the new one, so until
// the source folder is removed it still holds the old files. With a journal, each step is
// written down before it is taken, so that a process killed half-way can be undone by the next
// one (UndoJournal); a step is undone only where the file it moved is still in place.
class ConfinedTransfer
{
public:
    ConfinedTransfer(const ConfinedFolder& from, const ConfinedFolder& to,
                     ConfinedFile* journal = nullptr);
    ~ConfinedTransfer();
    ConfinedTransfer(const ConfinedTransfer&) = delete;
    ConfinedTransfer& operator=(const ConfinedTransfer&) = delete;

    // Throws EConfinedPath or EFileWriteError; what was moved before stays moved until Undo().
    void MoveFile(const QString& name);
    void MakeFolders(const QString& name);
    // Puts back every file moved and removes every folder made, newest first.
    void Undo() noexcept;
    // Marks the journal complete: nothing is undone from it after this.
    void Commit();
    // Undoes what a journal of an unfinished transfer between the same folders says was done.
    static void UndoJournal(const ConfinedFolder& from, const ConfinedFolder& to,
                            const QByteArray& journal) noexcept;
    // True when the journal was committed.
    static bool IsCommitted(const QByteArray& journal);

private:
    struct Step;
    void Record(const Step& step);
    static void UndoSteps(const ConfinedFolder& from, const ConfinedFolder& to,
                          const std::vector<Step>& steps) noexcept;

    const ConfinedFolder& m_from;
    const ConfinedFolder& m_to;
    ConfinedFile* m_journal;
    std::vector<Step> m_steps;
};
