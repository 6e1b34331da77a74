// The main window's tray mode: the tray icon as a disk lamp, its menu and the icon editor.
#include "app/MainForm.h"
#include "app/MainMenu.h"
#include "core/PerfCore.h"
#include "platform/ComeForwardRequests.h"
#include "ui/IconEditDlg.h"
#include "ui/TrayLamp.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

void TMainPForm::CreateTrayIcon()
{
    m_trayMenu = BuildTrayMenu(this, m_res);
    ConnectTrayMenu();
    connect(new ComeForwardRequests(this), &ComeForwardRequests::Requested, this,
            &TMainPForm::ComeForward);
    m_trayLamp = new TTrayLamp([this](const QString& line) { WriteDebugLog(line); }, this);
    if (!m_trayLamp->Create([this] { return MakeTrayMenuWidget(m_trayMenu, this); }, TrayTip()))
        return;
    connect(m_trayLamp, &TTrayLamp::Activated, this, &TMainPForm::InTTClick);
    connect(m_trayLamp, &TTrayLamp::HostChanged, this, &TMainPForm::WatchTrayHost);
    LoadIcons();
    connect(m_menu, &TMainMenu::Opening, this, &TMainPForm::WatchTrayHost);
}

QString TMainPForm::TrayTip() const
{
    return TextOr(&m_res, "C0210", QStringLiteral("Pulsmir 2.0 in TaskTray")) + m_trayTipText;
}

void TMainPForm::WatchTrayHost()
{
    const bool available = m_trayLamp && m_trayLamp->CheckHost();
    const bool wanted = m_trayLamp && m_trayLamp->Wanted;
    m_menu->SetTrayAvailability(m_res, available, wanted);
    if (available && wanted && !m_settings.InTasktray) {
        m_trayLamp->Wanted = false;
        InTTClick();
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
        if (!m_trayLamp || !m_trayLamp->HasIcon() || !m_trayLamp->Show(true)) {
            WriteDebugLog(QStringLiteral("(!) No notification area: staying out of the tray"));
            m_menu->InTT->setChecked(false);
            WatchTrayHost();
            return;
        }
    } else if (m_trayLamp) {
        m_trayLamp->Show(false);
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
    if (!m_trayLamp || !m_trayLamp->HasIcon())
        return;
    const bool started = m_core->Started();
    m_trayLamp->Update(started, m_core->DiskReadActive, m_core->DiskWriteActive);
    // A skin load or the options show the window; in the tray it goes again at once.
    if (started && m_settings.InTasktray && isVisible() && m_runMode == RunMode::Desktop)
        hide();
}

void TMainPForm::LoadIcons()
{
    const QString iconFolder =
        QFileInfo(m_paths.ReadFile(QStringLiteral("icons/tray-idle-16.png"))).absolutePath();
    m_trayLamp->LoadPictures(m_settings.TrayIconDefault, m_settings.Icons, iconFolder);
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
