#include "platform/linux/InotifyFolderWatch.h"

#include <QFile>
#include <QSocketNotifier>
#include <sys/inotify.h>

InotifyFolderWatch::InotifyFolderWatch() : m_inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (!m_inotify.Valid())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_inotify.Get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { Drain(); });
}

InotifyFolderWatch::~InotifyFolderWatch() = default;

bool InotifyFolderWatch::Watch(const QString& folder)
{
    if (!m_inotify.Valid())
        return false;
    if (m_watch >= 0)
        inotify_rm_watch(m_inotify.Get(), m_watch);
    // What a change notification for file names, folder names, attributes, size and last
    // write reports, in this folder only.
    constexpr std::uint32_t events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_ATTRIB | IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                     IN_MOVE_SELF;
    m_watch = inotify_add_watch(m_inotify.Get(), QFile::encodeName(folder).constData(), events);
    return m_watch >= 0;
}

void InotifyFolderWatch::Drain()
{
    // One report for everything that has piled up.
    alignas(inotify_event) char buffer[8192];
    bool changed = false;
    while (::read(m_inotify.Get(), buffer, sizeof buffer) > 0)
        changed = true;
    if (changed && OnChange)
        OnChange();
}

std::unique_ptr<FolderWatch> MakeFolderWatch()
{
    return std::make_unique<InotifyFolderWatch>();
}
