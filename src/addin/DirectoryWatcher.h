#pragma once

#include "platform/FolderWatch.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

// Tells when something in a folder changed: at once, or with Delay on one event DelayTime
// milliseconds after the last of a burst of changes. The folder may be missing, or removed and
// made again: its parent is watched too, and a folder that appears is watched and reported.
class TDirectoryWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TDirectoryWatcher(QString directory, QObject* parent = nullptr,
                               std::function<std::unique_ptr<FolderWatch>()> makeWatch = &MakeFolderWatch);
    ~TDirectoryWatcher() override;

    const QString& Directory() const { return m_directory; }
    // A folder that differs (letters compared in upper case) is watched instead.
    void SetDirectory(const QString& directory);

    bool Delay = true;
    int DelayTime = 1000;
    std::function<void(QObject* sender, const QString& directory)> OnChange;

private:
    void Changed();
    void ParentChanged();
    void Fire();

    QString m_directory;
    std::function<std::unique_ptr<FolderWatch>()> m_makeWatch;
    std::unique_ptr<FolderWatch> m_watch;
    std::unique_ptr<FolderWatch> m_parentWatch;
    bool m_present = false;
    QTimer m_timer;
};
