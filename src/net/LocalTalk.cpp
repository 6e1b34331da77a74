#include "net/LocalTalk.h"

#include "platform/TcpSocket.h"
#include "platform/TextDecoding.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstring>

namespace {

QString Quoted(const QString& text)
{
    return u'"' + text + u'"';
}

} // namespace

TLocalTalkMessage ParseLocalTalkMessage(const QString& text)
{
    TLocalTalkMessage message;
    const qsizetype colon = text.indexOf(u':');
    if (colon < 1)
        return message;
    message.Header = text.left(colon);
    message.Argument = text.mid(colon + 1);
    message.Type = message.Header == QLatin1String("SELECTSKIN") ? TLocalTalkMessage::Kind::SelectSkin
                                                                 : TLocalTalkMessage::Kind::Unknown;
    return message;
}

QString SkinFileInFolder(const QString& skinFolder, const QString& argument)
{
    QString relative = argument;
    relative.replace(u'\\', u'/');
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative.contains(QChar(0)))
        return {};
    for (const QString& part : relative.split(u'/'))
        if (part == QLatin1String(".."))
            return {};
    const QString path = QDir(skinFolder).filePath(relative);
    const QFileInfo file(path);
    if (file.exists() || file.isSymLink()) {
        // Whatever links lie on the way, the file itself must be in the folder.
        const QString folder = QFileInfo(skinFolder).canonicalFilePath();
        const QString target = file.canonicalFilePath();
        if (folder.isEmpty() || target.isEmpty() || !target.startsWith(folder + u'/'))
            return {};
    }
    return path;
}

TLocalTalkServer::TLocalTalkServer(TLocalTalkSkins skins, TaggedLog log, QObject* parent)
    : QObject(parent), m_skins(std::move(skins)), m_log(std::move(log)),
      m_server(new TcpListener(this))
{
    connect(m_server, &TcpListener::NewConnection, this, &TLocalTalkServer::LTServerAccept);
    connect(m_server, &TcpListener::AcceptFailed, this, [this](int error) {
        // Out of descriptors: the clients held now, and those taken in this turn, have what the
        // rest of the program needs (a log line, a skin file, the settings); a real client has
        // long sent its message and gone.
        const QList<TcpConnection*> held = m_clients.keys();
        for (TcpConnection* client : held)
            Drop(client);
        while (TcpConnection* waiting = m_server->NextPendingConnection())
            Drop(waiting);
        LogTrouble(m_shortageLogged,
                   QStringLiteral("Pulsmir Local Talk : Accept Failed (%1); clients closed and "
                                  "turned away")
                       .arg(QString::fromLocal8Bit(std::strerror(error))));
    });
}

TLocalTalkServer::~TLocalTalkServer() = default;

bool TLocalTalkServer::Open(quint16 port)
{
    // Without the port the program runs on without Local Talk; the log says why.
    if (!m_server->Listen(port)) {
        m_log(QStringLiteral("Pulsmir Local Talk : Port %1 Unavailable (%2); Local Talk Off")
                  .arg(port)
                  .arg(QString::fromLocal8Bit(std::strerror(m_server->ListenError()))));
        return false;
    }
    m_log(QStringLiteral("Pulsmir Local Talk : Listening Started"));
    m_log(QStringLiteral("  Open Port     : %1").arg(m_server->Port()));
    return true;
}

bool TLocalTalkServer::Active() const
{
    return m_server->Listening();
}

quint16 TLocalTalkServer::Port() const
{
    return m_server->Port();
}

void TLocalTalkServer::LTServerAccept()
{
    while (TcpConnection* client = m_server->NextPendingConnection()) {
        // In a crowd, one line a minute stands for the newcomers' own lines.
        const bool crowded = m_clients.size() >= MaxClients;
        const QString local = DottedAddress(client->LocalAddress());
        const QString remote = DottedAddress(client->PeerAddress());
        if (!crowded) {
            m_log(QStringLiteral("Pulsmir Local Talk : Accepted"));
            m_log(QStringLiteral("  Local Address  : ") + local);
            m_log(QStringLiteral("  Local Port     : %1").arg(client->LocalPort()));
            m_log(QStringLiteral("  Remote Address : ") + remote);
            m_log(QStringLiteral("  Remote Port    : %1").arg(client->PeerPort()));
        }
        if (remote != local) {
            if (!crowded) {
                m_log(QStringLiteral("* Remote Address is not LOCALHOST! *"));
                m_log(QStringLiteral("* Access is DENIED.                *"));
            }
            client->Close();
            client->deleteLater();
            continue;
        }
        if (crowded) {
            LogTrouble(m_crowdLogged,
                       QStringLiteral("Pulsmir Local Talk : %1 clients at once; the idlest "
                                      "makes room for each newcomer")
                           .arg(MaxClients));
            DropIdlest();
        } else {
            m_log(QStringLiteral("Pulsmir Local Talk : Connected"));
        }
        LetIn(client, crowded);
    }
}

void TLocalTalkServer::LetIn(TcpConnection* client, bool quietly)
{
    m_clients.insert(client, {0, ++m_events});
    // One byte past the limit tells a client that went over it from one that reached it.
    client->SetReadLimit(MaxMessageBytes + 1);
    connect(client, &TcpConnection::ReadyRead, this,
            [this, client] { LTServerClientRead(client); });
    connect(client, &TcpConnection::Failed, this, [this, client] { Drop(client); });
    connect(client, &TcpConnection::Disconnected, this, [this, client, quietly] {
        if (!quietly)
            m_log(QStringLiteral("Pulsmir Local Talk : Disconnected"));
        Drop(client);
    });
    QTimer::singleShot(ClientDeadlineMs, client, [this, client, quietly] {
        if (!quietly)
            m_log(QStringLiteral(
                      "Pulsmir Local Talk : still connected after %1 ms; connection closed")
                      .arg(ClientDeadlineMs));
        Drop(client);
    });
}

void TLocalTalkServer::DropIdlest()
{
    const auto idlest = std::min_element(
        m_clients.cbegin(), m_clients.cend(),
        [](const Client& a, const Client& b) { return a.lastHeard < b.lastHeard; });
    if (idlest != m_clients.cend())
        Drop(idlest.key());
}

void TLocalTalkServer::Drop(TcpConnection* client)
{
    m_clients.remove(client);
    client->Close();
    client->deleteLater();
}

void TLocalTalkServer::LogTrouble(QElapsedTimer& lastLogged, const QString& text)
{
    if (lastLogged.isValid() && lastLogged.elapsed() < TroubleLogPauseMs)
        return;
    lastLogged.start();
    m_log(text);
}

void TLocalTalkServer::LTServerClientRead(TcpConnection* client)
{
    const auto known = m_clients.find(client);
    if (known == m_clients.end())
        return;
    const QByteArray data = client->ReadAll();
    known->bytes += data.size();
    known->lastHeard = ++m_events;
    if (known->bytes > MaxMessageBytes) {
        m_log(QStringLiteral("Pulsmir Local Talk : more than %1 bytes; connection closed")
                  .arg(MaxMessageBytes));
        Drop(client);
        return;
    }
    // A skin change waits for SSTP exchanges in an event loop of its own, where this client
    // may go and be deleted; so the message is handled once this socket's signal is over.
    QMetaObject::invokeMethod(
        this, [this, text = DecodeText(data)] { HandleMessage(text); }, Qt::QueuedConnection);
}

void TLocalTalkServer::HandleMessage(const QString& text)
{
    m_log(QStringLiteral("Pulsmir Local Talk : Data Receive"));
    m_log(QStringLiteral("  Receive Data : ") + text);
    const TLocalTalkMessage message = ParseLocalTalkMessage(text);
    switch (message.Type) {
    case TLocalTalkMessage::Kind::Illegal:
        m_log(QStringLiteral("  Illegal Message : ") + Quoted(text));
        return;
    case TLocalTalkMessage::Kind::Unknown:
        m_log(QStringLiteral("  Unknown Header : ") + Quoted(message.Header));
        return;
    case TLocalTalkMessage::Kind::SelectSkin:
        break;
    }
    m_log(QStringLiteral("  Recognized Header : ") + message.Header);
    QString path;
    for (const QString& folder : m_skins.SkinFolders) {
        path = SkinFileInFolder(folder, message.Argument);
        if (path.isEmpty() || QFileInfo::exists(path))
            break;
    }
    const QString name = path.isEmpty() ? QString() : m_skins.ReadSkinName(path);
    if (name.isEmpty()) {
        m_log(QStringLiteral("  Unknown Skin Name : ") + Quoted(message.Argument));
        return;
    }
    m_log(QStringLiteral("  Skin Change to ") + Quoted(name));
    m_skins.RefreshSkinList();
    for (const QString& caption : m_skins.SkinItems()) {
        if (caption != name)
            continue;
        m_log(QStringLiteral("##Remote Control Start"));
        m_skins.SelectSkin(caption);
        m_log(QStringLiteral("##Remote Control End"));
    }
}
