#pragma once

#include <QString>
#include <atomic>
#include <cstddef>

// A file opened once and read from start to end: a regular file, or a pipe that gives its
// content only once. Opening never waits for a pipe's writer; reading waits for it.
class StreamFile
{
public:
    StreamFile() = default;
    ~StreamFile();
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // False with Error() set when the file cannot be opened.
    bool Open(const QString& path);
    // The bytes read, 0 at the end, -1 on failure (Error() says why). While it waits for a
    // pipe's writer it looks at `stop` now and then and gives up when it is set.
    long long Read(void* buffer, std::size_t size, const std::atomic<bool>* stop = nullptr);
    // The size of a regular file; -1 for anything else.
    long long Size() const { return m_size; }
    const QString& Error() const { return m_error; }

private:
    int m_fd = -1;
    long long m_size = -1;
    QString m_error;
};
