#pragma once

#include <QString>

// The two facts the single-instance check rests on: a session-wide marker that the first
// instance since the user logged on creates, and whether a top-level window with the running
// instance's title exists.
class InstanceGuard
{
public:
    enum class MarkerState
    {
        Created,
        AlreadyThere,
        Failed
    };

    virtual ~InstanceGuard() = default;
    virtual MarkerState TakeSessionMarker(const QString& name) = 0;
    // Why the marker could not be made where it belongs, and when it Failed, anywhere; empty
    // when nothing went wrong.
    virtual QString MarkerTrouble() const { return {}; }
    virtual bool TopLevelWindowExists(const QString& title) = 0;
    // Asks the running instance, through its window with this title, to come to the front (out
    // of the tray if it is there). Sent and forgotten: nothing is read back.
    virtual void BringForward(const QString& title) = 0;
};

// The marker is a file in $XDG_RUNTIME_DIR, which lives exactly as long as the login session;
// windows are looked up on the X display. Where the runtime folder is not the user's own (su,
// sudo keep another user's), the marker goes to a private folder of the user's in the
// temporary folder instead.
class LinuxInstanceGuard : public InstanceGuard
{
public:
    explicit LinuxInstanceGuard(QString runtimeFolder = DefaultRuntimeFolder(),
                                QString fallbackFolder = DefaultFallbackFolder());

    MarkerState TakeSessionMarker(const QString& name) override;
    QString MarkerTrouble() const override { return m_trouble; }
    bool TopLevelWindowExists(const QString& title) override;
    void BringForward(const QString& title) override;

    static QString DefaultRuntimeFolder();
    // "pulsmir-<uid>" in $TMPDIR or /tmp.
    static QString DefaultFallbackFolder();

private:
    QString m_runtimeFolder;
    QString m_fallbackFolder;
    QString m_trouble;
};
