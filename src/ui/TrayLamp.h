#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QMenu;
class QTimer;
class TTrayIcon;

// Tray mode's disk lamp: the tray icon, the four pictures it shows, and the watch for a
// notification area to show it in.
class TTrayLamp : public QObject
{
    Q_OBJECT

public:
    using LogWriter = std::function<void(const QString&)>;

    TTrayLamp(LogWriter writeLog, QObject* parent);
    ~TTrayLamp() override;

    // Makes the icon with its menu and tip; false (logged) when the process may hold no more
    // icons, and the lamp then stays without one.
    bool Create(std::function<QMenu*()> menu, const QString& tip);
    bool HasIcon() const { return m_icon != nullptr; }
    void SetTip(const QString& tip);
    // The pictures of the settings; a missing or unreadable one switches trayIconDefault on.
    void LoadPictures(bool& trayIconDefault, const std::array<QString, 4>& files,
                      const QString& iconFolder);
    // The lamp for the disk's state. While the core is stopped the shown picture stays, and
    // before any was shown the idle one stands in.
    void Update(bool coreStarted, bool reading, bool writing);
    // Into the notification area or out of it; false when going in found none.
    bool Show(bool visible);
    // Whether a notification area exists now. A change is logged; while there is none it is
    // asked again every 2 s, and HostChanged tells of every new answer.
    bool CheckHost();

    // The settings ask for the tray, but there was no notification area to go to yet (a panel
    // still starting at login, or a desktop without one). The setting is kept as it was.
    bool Wanted = false;

signals:
    // The host's gesture for opening the program.
    void Activated();
    void HostChanged();

private:
    LogWriter m_writeLog;
    TTrayIcon* m_icon = nullptr;
    QTimer* m_hostWatch = nullptr;
    std::array<QIcon, 4> m_pictures;
    int m_shown = -1;
    bool m_hostSeen = true;
};
