#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <map>
#include <utility>

// What was made of files, kept while a file's size and times stay the same, so that going over
// a folder again reads only the files that changed since. A file modified within the last
// seconds before it was read may change again without its times showing it (they move in
// ticks of milliseconds), so it is read again until it has stood still for a while.
template <class Value> class FileStampCache
{
public:
    // The value made of the file by make(path), made again when the file changed.
    template <class Make> const Value& Get(const QFileInfo& file, Make&& make)
    {
        const QString path = file.filePath();
        const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
        const QDateTime changed = file.fileTime(QFileDevice::FileMetadataChangeTime);
        Entry& entry = m_entries[path];
        if (entry.Settled && entry.Size == file.size() && entry.Modified == modified &&
            entry.Changed == changed) {
            entry.Used = true;
            return entry.Made;
        }
        constexpr qint64 SettleMilliseconds = 2000;
        const bool settled = modified.isValid() &&
                             modified.msecsTo(QDateTime::currentDateTimeUtc()) > SettleMilliseconds;
        entry = Entry{file.size(), modified, changed, {}, settled, true};
        ++m_filesRead;
        entry.Made = std::forward<Make>(make)(path);
        return entry.Made;
    }

    // Forgets the files not asked for since the last call.
    void Prune()
    {
        std::erase_if(m_entries, [](const auto& entry) { return !entry.second.Used; });
        for (auto& [path, entry] : m_entries)
            entry.Used = false;
    }

    std::size_t Size() const { return m_entries.size(); }
    // Files read since the cache was made.
    std::size_t FilesRead() const { return m_filesRead; }

private:
    struct Entry
    {
        qint64 Size = 0;
        QDateTime Modified;
        QDateTime Changed;
        Value Made;
        bool Settled = false;
        bool Used = false;
    };
    std::map<QString, Entry> m_entries;
    std::size_t m_filesRead = 0;
};
