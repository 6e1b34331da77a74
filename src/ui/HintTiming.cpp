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

} // namespace

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
    QToolTip::showText(help.globalPos(), hint, widget, QRect(), HintHidePauseMs);
    return true;
}
