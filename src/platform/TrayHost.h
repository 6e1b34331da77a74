#pragma once

#include <QObject>

class QDBusPendingCallWatcher;

// Notification areas come in two kinds. An XEmbed tray holds the icon as a window of the
// program's own and passes on every click, so a double click can mean "open". A
// StatusNotifierItem host (KDE, XFCE's panel, waybar, GNOME's AppIndicator extension) draws the
// icon itself and sends one Activate per click, never a double click.
//
// Whether a StatusNotifierItem host serves the session bus, asked of the watcher without ever
// waiting on it: the question goes out asynchronously with a short deadline and the last answer
// is kept. Qt asks the same once, when the first tray icon is made, and puts every icon of the
// process on such a host from then on, or in an XEmbed tray for good; asked right after that,
// the answer tells which kind the icons went to. Qt's own question waits on the watcher, so no
// icon may be made while the watcher is known to be silent.
class StatusNotifierProbe : public QObject
{
    Q_OBJECT

public:
    enum class Answer
    {
        Unknown, // not asked yet, or no answer yet
        Absent,  // no watcher, or one without a host
        Present,
        Silent // a watcher owns the name but did not answer in time
    };

    static constexpr int DeadlineMs = 400;

    explicit StatusNotifierProbe(QObject* parent = nullptr);

    // Sends the question unless one is on its way.
    void Ask();
    // Waits for the question on its way, no longer than its deadline; for the start-up, which
    // decides on the tray before the window shows.
    void Settle();
    Answer LastAnswer() const { return m_answer; }

signals:
    // The answer differs from the one before.
    void Changed();

private:
    void Answered(QDBusPendingCallWatcher* call);

    QDBusPendingCallWatcher* m_pending = nullptr;
    Answer m_answer = Answer::Unknown;
};

// Whether an XEmbed tray manager owns the display's system tray selection now.
bool XEmbedTrayPresent();
