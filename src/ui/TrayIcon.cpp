#include "ui/TrayIcon.h"

#include "platform/TrayHost.h"
#include "ui/TrayArt.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QTimer>
#include <algorithm>

namespace {

std::vector<int>& IdList()
{
    static std::vector<int> ids;
    return ids;
}

constexpr std::size_t MaxIds = 99;

} // namespace

ENotifyIconError::ENotifyIconError()
    : std::runtime_error("タスクトレイにアイコンを登録できません。")
{}

int TrayIconIds::Acquire()
{
    std::vector<int>& ids = IdList();
    if (ids.size() > MaxIds)
        throw ENotifyIconError();
    const int id = ids.empty() ? 1 : ids.back() + 1;
    ids.push_back(id);
    return id;
}

void TrayIconIds::Release(int id)
{
    std::erase(IdList(), id);
}

std::vector<int> TrayIconIds::InUse()
{
    return IdList();
}

QString TrayTipText(const QString& tip)
{
    constexpr qsizetype maxLength = 62;
    if (tip.size() <= maxLength)
        return tip;
    qsizetype length = maxLength;
    if (tip.at(length - 1).isHighSurrogate())
        --length;
    return tip.left(length);
}

bool TSingleClick::Clicked()
{
    if (m_pending) {
        // A further click while one waits: neither is a single click.
        m_pending = false;
        return false;
    }
    m_pending = true;
    return true;
}

bool TSingleClick::WaitOver()
{
    const bool single = m_pending;
    m_pending = false;
    return single;
}

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent), m_id(TrayIconIds::Acquire())
{
    // Queued: the answer may come while the host is being asked (see HostAvailable).
    connect(&m_probe, &StatusNotifierProbe::Changed, this, &TTrayIcon::HostChanged,
            Qt::QueuedConnection);
    m_probe.Ask();
    m_singleClickTimer = new QTimer(this);
    m_singleClickTimer->setSingleShot(true);
    connect(m_singleClickTimer, &QTimer::timeout, this, &TTrayIcon::SingleClickWaitOver);
}

TTrayIcon::~TTrayIcon()
{
    if (m_tray)
        m_tray->hide();
    TrayIconIds::Release(m_id);
}

QSystemTrayIcon* TTrayIcon::QtIcon()
{
    if (!m_tray) {
        // Made only once a notification area is there: Qt chooses between the two protocols
        // for good when it makes its first icon, and would otherwise never find a
        // StatusNotifierItem host that comes up after the program, as at a login.
        m_tray = new QSystemTrayIcon(this);
        connect(m_tray, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
        if (!m_rbMenu && m_rbMenuMaker)
            m_rbMenu = m_rbMenuMaker();
        m_tray->setContextMenu(AutoPopup ? m_rbMenu.data() : nullptr);
        m_oneClickActivates = m_probe.LastAnswer() == StatusNotifierProbe::Answer::Present;
    }
    return m_tray;
}

void TTrayIcon::SetAnimateRate(int ms)
{
    m_animateRate = std::max(ms, 100);
}

void TTrayIcon::SetRBPopupMenu(QMenu* menu)
{
    m_rbMenu = menu;
    // Hosts that speak the StatusNotifier protocol show only a menu handed over beforehand.
    if (m_tray)
        m_tray->setContextMenu(AutoPopup ? menu : nullptr);
}

void TTrayIcon::SetIcon(const QIcon& icon)
{
    if (icon.isNull())
        return; // an icon that failed to load never replaces a good one
    m_icon = icon;
    if (m_visible && m_tray)
        m_tray->setIcon(icon);
}

void TTrayIcon::SetTipHelp(const QString& tip)
{
    m_tip = TrayTipText(tip);
    if (m_tray)
        m_tray->setToolTip(m_tip);
}

QIcon TTrayIcon::EffectiveIcon() const
{
    if (!m_icon.isNull())
        return m_icon;
    return QApplication::windowIcon();
}

void TTrayIcon::Register()
{
    const QIcon icon = EffectiveIcon();
    if (icon.isNull())
        return;
    if (!HostAvailable())
        throw ENotifyIconError();
    QSystemTrayIcon* tray = QtIcon();
    tray->setIcon(icon);
    tray->setToolTip(m_tip);
    tray->show();
}

bool TTrayIcon::HostAvailable()
{
    // Asked without Qt, whose own answer would fix its choice of protocol (see QtIcon). Only the
    // first answer is waited for, briefly: the start-up decides on the tray before the window
    // shows.
    if (m_probe.LastAnswer() == StatusNotifierProbe::Answer::Unknown)
        m_probe.Settle();
    const StatusNotifierProbe::Answer answer = m_probe.LastAnswer();
    m_probe.Ask();
    // Making Qt's icon would ask a silent watcher again, and wait on it.
    if (answer == StatusNotifierProbe::Answer::Silent && !m_tray)
        return false;
    return answer == StatusNotifierProbe::Answer::Present || XEmbedTrayPresent();
}

void TTrayIcon::SetVisible(bool visible)
{
    if (visible) {
        try {
            Register();
        } catch (const ENotifyIconError&) {
            m_visible = false;
            throw;
        }
        m_visible = !EffectiveIcon().isNull();
    } else {
        if (m_tray)
            m_tray->hide();
        m_visible = false;
    }
}

int TTrayIcon::SingleClickWaitMs()
{
    return QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50;
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason)
{
    if (!Enabled)
        return;
    const QPoint cursor = QCursor::pos();
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (m_lbMenu && AutoPopup) {
            m_lbMenu->popup(cursor);
            return;
        }
        emit OnMouseDown(Button::Left, cursor);
        emit OnMouseUp(Button::Left, cursor);
        if (m_oneClickActivates) {
            // No double click will follow to wait for.
            emit OnClick();
            emit OnActivate();
            break;
        }
        if (m_singleClick.Clicked())
            m_singleClickTimer->start(SingleClickWaitMs());
        break;
    case QSystemTrayIcon::DoubleClick:
        m_singleClick.DoubleClicked();
        m_singleClickTimer->stop();
        emit OnDblClick();
        emit OnActivate();
        break;
    case QSystemTrayIcon::Context:
        if (m_rbMenu && AutoPopup) {
            if (!m_tray || !m_tray->contextMenu())
                m_rbMenu->popup(cursor);
            return;
        }
        emit OnMouseDown(Button::Right, cursor);
        emit OnMouseUp(Button::Right, cursor);
        break;
    case QSystemTrayIcon::MiddleClick:
        emit OnMouseDown(Button::Middle, cursor);
        emit OnMouseUp(Button::Middle, cursor);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void TTrayIcon::SingleClickWaitOver()
{
    if (m_singleClick.WaitOver())
        emit OnClick();
}

int DiskIconIndex(bool reading, bool writing)
{
    return (reading ? 1 : 0) + (writing ? 2 : 0);
}

std::optional<int> TrayUpdateIcon(bool coreStarted, bool reading, bool writing)
{
    if (!coreStarted)
        return std::nullopt;
    return DiskIconIndex(reading, writing);
}

namespace {

// A disk lamp: dark when idle, green reading, red writing, amber for both.
QPixmap DrawnTrayIcon(int index)
{
    const QColor lamps[4] = {QColor(60, 60, 60), QColor(40, 200, 60), QColor(220, 40, 40),
                             QColor(240, 170, 20)};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 20, 20), 1));
    painter.setBrush(QColor(200, 200, 200));
    painter.drawRoundedRect(QRectF(0.5, 3.5, 15, 9), 2, 2);
    painter.setBrush(lamps[index]);
    painter.drawEllipse(QRectF(9.5, 5.5, 4, 4));
    painter.end();
    return pixmap;
}

} // namespace

std::array<QIcon, 4> BuiltInTrayIcons(const QString& iconFolder)
{
    const char* const states[4] = {"idle", "read", "write", "readwrite"};
    std::array<QIcon, 4> icons;
    for (int i = 0; i < 4; ++i) {
        std::map<int, QString> files;
        for (int size : TrayIconSizes) {
            const QString file = QStringLiteral("%1/tray-%2-%3.png")
                                     .arg(iconFolder, QLatin1String(states[i]))
                                     .arg(size);
            if (QFileInfo(file).isFile())
                files.emplace(size, file);
        }
        icons[static_cast<std::size_t>(i)] =
            QIcon(new TrayArtEngine(std::move(files), DrawnTrayIcon(i)));
    }
    return icons;
}

std::array<QIcon, 4> LoadTrayIcons(bool& trayIconDefault, const std::array<QString, 4>& files,
                                   const QString& iconFolder,
                                   const std::function<void(const QString&)>& writeLog)
{
    if (!trayIconDefault && std::any_of(files.begin(), files.end(),
                                        [](const QString& f) { return !QFileInfo::exists(f); })) {
        writeLog(QStringLiteral("(!) Icon File(s) Does NOT Exist!"));
        trayIconDefault = true;
    }
    if (trayIconDefault)
        return BuiltInTrayIcons(iconFolder);
    std::array<QIcon, 4> icons;
    for (std::size_t i = 0; i < 4; ++i) {
        const QPixmap pixmap = LoadIconFile(files[i]);
        if (pixmap.isNull()) {
            // A file that is not a picture: all four from the built-in set, as for a missing one.
            writeLog(QStringLiteral("(!) The ERROR occurred in drawing tray-icon!"));
            trayIconDefault = true;
            return BuiltInTrayIcons(iconFolder);
        }
        icons[i] = QIcon(pixmap);
    }
    return icons;
}
