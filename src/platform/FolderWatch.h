#pragma once

#include <QString>
#include <functional>
#include <memory>

// Change notifications for one folder, not its sub-folders: names, attributes, sizes and writes
// of what it holds. Reports from the event loop of the thread that made it.
class FolderWatch
{
public:
    virtual ~FolderWatch() = default;
    // False when the folder cannot be watched (it does not exist, say).
    virtual bool Watch(const QString& folder) = 0;
    std::function<void()> OnChange;
};

std::unique_ptr<FolderWatch> MakeFolderWatch();
