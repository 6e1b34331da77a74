#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>

// The requests of a second start for the running instance to come to the front (see
// InstanceGuard::BringForward), caught on the display connection of the application: a fixed
// message of the window system, so nothing of any length is read.
class ComeForwardRequests : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit ComeForwardRequests(QObject* parent = nullptr);
    ~ComeForwardRequests() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // Queued: the request is carried out outside the window system's event dispatch.
    void Requested();

private:
    std::uint32_t m_atom = 0;
};
