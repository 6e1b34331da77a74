// The least a Qt monitor can cost: a frameless window on a 50 ms timer that, depending on the
// mode, does nothing, repaints one small area, or also reads the files a sample needs (the
// processors', the interfaces' and the disks', as the monitor reads them).
// bench/cpu_usage.py --floor runs it beside the real program, so that the monitor's own share
// can be told from what Qt, the kernel and the X server take for any program of its kind.
// Usage: qt_floor idle|repaint|repaint-reads

#include "platform/linux/ProcStats.h"
#include "platform/linux/SysBlockDisks.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

class FloorWindow : public QWidget
{
public:
    FloorWindow(bool repaints, bool reads) : m_repaints(repaints), m_reads(reads)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setWindowFlags(Qt::FramelessWindowHint);
        setFixedSize(340, 292);
        m_face.fill(Qt::darkGray);
        auto* timer = new QTimer(this);
        timer->setInterval(50);
        connect(timer, &QTimer::timeout, this, &FloorWindow::Tick);
        timer->start();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        for (const QRect& area : event->region())
            painter.drawImage(area, m_face, area);
    }

private:
    void Tick()
    {
        if (m_reads) {
            m_stat.Read();
            m_netDev.Read();
            m_blockDisks.Read(m_disks);
        }
        if (!m_repaints)
            return;
        // A needle's worth of change, somewhere new each tick.
        const QRect area(20 + (++m_frame % 8) * 20, 40, 16, 16);
        QPainter(&m_face).fillRect(area, QColor::fromHsv(m_frame * 7 % 360, 200, 200));
        repaint(area);
    }

    bool m_repaints;
    bool m_reads;
    int m_frame = 0;
    QImage m_face{340, 292, QImage::Format_RGB32};
    ProcFile m_stat{QStringLiteral("/proc/stat")};
    ProcFile m_netDev{QStringLiteral("/proc/net/dev")};
    SysBlockDisks m_blockDisks{QStringLiteral("/sys/block")};
    std::vector<DiskStats> m_disks;
};

} // namespace

int main(int argc, char* argv[])
{
    const char* mode = argc > 1 ? argv[1] : "";
    const bool idle = std::strcmp(mode, "idle") == 0;
    const bool repaint = std::strcmp(mode, "repaint") == 0;
    const bool reads = std::strcmp(mode, "repaint-reads") == 0;
    if (!idle && !repaint && !reads) {
        std::fputs("Usage: qt_floor idle|repaint|repaint-reads\n", stderr);
        return 2;
    }
    // The same Qt settings the monitor runs with.
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_XCB_NO_MITSHM", "1");
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    FloorWindow window(repaint || reads, reads);
    window.show();
    return app.exec();
}
