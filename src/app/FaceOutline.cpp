#include "app/FaceOutline.h"

#include "platform/linux/X11Windows.h"
#include "skin/WindowShape.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

TFaceOutline::TFaceOutline(QWidget& window) : QObject(&window), m_window(window)
{
    window.installEventFilter(this);
}

void TFaceOutline::Set(const QRegion& face, int faceScale)
{
    const bool wasOnScreen = !m_onScreen.isEmpty();
    m_face = face;
    m_onScreen = ScaleRegion(face, faceScale);
    if (!m_onScreen.isEmpty())
        SetOnScreen();
    else if (wasOnScreen && m_window.testAttribute(Qt::WA_WState_Created) &&
             m_window.windowHandle())
        X11ClearWindowShape(m_window.windowHandle()->winId());
}

bool TFaceOutline::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && !m_onScreen.isEmpty() &&
        (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show))
        SetOnScreen();
    return false;
}

void TFaceOutline::SetOnScreen()
{
    // Until the X window is made, it is set when it is.
    if (!m_window.testAttribute(Qt::WA_WState_Created) || !m_window.windowHandle())
        return;
    X11SetWindowShape(m_window.windowHandle()->winId(),
                      std::vector<QRect>(m_onScreen.begin(), m_onScreen.end()));
}
