#include "addin/DirectoryWatcher.h"

#include <QDir>
#include <QFileInfo>

TDirectoryWatcher::TDirectoryWatcher(QString directory, QObject* parent,
                                     std::function<std::unique_ptr<FolderWatch>()> makeWatch)
    : QObject(parent), m_makeWatch(std::move(makeWatch))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TDirectoryWatcher::Fire);
    SetDirectory(directory);
}

TDirectoryWatcher::~TDirectoryWatcher() = default;

void TDirectoryWatcher::SetDirectory(const QString& directory)
{
    if (m_watch && directory.toUpper() == m_directory.toUpper())
        return;
    m_directory = directory;
    m_watch = m_makeWatch();
    m_watch->OnChange = [this] { Changed(); };
    m_present = m_watch->Watch(m_directory);
    m_parentWatch = m_makeWatch();
    m_parentWatch->OnChange = [this] { ParentChanged(); };
    m_parentWatch->Watch(QFileInfo(QDir::cleanPath(m_directory)).absolutePath());
}

void TDirectoryWatcher::ParentChanged()
{
    // The parent changes often (a log beside the folder, say); only the folder's coming and
    // going counts.
    const bool present = QFileInfo(m_directory).isDir();
    if (present == m_present)
        return;
    m_present = present && m_watch->Watch(m_directory);
    Changed();
}

void TDirectoryWatcher::Changed()
{
    if (!Delay) {
        Fire();
        return;
    }
    m_timer.stop();
    m_timer.start(DelayTime);
}

void TDirectoryWatcher::Fire()
{
    m_timer.stop();
    if (OnChange)
        OnChange(this, m_directory);
}
