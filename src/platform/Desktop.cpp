#include "platform/Desktop.h"

#include <algorithm>

WindowRect WorkAreaFromTaskbars(QSize screen, const std::vector<WindowRect>& taskbars)
{
    const int w = screen.width();
    const int h = screen.height();
    WindowRect area{0, 0, w, h};
    for (const WindowRect& r : taskbars) {
        if (r.Left < 0 && r.Top >= 1 && r.Right > w && r.Bottom > h)
            area.Bottom = std::min(area.Bottom, r.Top);
        else if (r.Left >= 1 && r.Top < 0 && r.Right > w && r.Bottom > h)
            area.Right = std::min(area.Right, r.Left);
        else if (r.Left < 0 && r.Top < 0 && r.Right > w && r.Bottom < h)
            area.Top = std::max(area.Top, r.Bottom);
        else if (r.Left < 0 && r.Top < 0 && r.Right < w && r.Bottom > h)
            area.Left = std::max(area.Left, r.Right);
    }
    return area;
}

WindowRect DesktopWorkArea(Desktop& desktop)
{
    return WorkAreaFromTaskbars(desktop.ScreenSize(), desktop.TaskbarRects());
}

bool WindowManagerHonoursClientMoves(const QString& windowManagerName)
{
    return windowManagerName != QLatin1String("wlroots wm");
}
