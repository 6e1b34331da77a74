#include "platform/InstanceGuard.h"

#include "platform/linux/X11Windows.h"

#include <QDir>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the folder cannot hold the marker; empty when it can. A marker in a folder another user
// controls could be made or removed by them, which would decide for this user who runs.
QString FolderFault(const QString& folder, bool privateOnly)
{
    struct stat info = {};
    const QByteArray path = QFile::encodeName(folder);
    if ((privateOnly ? ::lstat(path.constData(), &info) : ::stat(path.constData(), &info)) != 0)
        return QStringLiteral("%1: %2").arg(folder, ErrorText(errno));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1: not a folder").arg(folder);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("%1: belongs to another user").arg(folder);
    if (privateOnly && (info.st_mode & 077) != 0)
        return QStringLiteral("%1: open to other users").arg(folder);
    return {};
}

} // namespace

LinuxInstanceGuard::LinuxInstanceGuard(QString runtimeFolder, QString fallbackFolder)
    : m_runtimeFolder(std::move(runtimeFolder)), m_fallbackFolder(std::move(fallbackFolder))
{}

QString LinuxInstanceGuard::DefaultRuntimeFolder()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder;
}

QString LinuxInstanceGuard::DefaultFallbackFolder()
{
    return QDir::tempPath() + QStringLiteral("/pulsmir-%1").arg(::geteuid());
}

InstanceGuard::MarkerState LinuxInstanceGuard::TakeSessionMarker(const QString& name)
{
    m_trouble.clear();
    const auto note = [this](const QString& fault) {
        m_trouble += (m_trouble.isEmpty() ? QString() : QStringLiteral("; ")) + fault;
    };
    if (m_runtimeFolder.isEmpty())
        note(QStringLiteral("no runtime folder (XDG_RUNTIME_DIR)"));
    const std::pair<QString, bool> folders[] = {{m_runtimeFolder, false}, {m_fallbackFolder, true}};
    for (const auto& [folder, privateOnly] : folders) {
        if (folder.isEmpty())
            continue;
        if (privateOnly)
            ::mkdir(QFile::encodeName(folder).constData(), 0700);
        else
            QDir().mkpath(folder);
        if (const QString fault = FolderFault(folder, privateOnly); !fault.isEmpty()) {
            note(fault);
            continue;
        }
        const QString path = folder + QStringLiteral("/") + name + QStringLiteral(".instance");
        // O_EXCL makes creating and testing one step, so two instances started together cannot
        // both believe they were first.
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return MarkerState::Created;
        }
        if (errno == EEXIST)
            return MarkerState::AlreadyThere;
        note(QStringLiteral("%1: %2").arg(path, ErrorText(errno)));
    }
    return MarkerState::Failed;
}

bool LinuxInstanceGuard::TopLevelWindowExists(const QString& title)
{
    return X11TopLevelWindowTitled(title);
}

void LinuxInstanceGuard::BringForward(const QString& title)
{
    X11SendComeForward(title);
}
