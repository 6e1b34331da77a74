#include "platform/AtomicFile.h"

#include "platform/linux/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray TempMarker = ".pulsmir-save-";
constexpr int SuffixLength = 6;
// Long names are cut in the temporary name so it stays within NAME_MAX.
constexpr qsizetype MaxNameBytesKept = 120;

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file a path names once its symbolic links are followed; a dangling link gives the
// file it would create.
QString FollowLinks(const QString& path)
{
    QFileInfo info(path);
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops) {
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            break;
        info.setFile(target);
    }
    return info.absoluteFilePath();
}

QByteArray RandomSuffix()
{
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix(SuffixLength, '\0');
    for (char& c : suffix)
        c = Alphabet[QRandomGenerator::global()->bounded(int(sizeof Alphabet - 1))];
    return suffix;
}

bool IsUnfinishedWriteBytes(const QByteArray& name)
{
    const qsizetype suffixAt = name.size() - SuffixLength;
    if (!name.startsWith('.') || suffixAt < 1 + TempMarker.size() ||
        name.mid(suffixAt - TempMarker.size(), TempMarker.size()) != TempMarker)
        return false;
    for (qsizetype i = suffixAt; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const QString& path, FileAccess access)
    : m_path(path), m_target(FollowLinks(path))
{
    // Replacing the file would get round a user's write protection; honour it instead.
    const QFileInfo existing(m_target);
    if (existing.exists() && !existing.isWritable())
        throw EFileWriteError(QStringLiteral("%1: the file is read-only").arg(path).toStdString());

    const QByteArray target = QFile::encodeName(m_target);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const QByteArray name = target.mid(slash + 1).left(MaxNameBytesKept);

    // The new file keeps the old one's permissions, as an in-place write would.
    struct stat old = {};
    const bool hadFile = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);

    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && m_fd < 0 && error == EEXIST; ++attempt) {
        const QByteArray temp = folder + '.' + name + TempMarker + RandomSuffix();
        m_fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_tempPath = QFile::decodeName(temp);
        else
            error = errno;
    }
    if (m_fd < 0)
        Fail(QStringLiteral("cannot create a temporary file"), error);
    // Held until the writer is done, so a sweep at another start leaves this file alone.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (access == FileAccess::OwnerOnly) {
        if (::fchmod(m_fd, S_IRUSR | S_IWUSR) != 0)
            Fail(QStringLiteral("cannot make the file private"), errno);
    } else if (hadFile && ::fchmod(m_fd, old.st_mode & 07777) != 0) {
        Fail(QStringLiteral("cannot keep the file's permissions"), errno);
    }
}

AtomicFileWriter::~AtomicFileWriter()
{
    Discard();
}

void AtomicFileWriter::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.isEmpty())
        ::unlink(QFile::encodeName(m_tempPath).constData());
    m_tempPath.clear();
}

void AtomicFileWriter::Write(const QByteArray& data)
{
    Write(data.constData(), data.size());
}

void AtomicFileWriter::Write(const char* data, qint64 size)
{
    if (m_fd < 0)
        Fail(QStringLiteral("the file is already closed"), EBADF);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail(QStringLiteral("write failed"), n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
        m_written += n;
    }
}

void AtomicFileWriter::Commit()
{
    if (m_fd < 0)
        Fail(QStringLiteral("the file is already closed"), EBADF);
    // A file system that cannot sync (EINVAL) has nothing more to write; any other failure
    // means the bytes may never reach the disk.
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        Fail(QStringLiteral("cannot write the file to the disk"), errno);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && errno != EINTR)
        Fail(QStringLiteral("cannot close the file"), errno);
    const QByteArray temp = QFile::encodeName(m_tempPath);
    const QByteArray target = QFile::encodeName(m_target);
    if (::rename(temp.constData(), target.constData()) != 0)
        Fail(QStringLiteral("cannot replace the file"), errno);
    m_tempPath.clear();
    // The rename itself reaches the disk with the folder; the new file is in place either way.
    const UniqueFd folder(::open(QFile::encodeName(QFileInfo(m_target).absolutePath()).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid())
        ::fsync(folder.Get());
}

void AtomicFileWriter::Fail(const QString& what, int error)
{
    Discard();
    throw EFileWriteError(
        QStringLiteral("%1: %2 (%3)").arg(m_path, what, ErrorText(error)).toStdString());
}

void WriteFileAtomically(const QString& path, const QByteArray& data)
{
    AtomicFileWriter writer(path);
    writer.Write(data);
    writer.Commit();
}

bool IsUnfinishedWriteName(const QString& fileName)
{
    return IsUnfinishedWriteBytes(QFile::encodeName(fileName));
}

QStringList SweepUnfinishedWrites(const QStringList& folders)
{
    QStringList removed;
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : names) {
            if (!IsUnfinishedWriteName(name))
                continue;
            const QString path = QDir(folder).filePath(name);
            const QByteArray encoded = QFile::encodeName(path);
            struct stat info = {};
            if (::lstat(encoded.constData(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;
            const UniqueFd fd(
                ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
            // A writer still at work holds the lock.
            if (!fd.Valid() || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
                continue;
            if (::unlink(encoded.constData()) == 0)
                removed << path;
        }
    }
    return removed;
}
