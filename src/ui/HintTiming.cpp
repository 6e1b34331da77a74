#include "ui/HintTiming.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QProxyStyle>
#include <QToolTip>

namespace {

class HintStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return THintTiming::HintPauseMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The hint a help event asks for: the widget's own, or in a menu that shows them, its item's.
QString HintOf(QWidget* widget, const QHelpEvent& help)
{
    if (auto* menu = qobject_cast<QMenu*>(widget)) {
        const QAction* action = menu->actionAt(help.pos());
        return action && menu->toolTipsVisible() ? action->toolTip() : QString();
    }
    return widget->toolTip();
}

// Wide and full-width characters take two columns, as in a terminal.
int Columns(char32_t c)
{
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// Japanese punctuation that never starts a line.
bool ClosesLine(char32_t c)
{
    return QStringView(u"、。，．）」』】〕〉》・ー！？：；").contains(QChar(c));
}

QString WrapLine(const QString& line, int columns)
{
    QString wrapped;
    QString current;
    int width = 0;
    qsizetype breakAt = -1; // where current may be broken: after a space or before a wide character
    for (const char32_t c : line.toUcs4()) {
        const int w = Columns(c);
        if (w == 2 && !ClosesLine(c) && !current.isEmpty())
            breakAt = current.size();
        if (width + w > columns && !current.isEmpty() && c != U' ') {
            const qsizetype cut = breakAt > 0 ? breakAt : current.size();
            wrapped += current.left(cut).trimmed() + QLatin1Char('\n');
            current = current.mid(cut).trimmed();
            width = 0;
            for (const char32_t rest : current.toUcs4())
                width += Columns(rest);
            breakAt = -1;
        }
        current += QString::fromUcs4(&c, 1);
        width += w;
        if (c == U' ')
            breakAt = current.size();
    }
    return wrapped + current.trimmed();
}

} // namespace

QString WrapHint(const QString& text, int columns)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = WrapLine(line, columns);
    return lines.join(QLatin1Char('\n'));
}

THintTiming::THintTiming(QObject* parent) : QObject(parent)
{
    QApplication::setStyle(new HintStyle);
    qApp->installEventFilter(this);
}

THintTiming::~THintTiming()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool THintTiming::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    const auto& help = static_cast<const QHelpEvent&>(*event);
    const QString hint = HintOf(widget, help);
    // Without a hint of its own the widget passes the event on to its parent.
    if (hint.isEmpty())
        return false;
    QToolTip::showText(help.globalPos(), WrapHint(hint), widget, QRect(), HintHidePauseMs);
    return true;
}
