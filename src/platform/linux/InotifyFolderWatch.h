#pragma once

#include "platform/FolderWatch.h"
#include "platform/linux/UniqueFd.h"

#include <memory>

class QSocketNotifier;

// The folder watch over inotify, its descriptor on the event loop.
class InotifyFolderWatch final : public FolderWatch
{
public:
    InotifyFolderWatch();
    ~InotifyFolderWatch() override;
    bool Watch(const QString& folder) override;

private:
    void Drain();

    UniqueFd m_inotify;
    int m_watch = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
