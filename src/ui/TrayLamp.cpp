#include "ui/TrayLamp.h"

#include "ui/TrayIcon.h"

#include <QTimer>

namespace {

const QString TrayIconError = QStringLiteral("(!) The ERROR occurred in drawing tray-icon!");

} // namespace

TTrayLamp::TTrayLamp(LogWriter writeLog, QObject* parent)
    : QObject(parent), m_writeLog(std::move(writeLog))
{
}

TTrayLamp::~TTrayLamp() = default;

bool TTrayLamp::Create(std::function<QMenu*()> menu, const QString& tip)
{
    try {
        m_icon = new TTrayIcon(this);
    } catch (const ENotifyIconError& e) {
        m_writeLog(QStringLiteral("[TRAP] Tray icon : ") + QString::fromUtf8(e.what()));
        return false;
    }
    m_icon->SetTipHelp(tip);
    m_icon->SetRBPopupMenuMaker(std::move(menu));
    connect(m_icon, &TTrayIcon::OnActivate, this, &TTrayLamp::Activated);
    connect(m_icon, &TTrayIcon::HostChanged, this, &TTrayLamp::HostChanged);
    // Asked only while there is no notification area: a panel that starts later is found
    // within this time (the session bus answers later, through HostChanged).
    m_hostWatch = new QTimer(this);
    m_hostWatch->setInterval(2000);
    connect(m_hostWatch, &QTimer::timeout, this, &TTrayLamp::HostChanged);
    return true;
}

void TTrayLamp::SetTip(const QString& tip)
{
    if (m_icon)
        m_icon->SetTipHelp(tip);
}

void TTrayLamp::LoadPictures(bool& trayIconDefault, const std::array<QString, 4>& files,
                             const QString& iconFolder)
{
    try {
        m_pictures = LoadTrayIcons(trayIconDefault, files, iconFolder, m_writeLog);
    } catch (const std::exception&) {
        m_writeLog(TrayIconError);
    }
    m_shown = -1;
}

void TTrayLamp::Update(bool coreStarted, bool reading, bool writing)
{
    if (!m_icon)
        return;
    try {
        std::optional<int> index = TrayUpdateIcon(coreStarted, reading, writing);
        if (!index && m_shown < 0)
            index = 0;
        if (index && *index != m_shown) {
            m_icon->SetIcon(m_pictures.at(static_cast<size_t>(*index)));
            m_shown = *index;
        }
    } catch (const std::exception&) {
        m_writeLog(TrayIconError);
    }
}

bool TTrayLamp::Show(bool visible)
{
    if (!m_icon)
        return !visible;
    try {
        m_icon->SetVisible(visible);
    } catch (const ENotifyIconError&) {
        return false;
    }
    return m_icon->Visible() == visible;
}

bool TTrayLamp::CheckHost()
{
    const bool available = m_icon && m_icon->HostAvailable();
    if (available != m_hostSeen) {
        m_writeLog(available ? QStringLiteral("Notification area found")
                             : QStringLiteral("(!) No notification area: Move to tray disabled"));
        m_hostSeen = available;
    }
    if (available)
        m_hostWatch->stop();
    else if (m_icon && !m_hostWatch->isActive())
        m_hostWatch->start();
    return available;
}
