#include "platform/StreamFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

StreamFile::~StreamFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool StreamFile::Open(const QString& path)
{
    // Without O_NONBLOCK a pipe nobody writes to would hold the open for ever.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    struct stat status
    {
    };
    if (fstat(m_fd, &status) == 0 && S_ISREG(status.st_mode))
        m_size = status.st_size;
    return true;
}

long long StreamFile::Read(void* buffer, std::size_t size, const std::atomic<bool>* stop)
{
    for (;;) {
        // A pipe opened before its writer came reads as ended until the writer writes; poll
        // waits for the writer's first bytes or its going.
        pollfd ready{m_fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 100);
        if (stop && stop->load()) {
            m_error = QStringLiteral("stopped");
            return -1;
        }
        if (polled == 0 || (polled < 0 && errno == EINTR))
            continue;
        const ssize_t read = ::read(m_fd, buffer, size);
        if (read >= 0)
            return read;
        if (errno != EINTR) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return -1;
        }
    }
}
