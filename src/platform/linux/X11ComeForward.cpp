#include "platform/ComeForwardRequests.h"

#include "platform/linux/X11Windows.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

ComeForwardRequests::ComeForwardRequests(QObject* parent) : QObject(parent)
{
    xcb_connection_t* c = X11QtConnection();
    if (!c)
        return;
    const auto name = static_cast<uint16_t>(std::strlen(X11ComeForwardAtom));
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name, X11ComeForwardAtom), nullptr),
        &std::free);
    if (!reply)
        return;
    m_atom = reply->atom;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

ComeForwardRequests::~ComeForwardRequests()
{
    if (m_atom && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool ComeForwardRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->type != m_atom)
        return false;
    QMetaObject::invokeMethod(this, &ComeForwardRequests::Requested, Qt::QueuedConnection);
    return true;
}
