// A StatusNotifierItem tray host on the session bus, as a desktop's panel is one: it owns the
// watcher, so Qt's tray icons register over D-Bus instead of XEmbed, and it clicks the items
// of their menus as a panel does when the user picks one.
//
// Prints "item SERVICE" for each icon that registers. Commands on standard input, one a line:
//   labels         prints "label TEXT" for each menu item of the last icon, then "end"
//   click LABEL    clicks the menu item with that label (mnemonic marks ignored); prints
//                  "clicked LABEL" or "missing LABEL"
//   activate       asks the last icon to activate (a left click); prints "activated"
//   icon           prints "pixmap W H HEX" for each picture the last icon offers (ARGB, big
//                  endian, as the protocol sends it), then "end"
//
// With --silent it owns the watcher's name and then never answers, as a hung panel does.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString MenuInterface = QStringLiteral("com.canonical.dbusmenu");

void Say(const QString& line)
{
    std::printf("%s\n", qUtf8Printable(line));
    std::fflush(stdout);
}

QString Plain(QString label)
{
    return label.remove(QLatin1Char('_')).remove(QLatin1Char('&'));
}

// Walks a GetLayout reply, (ia{sv}av), calling `visit` with each item's id and label.
void WalkLayout(const QDBusArgument& node, const std::function<void(int, const QString&)>& visit)
{
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    visit(id, properties.value(QStringLiteral("label")).toString());
    node.beginArray();
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        WalkLayout(qvariant_cast<QDBusArgument>(child.variant()), visit);
    }
    node.endArray();
    node.endStructure();
}

} // namespace

class Watcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)

public:
    bool IsStatusNotifierHostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    QStringList RegisteredStatusNotifierItems() const { return m_items; }

    void Command(const QString& line)
    {
        if (line == QLatin1String("labels")) {
            Menu([](int, const QString& label) { Say(QStringLiteral("label ") + Plain(label)); });
            Say(QStringLiteral("end"));
        } else if (line.startsWith(QLatin1String("click "))) {
            const QString wanted = line.mid(6);
            int found = -1;
            Menu([&](int id, const QString& label) {
                if (found < 0 && id != 0 && Plain(label) == wanted)
                    found = id;
            });
            if (found < 0) {
                Say(QStringLiteral("missing ") + wanted);
                return;
            }
            QDBusMessage event =
                QDBusMessage::createMethodCall(m_service, MenuPath(), MenuInterface, "Event");
            event << found << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
                  << 0u;
            // No reply is awaited: the click may open a modal dialog in the icon's program.
            QDBusConnection::sessionBus().send(event);
            Say(QStringLiteral("clicked ") + wanted);
        } else if (line == QLatin1String("icon")) {
            QDBusMessage get = QDBusMessage::createMethodCall(
                m_service, m_path, QStringLiteral("org.freedesktop.DBus.Properties"), "Get");
            get << ItemInterface << QStringLiteral("IconPixmap");
            const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                const QDBusArgument pixmaps = qvariant_cast<QDBusArgument>(
                    qvariant_cast<QDBusVariant>(reply.arguments().first()).variant());
                pixmaps.beginArray();
                while (!pixmaps.atEnd()) {
                    int width = 0;
                    int height = 0;
                    QByteArray argb;
                    pixmaps.beginStructure();
                    pixmaps >> width >> height >> argb;
                    pixmaps.endStructure();
                    Say(QStringLiteral("pixmap %1 %2 %3")
                            .arg(width)
                            .arg(height)
                            .arg(QString::fromLatin1(argb.toHex())));
                }
                pixmaps.endArray();
            }
            Say(QStringLiteral("end"));
        } else if (line == QLatin1String("activate")) {
            QDBusMessage activate =
                QDBusMessage::createMethodCall(m_service, m_path, ItemInterface, "Activate");
            activate << 0 << 0;
            QDBusConnection::sessionBus().send(activate);
            Say(QStringLiteral("activated"));
        }
    }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        // Either a bus name (the object then at /StatusNotifierItem) or an object path of the
        // caller's.
        if (serviceOrPath.startsWith(QLatin1Char('/'))) {
            m_service = message.service();
            m_path = serviceOrPath;
        } else {
            m_service = serviceOrPath;
            m_path = QStringLiteral("/StatusNotifierItem");
        }
        m_items << m_service;
        emit StatusNotifierItemRegistered(m_service);
        Say(QStringLiteral("item ") + m_service);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QString MenuPath() const
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            m_service, m_path, QStringLiteral("org.freedesktop.DBus.Properties"), "Get");
        get << ItemInterface << QStringLiteral("Menu");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        const QVariant value = qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
        return qvariant_cast<QDBusObjectPath>(value).path();
    }

    void Menu(const std::function<void(int, const QString&)>& visit) const
    {
        const QString path = MenuPath();
        if (path.isEmpty())
            return;
        QDBusMessage layout =
            QDBusMessage::createMethodCall(m_service, path, MenuInterface, "GetLayout");
        layout << 0 << -1 << QStringList();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(layout);
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() >= 2)
            WalkLayout(qvariant_cast<QDBusArgument>(reply.arguments().at(1)), visit);
    }

    QStringList m_items;
    QString m_service;
    QString m_path;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.isConnected() ||
        !bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllContents) ||
        !bus.registerService(WatcherService)) {
        std::fprintf(stderr, "sni_host: cannot serve %s on the session bus\n",
                     qUtf8Printable(WatcherService));
        return 1;
    }
    Say(QStringLiteral("ready"));
    if (app.arguments().contains(QStringLiteral("--silent"))) {
        // The calls to the watcher wait for this thread, which never takes them.
        for (;;)
            ::pause();
    }

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            watcher.Command(QString::fromUtf8(pending.left(end)).trimmed());
            pending.remove(0, end + 1);
        }
    });
    return app.exec();
}

#include "sni_host.moc"
