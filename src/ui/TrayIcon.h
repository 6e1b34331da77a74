#pragma once

#include "platform/TrayHost.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

class QTimer;

// The tray icon could not be registered, or no more icons can be made.
class ENotifyIconError : public std::runtime_error
{
public:
    ENotifyIconError();
};

// The IDs of the tray icons of the process: a new icon takes the last ID + 1, and no more than
// 100 are handed out.
class TrayIconIds
{
public:
    static int Acquire();
    static void Release(int id);
    static std::vector<int> InUse();
};

// The tip keeps at most 62 characters, never half of a surrogate pair.
QString TrayTipText(const QString& tip);

// Telling one click from the first click of a double click: a click is reported only when no
// double click followed within the double-click time + 50 ms.
class TSingleClick
{
public:
    // A click; true when the wait for a second one is to start.
    bool Clicked();
    // A double click: the pending click is dropped.
    void DoubleClicked() { m_pending = false; }
    // The wait is over; true when the click stands alone.
    bool WaitOver();

private:
    bool m_pending = false;
};

// The notification-area icon: registration, tip, menus and the mouse events, over
// QSystemTrayIcon.
class TTrayIcon : public QObject
{
    Q_OBJECT

public:
    enum class Button
    {
        Left,
        Right,
        Middle
    };

    // Throws ENotifyIconError when the process holds too many tray icons.
    explicit TTrayIcon(QObject* parent = nullptr);
    ~TTrayIcon() override;

    int Id() const { return m_id; }

    int AnimateRate() const { return m_animateRate; }
    void SetAnimateRate(int ms);
    bool AutoPopup = true;
    bool Enabled = true;
    QMenu* LBPopupMenu() const { return m_lbMenu; }
    void SetLBPopupMenu(QMenu* menu) { m_lbMenu = menu; }
    QMenu* RBPopupMenu() const { return m_rbMenu; }
    void SetRBPopupMenu(QMenu* menu);
    // The right-button menu made only when Qt's icon is: without a notification area, never.
    void SetRBPopupMenuMaker(std::function<QMenu*()> make) { m_rbMenuMaker = std::move(make); }

    const QIcon& Icon() const { return m_icon; }
    void SetIcon(const QIcon& icon);
    const QString& TipHelp() const { return m_tip; }
    void SetTipHelp(const QString& tip);
    bool Visible() const { return m_visible; }
    // Shown only with an icon (its own, else the application's). Throws ENotifyIconError when
    // there is no notification area to show it in; the icon then stays hidden.
    void SetVisible(bool visible);
    // Whether the icon is in the notification area now.
    bool Registered() const { return m_tray && m_tray->isVisible(); }
    // Whether a notification area exists now to show the icon in, by the last answer of the
    // session bus (asked again here, answered later through HostChanged) and the X display.
    bool HostAvailable();
    // One click opens on StatusNotifierItem hosts, which never report a double click; XEmbed
    // trays take a double click. Found out when the icon first goes into a notification area;
    // settable for the tests.
    bool OneClickActivates() const { return m_oneClickActivates; }
    void SetOneClickActivates(bool oneClick) { m_oneClickActivates = oneClick; }

    // What the notification area reported; public for the tests, which have no tray host.
    void Activated(QSystemTrayIcon::ActivationReason reason);
    // The wait of a single click is over.
    void SingleClickWaitOver();

    // The wait for a second click; the desktop's double-click time + 50 ms.
    static int SingleClickWaitMs();

signals:
    void OnClick();
    void OnDblClick();
    // The host's gesture for opening the program: a double click in an XEmbed tray, a click (an
    // Activate) on a StatusNotifierItem host.
    void OnActivate();
    void OnMouseDown(TTrayIcon::Button button, QPoint cursor);
    void OnMouseUp(TTrayIcon::Button button, QPoint cursor);
    // The session bus answered differently about a StatusNotifierItem host.
    void HostChanged();

private:
    void Register();
    QIcon EffectiveIcon() const;
    // Qt's icon, made at the first registration.
    QSystemTrayIcon* QtIcon();

    int m_id = 0;
    int m_animateRate = 500;
    QPointer<QMenu> m_lbMenu;
    QPointer<QMenu> m_rbMenu;
    std::function<QMenu*()> m_rbMenuMaker;
    QIcon m_icon;
    QString m_tip = QStringLiteral("TipHelp");
    bool m_visible = false;
    bool m_oneClickActivates = false;
    QSystemTrayIcon* m_tray = nullptr;
    StatusNotifierProbe m_probe;
    TSingleClick m_singleClick;
    QTimer* m_singleClickTimer = nullptr;
};

// The disk lamp of tray mode: 0 idle, 1 reading, 2 writing, 3 both.
int DiskIconIndex(bool reading, bool writing);
// The icon the tray update shows; none while the core is stopped, when the shown icon stays.
std::optional<int> TrayUpdateIcon(bool coreStarted, bool reading, bool writing);

// The sizes of the shipped tray art: those trays ask for, and twice the common ones for HiDPI.
inline constexpr int TrayIconSizes[] = {16, 22, 24, 32, 44, 48, 64};

// The four built-in icons: the shipped art of iconFolder (tray-idle-16.png and so on) at every
// size it has, so a tray of any size gets crisp pixels; drawn in code where the art is missing.
std::array<QIcon, 4> BuiltInTrayIcons(const QString& iconFolder);

// The tray icons from the settings: the four files, or the built-in ones when asked for or when
// a file is missing or unreadable (then trayIconDefault is switched on).
std::array<QIcon, 4> LoadTrayIcons(bool& trayIconDefault, const std::array<QString, 4>& files,
                                   const QString& iconFolder,
                                   const std::function<void(const QString&)>& writeLog);
