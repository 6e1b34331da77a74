#include "platform/FileAppend.h"

#include "platform/linux/UniqueFd.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

AppendOutcome Failure(int error)
{
    AppendOutcome outcome;
    outcome.Error = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case ENOENT:
        outcome.Result = AppendOutcome::Missing;
        break;
    case ENOSPC:
    case EDQUOT:
    case EMFILE:
    case ENFILE:
        outcome.Result = AppendOutcome::NoRoom;
        break;
    default:
        outcome.Result = AppendOutcome::Failed;
    }
    return outcome;
}

} // namespace

AppendOutcome AppendWhole(const QString& path, const QByteArray& bytes)
{
    const UniqueFd fd(::open(QFile::encodeName(path).constData(),
                             O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid())
        return Failure(errno);
    struct stat info = {};
    if (::fstat(fd.Get(), &info) != 0)
        return Failure(errno);
    if (!S_ISREG(info.st_mode))
        return Failure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.Get(), data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // Half a line would run into the next one; the file ends where it did.
            if (left != bytes.size() && ::ftruncate(fd.Get(), info.st_size) != 0)
                return Failure(errno);
            return Failure(error);
        }
        data += n;
        left -= n;
    }
    return {};
}
