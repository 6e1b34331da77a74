#pragma once

#include "log/DebugLog.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class TcpConnection;
class TcpListener;

// One Local Talk message: Header ":" Argument, the argument exactly as it came.
struct TLocalTalkMessage
{
    enum class Kind
    {
        Illegal,    // no colon, or nothing before it
        SelectSkin, // "SELECTSKIN", in capitals
        Unknown
    };
    Kind Type = Kind::Illegal;
    QString Header;
    QString Argument;
};

TLocalTalkMessage ParseLocalTalkMessage(const QString& text);

// What the server asks of the skins when told to switch.
struct TLocalTalkSkins
{
    // The user's skins first, then the installed ones.
    QStringList SkinFolders;
    // The "SkinName" of a definition file; empty when it cannot be read.
    std::function<QString(const QString& path)> ReadSkinName;
    std::function<void()> RefreshSkinList;
    // The captions of the skin menu from the top to its first separator.
    std::function<QStringList()> SkinItems;
    std::function<void(const QString& caption)> SelectSkin;
};

// The skin folder's file for a message argument, or empty when the argument would lead out of
// the folder: an absolute path, a ".." part, or a link that points elsewhere.
QString SkinFileInFolder(const QString& skinFolder, const QString& argument);

// "LTServer": other programs on this computer switch the skin by sending "SELECTSKIN:" and a
// skin definition file's name to port 4830. A client is let in only when it connects from the
// very address it connects to; nothing is ever written back. A client sends one short message
// and goes, so each is held to a few KiB and a few seconds, and only a handful at once: no
// local process can make the monitor hold its data, its descriptors or its attention. When the
// handful is there, the one that has been silent longest makes room for the newcomer, so idle
// clients cannot lock out one that has something to say.
class TLocalTalkServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 4830;
    // A connection that sends more than this in all is closed; nothing beyond it is read.
    static constexpr qint64 MaxMessageBytes = 4096;
    // A flood of clients, or of failed accepts, is logged at most once in this long.
    static constexpr int TroubleLogPauseMs = 60000;

    // Clients beyond this many at once close the idlest.
    int MaxClients = 16;
    // A client still connected after this long is closed.
    int ClientDeadlineMs = 10000;

    TLocalTalkServer(TLocalTalkSkins skins, TaggedLog log, QObject* parent = nullptr);
    ~TLocalTalkServer() override;

    // Opens the port; a port in use or any other error leaves Local Talk off, silently.
    bool Open(quint16 port = DefaultPort);
    bool Active() const;
    quint16 Port() const;

    // Carries out one message as it arrived.
    void HandleMessage(const QString& text);

private:
    void LTServerAccept();
    void LTServerClientRead(TcpConnection* client);
    void LetIn(TcpConnection* client, bool quietly);
    void DropIdlest();
    void Drop(TcpConnection* client);
    // Logs the line unless the same trouble was logged within TroubleLogPauseMs.
    void LogTrouble(QElapsedTimer& lastLogged, const QString& text);

    TLocalTalkSkins m_skins;
    TaggedLog m_log;
    TcpListener* m_server;
    struct Client
    {
        qint64 bytes = 0;
        quint64 lastHeard = 0; // of m_events: when it came or last sent
    };
    QHash<TcpConnection*, Client> m_clients;
    // Counts the arrivals and reads, so that the idlest is told apart even within a millisecond.
    quint64 m_events = 0;
    QElapsedTimer m_crowdLogged;
    QElapsedTimer m_shortageLogged;
};
