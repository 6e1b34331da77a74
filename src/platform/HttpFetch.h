#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// How a GET is made. The deadline covers the whole request, from the name lookup to the reply's
// last byte, and is kept below the sampling period so that requests never pile up.
struct HttpFetchOptions
{
    int DeadlineMs = 800;
    qint64 MaxBytes = 8 << 20; // a longer reply is cut off as it arrives
    int MaxRedirects = 3;
    QString CaFile; // trusted instead of the system's certificates; empty: the system's
    // A bearer token, or a password for User, read from a file at each request (so a renewed
    // one is taken up), at most MaxSecretBytes, without the white space around it.
    QString TokenFile;
    QString User;
    QString PasswordFile;

    static constexpr qint64 MaxSecretBytes = 16384;
};

struct HttpReply
{
    enum class Failure
    {
        None,
        Address,  // not an http or https address, or a secret file that cannot be read
        Network,  // no name, refused, reset, unreachable
        TimedOut, // the deadline passed
        TooLarge,
        Tls,        // handshake or certificate
        Protocol,   // not HTTP, too many redirects
        HttpStatus, // the server answered with a status of 400 or more
    };
    Failure Error = Failure::None;
    // Short and free of secrets, for the log and the status: "connection refused", "timed out",
    // "reply too large", "certificate not trusted", "HTTP 401".
    QString Reason;
    int Status = 0; // the HTTP status, 0 without an answer
    QByteArray Body;

    bool Ok() const { return Error == Failure::None; }
};

// GETs one address at a time on a worker thread of its own. The reply comes to `done` through
// the event loop of the thread that made the fetcher. Destroying the fetcher returns at once:
// a request still running ends on its own by its deadline, and its reply is dropped.
class HttpFetch
{
public:
    virtual ~HttpFetch() = default;

    // False, and `done` never called, while the previous request is still running: a server
    // that is slow gets one request at a time, never a queue.
    virtual bool Get(const QString& url, std::function<void(const HttpReply&)> done) = 0;
    virtual bool Busy() const = 0;
};

std::unique_ptr<HttpFetch> MakeHttpFetch(const HttpFetchOptions& options);

// The address as it may be shown or logged: a password in it is left out.
QString LoggableUrl(const QString& url);
