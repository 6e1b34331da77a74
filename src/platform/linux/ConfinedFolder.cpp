#include "platform/ConfinedFolder.h"

#include "platform/AtomicFile.h"
#include "platform/linux/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Refuse(const QString& name, const char* why)
{
    throw EConfinedPath(QStringLiteral("\"%1\" %2").arg(name, QLatin1String(why)).toStdString());
}

[[noreturn]] void FailWrite(const QString& name, const char* what, int error)
{
    throw EFileWriteError(
        QStringLiteral("%1: %2 (%3)")
            .arg(name, QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)))
            .toStdString());
}

// The parts of a relative name; an empty, absolute or climbing name is refused.
QList<QByteArray> PartsOf(const QString& name)
{
    if (name.startsWith(u'/'))
        Refuse(name, "is an absolute name");
    if (name.contains(QChar(0)))
        Refuse(name, "holds a NUL");
    QList<QByteArray> parts;
    for (const QString& part : name.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            Refuse(name, "leads out of the folder");
        parts << QFile::encodeName(part);
    }
    if (parts.isEmpty())
        Refuse(name, "names no file");
    return parts;
}

UniqueFd Duplicate(int fd)
{
    return UniqueFd(fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

// Opens folder `part` of `dir` without following a link. Missing: made when `made` is given
// (and set), else an invalid descriptor.
UniqueFd OpenPart(int dir, const QByteArray& part, const QString& name, bool* made)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(openat(dir, part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.Valid())
            return fd;
        const int error = errno;
        if (error == ENOENT) {
            if (!made)
                return {};
            if (mkdirat(dir, part.constData(), 0755) == 0)
                *made = true;
            else if (errno != EEXIST)
                FailWrite(name, "cannot make a folder", errno);
            continue;
        }
        struct stat status
        {
        };
        if (fstatat(dir, part.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(status.st_mode))
                Refuse(name, "leads through a link");
            if (!S_ISDIR(status.st_mode))
                Refuse(name, "has a file where a folder belongs");
        }
        FailWrite(name, "cannot open a folder", error);
    }
    Refuse(name, "keeps changing");
}

// The folder that holds the last part of `parts`, walked from `root`. With `made`, missing
// folders are made and each one's name (relative to root) is added to it; without, a missing
// folder gives an invalid descriptor.
UniqueFd OpenParent(int root, const QList<QByteArray>& parts, const QString& name,
                    QStringList* made)
{
    UniqueFd folder = Duplicate(root);
    QByteArray walked;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        walked += (walked.isEmpty() ? QByteArray() : QByteArray("/")) + parts[i];
        bool created = false;
        folder = OpenPart(folder.Get(), parts[i], name, made ? &created : nullptr);
        if (!folder.Valid())
            return folder;
        if (created)
            made->append(QFile::decodeName(walked));
    }
    return folder;
}

bool StatAt(int dir, const QByteArray& name, struct stat& status)
{
    return fstatat(dir, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

void RemoveContents(int dir, int depth)
{
    UniqueFd listing = Duplicate(dir);
    DIR* stream = listing.Valid() ? fdopendir(listing.Get()) : nullptr;
    if (!stream)
        return;
    (void)listing.Release();
    rewinddir(stream);
    QList<QByteArray> names;
    while (const dirent* entry = readdir(stream)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    closedir(stream);
    for (const QByteArray& name : names) {
        struct stat status
        {
        };
        if (StatAt(dir, name, status) && S_ISDIR(status.st_mode) && depth < 256) {
            const UniqueFd inner(
                openat(dir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (inner.Valid())
                RemoveContents(inner.Get(), depth + 1);
            unlinkat(dir, name.constData(), AT_REMOVEDIR);
        } else {
            unlinkat(dir, name.constData(), 0);
        }
    }
}

} // namespace

ConfinedFile::ConfinedFile(int fd, QString name) : m_fd(fd), m_name(std::move(name))
{}

ConfinedFile::~ConfinedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ConfinedFile::ConfinedFile(ConfinedFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_name(std::move(other.m_name))
{}

void ConfinedFile::Write(const void* data, std::size_t size)
{
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, next, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            FailWrite(m_name, "write failed", errno);
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
}

void ConfinedFile::Close()
{
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        FailWrite(m_name, "close failed", errno);
}

ConfinedFolder::ConfinedFolder(int fd, QString path) : m_fd(fd), m_path(std::move(path))
{}

ConfinedFolder::ConfinedFolder(ConfinedFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path))
{}

ConfinedFolder& ConfinedFolder::operator=(ConfinedFolder&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

ConfinedFolder::~ConfinedFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ConfinedFolder ConfinedFolder::Open(const QString& path, bool create)
{
    if (create)
        QDir().mkpath(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw EConfinedPath(QStringLiteral("\"%1\": %2")
                                .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                                .toStdString());
    return ConfinedFolder(fd, path);
}

ConfinedFolder ConfinedFolder::MakeTemporary(const QString& prefix) const
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = prefix + QString::number(QRandomGenerator::global()->generate64(), 36);
        const QByteArray encoded = QFile::encodeName(name);
        if (mkdirat(m_fd, encoded.constData(), 0700) == 0)
            return OpenFolder(name);
        if (errno != EEXIST)
            FailWrite(m_path + u'/' + name, "cannot make a folder", errno);
    }
    FailWrite(m_path, "no free temporary name", EEXIST);
}

ConfinedFolder ConfinedFolder::OpenFolder(const QString& name) const
{
    const QList<QByteArray> parts = PartsOf(name);
    QStringList made;
    const UniqueFd parent = OpenParent(m_fd, parts, name, &made);
    bool created = false;
    UniqueFd folder = OpenPart(parent.Get(), parts.last(), name, &created);
    return ConfinedFolder(folder.Release(), m_path + u'/' + name);
}

ConfinedFile ConfinedFolder::CreateFile(const QString& name) const
{
    const QList<QByteArray> parts = PartsOf(name);
    QStringList made;
    const UniqueFd parent = OpenParent(m_fd, parts, name, &made);
    const QByteArray& leaf = parts.last();
    struct stat status
    {
    };
    if (StatAt(parent.Get(), leaf, status)) {
        if (S_ISDIR(status.st_mode))
            Refuse(name, "is a folder already");
        unlinkat(parent.Get(), leaf.constData(), 0);
    }
    const int fd = openat(parent.Get(), leaf.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        FailWrite(m_path + u'/' + name, "cannot create the file", errno);
    return ConfinedFile(fd, m_path + u'/' + name);
}

ConfinedFolder ConfinedFolder::OpenOwnFolder(const QString& name) const
{
    const QList<QByteArray> parts = PartsOf(name);
    if (parts.size() != 1)
        Refuse(name, "is not a folder of this one");
    const QString path = m_path + u'/' + name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(openat(m_fd, parts.first().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.Valid())
            return ConfinedFolder(fd.Release(), path);
        if (errno != ENOENT)
            FailWrite(path, "cannot open the folder", errno);
        if (mkdirat(m_fd, parts.first().constData(), 0755) != 0 && errno != EEXIST)
            FailWrite(path, "cannot make the folder", errno);
    }
    // A link to a folder that is not there.
    FailWrite(path, "cannot open the folder", ENOENT);
}

void ConfinedFolder::MakeFolders(const QString& name) const
{
    OpenFolder(name);
}

void ConfinedFolder::CheckWay(const QString& name) const
{
    const QList<QByteArray> parts = PartsOf(name);
    const UniqueFd parent = OpenParent(m_fd, parts, name, nullptr);
    struct stat status
    {
    };
    if (parent.Valid() && StatAt(parent.Get(), parts.last(), status) && S_ISDIR(status.st_mode))
        Refuse(name, "is a folder already");
}

void ConfinedFolder::RemoveAll() noexcept
{
    if (m_fd < 0)
        return;
    RemoveContents(m_fd, 0);
    ::rmdir(QFile::encodeName(m_path).constData());
}

std::vector<QString> ConfinedFolder::EntriesNamed(const QString& prefix) const
{
    std::vector<QString> named;
    UniqueFd listing = Duplicate(m_fd);
    DIR* stream = listing.Valid() ? fdopendir(listing.Get()) : nullptr;
    if (!stream)
        return named;
    (void)listing.Release();
    rewinddir(stream);
    const QByteArray wanted = QFile::encodeName(prefix);
    while (const dirent* entry = readdir(stream)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith(wanted))
            named.push_back(QFile::decodeName(name));
    }
    closedir(stream);
    return named;
}

void ConfinedFolder::CopyFile(const QString& name, const ConfinedFolder& to) const
{
    const QList<QByteArray> parts = PartsOf(name);
    const UniqueFd parent = OpenParent(m_fd, parts, name, nullptr);
    const UniqueFd source(parent.Valid() ? openat(parent.Get(), parts.last().constData(),
                                                  O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                                         : -1);
    if (!source.Valid())
        FailWrite(m_path + u'/' + name, "cannot be read", parent.Valid() ? errno : ENOENT);
    ConfinedFile copy = to.CreateFile(name);
    char block[64 * 1024];
    for (;;) {
        const ssize_t read = ::read(source.Get(), block, sizeof block);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            FailWrite(m_path + u'/' + name, "cannot be read", errno);
        if (read == 0)
            break;
        copy.Write(block, static_cast<std::size_t>(read));
    }
    copy.Close();
}

bool ConfinedFolder::OnSameFileSystem(const ConfinedFolder& other) const
{
    struct stat mine
    {
    };
    struct stat theirs
    {
    };
    return fstat(m_fd, &mine) == 0 && fstat(other.m_fd, &theirs) == 0 &&
           mine.st_dev == theirs.st_dev;
}

bool ConfinedFolder::TryLock() const
{
    return flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

QByteArray ConfinedFolder::ReadFile(const QString& name, qint64 cap) const
{
    const UniqueFd fd(openat(m_fd, QFile::encodeName(name).constData(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status
    {
    };
    if (!fd.Valid() || fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    QByteArray content(static_cast<qsizetype>(std::min<qint64>(status.st_size, cap)),
                       Qt::Uninitialized);
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t read = ::read(fd.Get(), content.data() + done, content.size() - done);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        done += read;
    }
    content.truncate(done);
    return content;
}

struct ConfinedTransfer::Step
{
    enum class Kind
    {
        Moved,    // new in the destination
        Swapped,  // the old file waits in the source
        Replaced, // the old file is gone
        Folder
    } What;
    QString Name;
    // The moved file, so that only that file is taken back.
    quint64 Inode = 0;
};

namespace {

// Journal lines: "folder NAME", "moved INODE NAME", "swapped INODE NAME", "replaced NAME", and
// "done" at the end; names percent-encoded.
constexpr const char* KindWords[] = {"moved", "swapped", "replaced", "folder"};
const QByteArray CommitLine = "done\n";

QByteArray EncodedName(const QString& name)
{
    return QFile::encodeName(name).toPercentEncoding();
}

QString DecodedName(const QByteArray& field)
{
    return QFile::decodeName(QByteArray::fromPercentEncoding(field));
}

// The file `leaf` of `dir` is the one a step moved.
bool IsMovedFile(int dir, const QByteArray& leaf, quint64 inode)
{
    struct stat status
    {
    };
    return StatAt(dir, leaf, status) && !S_ISDIR(status.st_mode) && status.st_ino == inode;
}

} // namespace

ConfinedTransfer::ConfinedTransfer(const ConfinedFolder& from, const ConfinedFolder& to,
                                   ConfinedFile* journal)
    : m_from(from), m_to(to), m_journal(journal)
{}

ConfinedTransfer::~ConfinedTransfer() = default;

void ConfinedTransfer::Record(const Step& step)
{
    if (m_journal) {
        QByteArray line = KindWords[static_cast<int>(step.What)];
        if (step.What == Step::Kind::Moved || step.What == Step::Kind::Swapped)
            line += ' ' + QByteArray::number(step.Inode);
        line += ' ' + EncodedName(step.Name) + '\n';
        m_journal->Write(line.constData(), static_cast<std::size_t>(line.size()));
    }
    m_steps.push_back(step);
}

void ConfinedTransfer::MakeFolders(const QString& name)
{
    const QList<QByteArray> parts = PartsOf(name);
    QStringList made;
    const UniqueFd parent = OpenParent(m_to.m_fd, parts, name, &made);
    for (const QString& folder : made)
        Record({Step::Kind::Folder, folder});
    bool created = false;
    OpenPart(parent.Get(), parts.last(), name, &created);
    if (created)
        Record({Step::Kind::Folder, name});
}

void ConfinedTransfer::MoveFile(const QString& name)
{
    const QList<QByteArray> parts = PartsOf(name);
    const UniqueFd source = OpenParent(m_from.m_fd, parts, name, nullptr);
    struct stat moving
    {
    };
    if (!source.Valid() || !StatAt(source.Get(), parts.last(), moving))
        FailWrite(m_from.Path() + u'/' + name, "is missing", ENOENT);
    QStringList made;
    const UniqueFd target = OpenParent(m_to.m_fd, parts, name, &made);
    for (const QString& folder : made)
        Record({Step::Kind::Folder, folder});
    const char* leaf = parts.last().constData();
    // Each step is written down before it is taken; undone, it looks for the moved file first.
    Record({Step::Kind::Moved, name, moving.st_ino});
    if (renameat2(source.Get(), leaf, target.Get(), leaf, RENAME_NOREPLACE) == 0)
        return;
    int error = errno;
    struct stat status
    {
    };
    if (error == EEXIST || error == EINVAL || error == ENOSYS) {
        const bool exists = StatAt(target.Get(), parts.last(), status);
        if (exists && S_ISDIR(status.st_mode))
            Refuse(name, "is a folder already");
        if (exists) {
            Record({Step::Kind::Swapped, name, moving.st_ino});
            if (renameat2(source.Get(), leaf, target.Get(), leaf, RENAME_EXCHANGE) == 0)
                return;
        }
        // A file system without swapping: the old file cannot be kept for an undo.
        if (renameat(source.Get(), leaf, target.Get(), leaf) == 0) {
            if (exists)
                Record({Step::Kind::Replaced, name});
            return;
        }
        error = errno;
    }
    FailWrite(m_to.Path() + u'/' + name, "cannot move the file into place", error);
}

void ConfinedTransfer::Commit()
{
    if (m_journal)
        m_journal->Write(CommitLine.constData(), static_cast<std::size_t>(CommitLine.size()));
}

void ConfinedTransfer::Undo() noexcept
{
    UndoSteps(m_from, m_to, m_steps);
    m_steps.clear();
}

void ConfinedTransfer::UndoSteps(const ConfinedFolder& from, const ConfinedFolder& to,
                                 const std::vector<Step>& steps) noexcept
{
    // A replaced file's old self is gone: the new one stays rather than nothing.
    QSet<QString> replaced;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        try {
            if (replaced.contains(step->Name))
                continue;
            const QList<QByteArray> parts = PartsOf(step->Name);
            const UniqueFd target = OpenParent(to.m_fd, parts, step->Name, nullptr);
            if (!target.Valid())
                continue;
            const char* leaf = parts.last().constData();
            switch (step->What) {
            case Step::Kind::Moved:
                if (IsMovedFile(target.Get(), parts.last(), step->Inode))
                    unlinkat(target.Get(), leaf, 0);
                break;
            case Step::Kind::Swapped:
                if (const UniqueFd source = OpenParent(from.m_fd, parts, step->Name, nullptr);
                    source.Valid() && IsMovedFile(target.Get(), parts.last(), step->Inode))
                    renameat2(source.Get(), leaf, target.Get(), leaf, RENAME_EXCHANGE);
                break;
            case Step::Kind::Replaced:
                replaced.insert(step->Name);
                break;
            case Step::Kind::Folder:
                unlinkat(target.Get(), leaf, AT_REMOVEDIR);
                break;
            }
        } catch (const std::exception&) {
            // Something changed under the undo; what can be put back has been.
        }
    }
}

bool ConfinedTransfer::IsCommitted(const QByteArray& journal)
{
    return journal.endsWith(CommitLine);
}

void ConfinedTransfer::UndoJournal(const ConfinedFolder& from, const ConfinedFolder& to,
                                   const QByteArray& journal) noexcept
{
    if (IsCommitted(journal))
        return;
    std::vector<Step> steps;
    for (const QByteArray& line : journal.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const auto kind = std::find(std::begin(KindWords), std::end(KindWords), fields[0]);
        if (kind == std::end(KindWords))
            continue; // a line of the caller's, or one cut short
        Step step{static_cast<Step::Kind>(kind - std::begin(KindWords)), {}};
        const bool withInode = step.What == Step::Kind::Moved || step.What == Step::Kind::Swapped;
        if (fields.size() != (withInode ? 3 : 2))
            continue;
        step.Inode = withInode ? fields[1].toULongLong() : 0;
        step.Name = DecodedName(fields.last());
        steps.push_back(step);
    }
    UndoSteps(from, to, steps);
}
