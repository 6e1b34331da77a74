#include "platform/TrayHost.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

StatusNotifierProbe::StatusNotifierProbe(QObject* parent) : QObject(parent) {}

void StatusNotifierProbe::Ask()
{
    if (m_pending)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (m_answer != Answer::Absent) {
            m_answer = Answer::Absent;
            emit Changed();
        }
        return;
    }
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    // One property read: the bus itself refuses it at once when no one owns the name.
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    m_pending = new QDBusPendingCallWatcher(bus.asyncCall(get, DeadlineMs), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, &StatusNotifierProbe::Answered);
}

void StatusNotifierProbe::Settle()
{
    if (m_pending) {
        // Bounded by the call's own deadline, after which the bus library ends it.
        m_pending->waitForFinished();
        if (m_pending)
            Answered(m_pending);
    }
}

void StatusNotifierProbe::Answered(QDBusPendingCallWatcher* call)
{
    if (call != m_pending)
        return;
    m_pending = nullptr;
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    Answer answer = Answer::Absent;
    if (!reply.isError())
        answer = reply.value().variant().toBool() ? Answer::Present : Answer::Absent;
    else if (reply.error().type() == QDBusError::NoReply ||
             reply.error().type() == QDBusError::Timeout)
        answer = Answer::Silent;
    if (answer != m_answer) {
        m_answer = answer;
        emit Changed();
    }
}
