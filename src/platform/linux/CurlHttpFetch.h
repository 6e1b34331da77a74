#pragma once

#include "platform/HttpFetch.h"

#include <QObject>

// HttpFetch over libcurl. One worker thread per fetcher, made with the first request and kept
// (with its connection, so a server asked every second is not connected to every second) until
// the fetcher goes; it is never joined: one held up by a server ends by the deadline, or at the
// next progress report once the fetcher is gone.
class CurlHttpFetch : public HttpFetch
{
public:
    explicit CurlHttpFetch(HttpFetchOptions options);
    ~CurlHttpFetch() override;

    bool Get(const QString& url, std::function<void(const HttpReply&)> done) override;
    bool Busy() const override { return m_busy; }

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    QObject m_context; // the replies are delivered through it, and dropped with it
    std::function<void(const HttpReply&)> m_done;
    bool m_threadStarted = false;
    bool m_busy = false;
};
