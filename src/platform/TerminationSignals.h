#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so that a killed or
// logged-out program shuts down in order and keeps its settings. Only one may exist.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Received(int signalNumber);

private:
    void ReadSignal();

    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
