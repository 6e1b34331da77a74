#include "platform/linux/CurlHttpFetch.h"

#include "Version.h"
#include "platform/DetachedThreads.h"
#include "platform/FileRead.h"
#include "platform/linux/LibCurl.h"

#include <QFile>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>

namespace {

using Failure = HttpReply::Failure;

// The library's functions; asked for only once a handle was made, so they are there.
const LibCurl& Curl()
{
    return *LibCurl::Get();
}

struct Transfer
{
    QByteArray Body;
    qint64 MaxBytes = 0;
    bool TooLarge = false;
    const std::atomic<bool>* Abandoned = nullptr;
};

// Past the cap the transfer ends here, before the bytes are kept: a reply without end costs no
// more than the cap.
size_t Receive(char* data, size_t size, size_t count, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    const qint64 bytes = qint64(size * count);
    if (transfer.Body.size() + bytes > transfer.MaxBytes) {
        transfer.TooLarge = true;
        return 0;
    }
    transfer.Body.append(data, bytes);
    return size * count;
}

// Called at least once a second while a transfer runs: a fetcher that is gone ends it.
int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(user)->Abandoned->load() ? 1 : 0;
}

HttpReply Failed(Failure failure, QString reason)
{
    HttpReply reply;
    reply.Error = failure;
    reply.Reason = std::move(reason);
    return reply;
}

// Only what the secret file holds, without the white space around it; the reason never holds
// any of it.
std::optional<QByteArray> ReadSecret(const QString& path, const char* what, HttpReply& failure)
{
    const FileRead file = ReadFileUpTo(path, HttpFetchOptions::MaxSecretBytes);
    const QString name = QString::fromLatin1(what);
    if (file.Status == FileRead::Result::TooLarge)
        failure = Failed(Failure::Address, name + QStringLiteral(" file too large"));
    else if (file.Status != FileRead::Result::Read)
        failure = Failed(Failure::Address, name + QStringLiteral(" file unreadable"));
    else if (file.Bytes.trimmed().isEmpty())
        failure = Failed(Failure::Address, name + QStringLiteral(" file empty"));
    else
        return file.Bytes.trimmed();
    return std::nullopt;
}

HttpReply Describe(CURLcode code, CURL* easy, const Transfer& transfer)
{
    long os = 0;
    Curl().easy_getinfo(easy, CURLINFO_OS_ERRNO, &os);
    long redirects = 0;
    Curl().easy_getinfo(easy, CURLINFO_REDIRECT_COUNT, &redirects);
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return Failed(Failure::Network, QStringLiteral("host not found"));
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Failed(Failure::Network, QStringLiteral("proxy not found"));
    case CURLE_COULDNT_CONNECT:
        return Failed(Failure::Network, os == ECONNREFUSED ? QStringLiteral("connection refused")
                                        : os == EHOSTUNREACH || os == ENETUNREACH
                                            ? QStringLiteral("host unreachable")
                                            : QStringLiteral("cannot connect"));
    case CURLE_OPERATION_TIMEDOUT:
        return Failed(Failure::TimedOut, QStringLiteral("timed out"));
    case CURLE_FILESIZE_EXCEEDED:
        return Failed(Failure::TooLarge, QStringLiteral("reply too large"));
    case CURLE_PEER_FAILED_VERIFICATION:
        return Failed(Failure::Tls, QStringLiteral("certificate not trusted"));
    case CURLE_SSL_CACERT_BADFILE:
        return Failed(Failure::Tls, QStringLiteral("CA file unusable"));
    case CURLE_SSL_CONNECT_ERROR:
        return Failed(Failure::Tls, QStringLiteral("TLS handshake failed"));
    case CURLE_TOO_MANY_REDIRECTS:
        return Failed(Failure::Protocol, QStringLiteral("too many redirects"));
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Failed(Failure::Protocol, redirects > 0
                                             ? QStringLiteral("redirected to another protocol")
                                             : QStringLiteral("not an HTTP reply"));
    case CURLE_WEIRD_SERVER_REPLY:
        return Failed(Failure::Protocol, QStringLiteral("not an HTTP reply"));
    case CURLE_GOT_NOTHING:
        return Failed(Failure::Network, QStringLiteral("empty reply"));
    case CURLE_PARTIAL_FILE:
        return Failed(Failure::Network, QStringLiteral("reply cut short"));
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return Failed(Failure::Network, os == ECONNRESET ? QStringLiteral("connection reset")
                                                         : QStringLiteral("connection broken"));
    case CURLE_WRITE_ERROR:
        if (transfer.TooLarge)
            return Failed(Failure::TooLarge, QStringLiteral("reply too large"));
        break;
    default:
        break;
    }
    return Failed(Failure::Network, QString::fromLatin1(Curl().easy_strerror(code)));
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

} // namespace

struct CurlHttpFetch::Shared
{
    HttpFetchOptions Options;
    std::atomic<bool> Abandoned = false;
    std::mutex Lock;
    std::condition_variable Wake;
    // Under Lock from here on.
    CurlHttpFetch* Owner = nullptr; // none once the fetcher is gone, and the thread ends
    std::optional<QString> Next;

    HttpReply Perform(CURL* easy, const QString& url) const;
};

HttpReply CurlHttpFetch::Shared::Perform(CURL* easy, const QString& url) const
{
    const QString scheme = QUrl(url).scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return Failed(Failure::Address, QStringLiteral("not an http or https address"));
    HttpReply failure;
    std::optional<QByteArray> token;
    std::optional<QByteArray> password;
    if (!Options.TokenFile.isEmpty() && !(token = ReadSecret(Options.TokenFile, "token", failure)))
        return failure;
    if (!Options.PasswordFile.isEmpty() &&
        !(password = ReadSecret(Options.PasswordFile, "password", failure)))
        return failure;

    Transfer transfer;
    transfer.MaxBytes = Options.MaxBytes;
    transfer.Abandoned = &Abandoned;
    const QByteArray address = url.toUtf8();
    const QByteArray caFile = QFile::encodeName(Options.CaFile);
    const QByteArray user = Options.User.toUtf8();
    const QByteArray agent = QByteArrayLiteral("Pulsmir/") + Version::Text;
    // Kept by reset: the open connection, the name cache and the TLS session.
    Curl().easy_reset(easy);
    Curl().easy_setopt(easy, CURLOPT_URL, address.constData());
    Curl().easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    Curl().easy_setopt(easy, CURLOPT_USERAGENT, agent.constData());
    Curl().easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    Curl().easy_setopt(easy, CURLOPT_MAXREDIRS, long(Options.MaxRedirects));
    Curl().easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(Options.DeadlineMs));
    Curl().easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(Options.DeadlineMs));
    // A server that stops sending is given up on before the deadline where that is longer.
    Curl().easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    Curl().easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long(std::max(1, Options.DeadlineMs / 1000)));
    Curl().easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(Options.MaxBytes));
    Curl().easy_setopt(easy, CURLOPT_ACCEPT_ENCODING,
                     ""); // what libcurl decodes; the cap is on the decoded bytes
    Curl().easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    Curl().easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        Curl().easy_setopt(easy, CURLOPT_CAINFO, caFile.constData());
    if (token) {
        Curl().easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BEARER);
        Curl().easy_setopt(easy, CURLOPT_XOAUTH2_BEARER, token->constData());
    } else if (!user.isEmpty()) {
        Curl().easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        Curl().easy_setopt(easy, CURLOPT_USERNAME, user.constData());
        Curl().easy_setopt(easy, CURLOPT_PASSWORD, password ? password->constData() : "");
    }
    Curl().easy_setopt(easy, CURLOPT_WRITEFUNCTION, Receive);
    Curl().easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    Curl().easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    Curl().easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, Progress);
    Curl().easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = Curl().easy_perform(easy);
    HttpReply reply;
    if (code == CURLE_OK) {
        long status = 0;
        Curl().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        reply.Status = int(status);
        reply.Body = std::move(transfer.Body);
        if (status >= 400) {
            reply.Error = Failure::HttpStatus;
            reply.Reason = QStringLiteral("HTTP %1").arg(status);
        }
    } else {
        reply = Describe(code, easy, transfer);
    }
    // The handle keeps copies of the secrets until it is reset.
    Curl().easy_reset(easy);
    if (token)
        token->fill('\0');
    if (password)
        password->fill('\0');
    return reply;
}

CurlHttpFetch::CurlHttpFetch(HttpFetchOptions options) : m_shared(std::make_shared<Shared>())
{
    m_shared->Options = std::move(options);
    m_shared->Owner = this;
}

CurlHttpFetch::~CurlHttpFetch()
{
    m_shared->Abandoned = true;
    {
        const std::scoped_lock lock(m_shared->Lock);
        m_shared->Owner = nullptr;
    }
    m_shared->Wake.notify_all();
}

bool CurlHttpFetch::Get(const QString& url, std::function<void(const HttpReply&)> done)
{
    if (m_busy)
        return false;
    if (!m_threadStarted) {
        try {
            DetachedThreads::Start([shared = m_shared] { Run(shared); });
            m_threadStarted = true;
        } catch (const std::system_error&) {
            QMetaObject::invokeMethod(
                &m_context,
                [done = std::move(done)] {
                    done(Failed(Failure::Network, QStringLiteral("no thread for the request")));
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    m_busy = true;
    m_done = std::move(done);
    {
        const std::scoped_lock lock(m_shared->Lock);
        m_shared->Next = url;
    }
    m_shared->Wake.notify_all();
    return true;
}

void CurlHttpFetch::Run(std::shared_ptr<Shared> shared)
{
    const LibCurl* curl = LibCurl::Get();
    Shared& s = *shared;
    const Easy easy(curl ? curl->easy_init() : nullptr, curl ? curl->easy_cleanup : nullptr);
    std::unique_lock lock(s.Lock);
    for (;;) {
        s.Wake.wait(lock, [&] { return !s.Owner || s.Next; });
        if (!s.Owner)
            return;
        const QString url = *std::exchange(s.Next, std::nullopt);
        lock.unlock();
        const HttpReply reply =
            easy ? s.Perform(easy.get(), url)
            : curl
                ? Failed(Failure::Network, QStringLiteral("no memory for the request"))
                : Failed(Failure::Network, QStringLiteral("no HTTP library (") +
                                               LibCurl::LoadError() + u')');
        lock.lock();
        if (CurlHttpFetch* owner = s.Owner)
            QMetaObject::invokeMethod(
                &owner->m_context,
                [owner, reply] {
                    owner->m_busy = false;
                    if (auto done = std::exchange(owner->m_done, nullptr))
                        done(reply);
                },
                Qt::QueuedConnection);
    }
}

std::unique_ptr<HttpFetch> MakeHttpFetch(const HttpFetchOptions& options)
{
    return std::make_unique<CurlHttpFetch>(options);
}
