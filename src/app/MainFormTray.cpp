// The main window's tray mode: the tray icon as a disk lamp, its menu and the icon editor.
#include "app/MainForm.h"
#include "app/MainMenu.h"
#include "core/PerfCore.h"
#include "platform/ComeForwardRequests.h"
#include "ui/IconEditDlg.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

namespace {

const QString TrayIconError = QStringLiteral("(!) The ERROR occurred in drawing tray-icon!");

} // namespace

void TMainPForm::CreateTrayIcon()
{
    m_trayMenu = BuildTrayMenu(this, m_res);
    ConnectTrayMenu();
    connect(new ComeForwardRequests(this), &ComeForwardRequests::Requested, this,
            &TMainPForm::ComeForward);
    try {
        m_trayIcon = std::make_unique<TTrayIcon>();
    } catch (const ENotifyIconError& e) {
        WriteDebugLog(QStringLiteral("[TRAP] Tray icon : ") + QString::fromUtf8(e.what()));
        return;
    }
    m_trayIcon->SetTipHelp(TrayTip());
    m_trayIcon->SetRBPopupMenu(m_trayMenu.Menu);
    connect(m_trayIcon.get(), &TTrayIcon::OnActivate, this, &TMainPForm::InTTClick);
    connect(m_trayIcon.get(), &TTrayIcon::HostChanged, this, &TMainPForm::WatchTrayHost);
    LoadIcons();
    // Asked only while there is no notification area: a panel that starts later is found
    // within this time (the session bus answers later, through HostChanged).
    m_trayWatch = new QTimer(this);
    m_trayWatch->setInterval(2000);
    connect(m_trayWatch, &QTimer::timeout, this, &TMainPForm::WatchTrayHost);
    connect(m_menu->RPopup, &QMenu::aboutToShow, this, &TMainPForm::WatchTrayHost);
}

QString TMainPForm::TrayTip() const
{
    return TextOr(&m_res, "C0210", QStringLiteral("Pulsmir 2.0 in TaskTray")) + m_trayTipText;
}

void TMainPForm::WatchTrayHost()
{
    const bool available = m_trayIcon && m_trayIcon->HostAvailable();
    if (available != m_trayHostSeen) {
        WriteDebugLog(available
                          ? QStringLiteral("Notification area found")
                          : QStringLiteral("(!) No notification area: Move to tray disabled"));
        m_trayHostSeen = available;
    }
    m_menu->SetTrayAvailability(m_res, available, m_trayWanted);
    if (available) {
        m_trayWatch->stop();
        if (m_trayWanted && !m_settings.InTasktray) {
            m_trayWanted = false;
            InTTClick();
        }
    } else if (m_trayIcon && !m_trayWatch->isActive()) {
        m_trayWatch->start();
    }
}

void TMainPForm::ConnectTrayMenu()
{
    connect(m_trayMenu.N4, &QAction::triggered, this, &TMainPForm::InTTClick);
    connect(m_trayMenu.IcnEdit, &QAction::triggered, this, &TMainPForm::IcnEditClick);
    connect(m_trayMenu.H1, &QAction::triggered, this, &TMainPForm::HelpClick);
    connect(m_trayMenu.Exit1, &QAction::triggered, this, &TMainPForm::ExitEClick);
    connect(m_trayMenu.O1, &QAction::triggered, this, &TMainPForm::OptionVClick);
}

void TMainPForm::InTTClick()
{
    const bool toTray = !m_settings.InTasktray;
    if (toTray) {
        TrayUpdate();
        // Without a notification area the window would vanish with no way back: it stays.
        try {
            if (!m_trayIcon)
                throw ENotifyIconError();
            m_trayIcon->SetVisible(true);
            if (!m_trayIcon->Visible())
                throw ENotifyIconError();
        } catch (const ENotifyIconError&) {
            WriteDebugLog(QStringLiteral("(!) No notification area: staying out of the tray"));
            m_menu->InTT->setChecked(false);
            WatchTrayHost();
            return;
        }
    } else if (m_trayIcon) {
        m_trayIcon->SetVisible(false);
    }
    // Hidden and shown by Qt now; a hiding near the mouse from before is over.
    m_proximity.ProximityHidden = false;
    m_settings.InTasktray = toTray;
    m_menu->InTT->setChecked(toTray);
    WriteDebugLog(toTray ? QStringLiteral("Into TaskTray") : QStringLiteral("Out of TaskTray"));
    if (m_runMode == RunMode::Desktop)
        setVisible(!toTray);
    if (!toTray && m_settings.AlwaysTop)
        raise();
    if (toTray)
        SendSstpEvent(QStringLiteral("ChangeModeC"));
}

void TMainPForm::ComeForward()
{
    WriteDebugLog(QStringLiteral("Called to the front by a second start"));
    if (m_settings.InTasktray)
        InTTClick();
    if (m_settings.InTasktray || !isVisible())
        return; // no way out of the tray, or hidden near the mouse
    raise();
    activateWindow();
}

void TMainPForm::TrayUpdate()
{
    if (!m_trayIcon)
        return;
    const bool started = m_core->Started();
    try {
        std::optional<int> index =
            TrayUpdateIcon(started, m_core->DiskReadActive, m_core->DiskWriteActive);
        // Before the core runs (the tray at start-up) the idle lamp stands in.
        if (!index && m_shownTrayIcon < 0)
            index = 0;
        if (index && *index != m_shownTrayIcon) {
            m_trayIcon->SetIcon(m_trayIcons.at(static_cast<size_t>(*index)));
            m_shownTrayIcon = *index;
        }
    } catch (const std::exception&) {
        WriteDebugLog(TrayIconError);
    }
    // A skin load or the options show the window; in the tray it goes again at once.
    if (started && m_settings.InTasktray && isVisible() && m_runMode == RunMode::Desktop)
        hide();
}

void TMainPForm::LoadIcons()
{
    try {
        const QString iconFolder =
            QFileInfo(m_paths.ReadFile(QStringLiteral("icons/tray-idle-16.png"))).absolutePath();
        m_trayIcons = LoadTrayIcons(m_settings.TrayIconDefault, m_settings.Icons, iconFolder,
                                    [this](const QString& line) { WriteDebugLog(line); });
    } catch (const std::exception&) {
        WriteDebugLog(TrayIconError);
    }
    m_shownTrayIcon = -1;
}

void TMainPForm::IcnEditClick()
{
    TIconEditDlg dialog(m_paths.ProgramFolder(), this, &m_res);
    dialog.Load(m_settings.TrayIconDefault, m_settings.Icons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.Save(m_settings.TrayIconDefault, m_settings.Icons);
    LoadIcons();
    if (m_settings.InTasktray)
        TrayUpdate();
}
