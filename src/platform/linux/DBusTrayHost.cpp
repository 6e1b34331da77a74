#include "platform/TrayHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

bool TrayIconsOnStatusNotifierHost()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // Qt registers each icon it hands to a host under this name, and uses XEmbed otherwise.
    const QString ours =
        QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(QCoreApplication::applicationPid());
    const QStringList names = bus.interface()->registeredServiceNames().value();
    for (const QString& name : names)
        if (name.startsWith(ours))
            return true;
    return false;
}
