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
    const double ratio = m_window.devicePixelRatioF();
    // Qt keeps its outline in the window's units and takes the same one again for no change,
    // though at another ratio those units make other screen pixels.
    if (ratio != m_ratio || !m_onScreen.isEmpty())
        m_window.clearMask();
    m_ratio = ratio;
    const bool wasOnScreen = !m_onScreen.isEmpty();
    m_onScreen = {};
    if (face.isEmpty()) {
        m_window.clearMask();
        if (wasOnScreen && m_window.testAttribute(Qt::WA_WState_Created))
            X11ClearWindowShape(m_window.windowHandle()->winId());
    } else if (ratio == faceScale) {
        // A unit of the window is a pixel of the face.
        m_window.setMask(face);
    } else {
        m_onScreen = ScaleRegion(face, faceScale);
        SetOnScreen();
    }
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
