#include "app/CheckedPlacement.h"

#include "platform/WindowPlacement.h"

#include <utility>

namespace {

// A window just mapped is not known to the compositor at once, and a size change may still
// be on its way, which re-centres the window after it was placed: the place is checked
// this often before the window is taken to be where it is.
constexpr int PlaceCheckMs = 100;
constexpr int PlaceTryLimit = 20;

} // namespace

TCheckedPlacement::TCheckedPlacement(std::unique_ptr<WindowPlacement> placement, Window window,
                                     QObject* parent)
    : QObject(parent), m_placement(std::move(placement)), m_window(std::move(window))
{
    m_check.setSingleShot(true);
    m_check.setInterval(PlaceCheckMs);
    connect(&m_check, &QTimer::timeout, this, &TCheckedPlacement::Check);
}

TCheckedPlacement::~TCheckedPlacement() = default;

void TCheckedPlacement::MoveTo(QPoint topLeft)
{
    m_wanted = topLeft;
    m_tries = 0;
    if (m_placement)
        m_placement->MoveWindow(m_window.Native(), topLeft);
    else
        m_window.Move(topLeft);
    m_check.start();
}

void TCheckedPlacement::Check()
{
    if (!m_window.MayCheck())
        return;
    const QPoint real = m_window.RealTopLeft();
    if (real == m_wanted) {
        m_refused = false;
        // sway starts a window it maps anew (shown again) opaque.
        if (m_placement)
            m_placement->SetOpacity(m_window.Native(), m_window.Opacity());
        if (m_placement && std::exchange(m_raiseWhenPlaced, false)) {
            m_placement->RaiseWindow(m_window.Native(), real);
            // Made floating anew, the window is centred again at its next configure request.
            m_tries = 0;
            m_check.start();
        }
        return;
    }
    if (m_placement && ++m_tries < PlaceTryLimit) {
        m_placement->MoveWindow(m_window.Native(), m_wanted);
        m_check.start();
        return;
    }
    m_window.Stays(real, !std::exchange(m_refused, true));
}
