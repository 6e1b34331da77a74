#include "ui/ScaleWatch.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <utility>

TScaleWatch::TScaleWatch(QWidget& window, std::function<void(double ratio)> changed)
    : QObject(&window), m_window(window), m_changed(std::move(changed)),
      m_ratio(window.devicePixelRatioF())
{
    // Qt tells a widget that its window went to another screen by this event, and a screen's
    // own change of scale by the screen's signals.
    window.installEventFilter(this);
    for (QScreen* screen : QGuiApplication::screens())
        Watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &TScaleWatch::Watch);
}

bool TScaleWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window &&
        (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show))
        CheckLater();
    return false;
}

void TScaleWatch::Watch(QScreen* screen)
{
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, &TScaleWatch::CheckLater);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, &TScaleWatch::CheckLater);
    connect(screen, &QScreen::geometryChanged, this, &TScaleWatch::CheckLater);
}

void TScaleWatch::CheckLater()
{
    if (std::exchange(m_checkPending, true))
        return;
    QTimer::singleShot(0, this, &TScaleWatch::Check);
}

void TScaleWatch::Check()
{
    m_checkPending = false;
    const double ratio = m_window.devicePixelRatioF();
    if (ratio == m_ratio)
        return;
    m_ratio = ratio;
    m_changed(ratio);
}
