#include "platform/InstanceGuard.h"

#include "platform/linux/X11Windows.h"

#include <QDir>
#include <QStandardPaths>
#include <fcntl.h>
#include <unistd.h>

LinuxInstanceGuard::LinuxInstanceGuard(QString runtimeFolder)
    : m_runtimeFolder(std::move(runtimeFolder))
{}

QString LinuxInstanceGuard::DefaultRuntimeFolder()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder;
}

InstanceGuard::MarkerState LinuxInstanceGuard::TakeSessionMarker(const QString& name)
{
    if (m_runtimeFolder.isEmpty() || !QDir().mkpath(m_runtimeFolder))
        return MarkerState::Failed;
    const QByteArray path = QFile::encodeName(m_runtimeFolder + QStringLiteral("/") + name +
                                              QStringLiteral(".instance"));
    // O_EXCL makes creating and testing one step, so two instances started together cannot
    // both believe they were first.
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return MarkerState::Created;
    }
    return errno == EEXIST ? MarkerState::AlreadyThere : MarkerState::Failed;
}

bool LinuxInstanceGuard::TopLevelWindowExists(const QString& title)
{
    return X11TopLevelWindowTitled(title);
}

void LinuxInstanceGuard::BringForward(const QString& title)
{
    X11SendComeForward(title);
}
