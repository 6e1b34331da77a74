#include "addin/DirectoryWatcher.h"

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
    m_watch->Watch(m_directory);
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
