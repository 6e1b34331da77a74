#include "app/SkinColumns.h"

#include "skin/MenuStyle.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionMenuItem>

TSkinColumns::TSkinColumns(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void TSkinColumns::SetSkins(const QStringList& names, const QString& current)
{
    m_names = names;
    m_current = current;
    m_hover = -1;
    updateGeometry();
    update();
}

void TSkinColumns::SetCurrent(const QString& name)
{
    m_current = name;
    update();
}

void TSkinColumns::SetOwnerDrawn(bool on)
{
    m_ownerDrawn = on;
    updateGeometry();
    update();
}

int TSkinColumns::ColumnCount() const
{
    return (static_cast<int>(m_names.size()) + RowsPerColumn - 1) / RowsPerColumn;
}

QSize TSkinColumns::ItemSize() const
{
    if (m_ownerDrawn)
        return QSize(MainMenuStyle::ItemWidth, MainMenuStyle::ItemHeight);
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const QString& name : m_names)
        widest = std::max(widest, metrics.horizontalAdvance(name));
    return QSize(widest + 40, metrics.height() + 6);
}

QSize TSkinColumns::sizeHint() const
{
    const QSize item = ItemSize();
    const int columns = std::max(ColumnCount(), 1);
    const int rows = std::min(static_cast<int>(m_names.size()), RowsPerColumn);
    return QSize(columns * item.width() + (columns - 1) * DividerWidth, rows * item.height());
}

QRect TSkinColumns::ItemRect(int index) const
{
    const QSize item = ItemSize();
    const int column = index / RowsPerColumn;
    const int row = index % RowsPerColumn;
    return QRect(column * (item.width() + DividerWidth), row * item.height(), item.width(),
                 item.height());
}

int TSkinColumns::ItemAt(QPoint point) const
{
    for (int i = 0; i < m_names.size(); ++i)
        if (ItemRect(i).contains(point))
            return i;
    return -1;
}

void TSkinColumns::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (int i = 0; i < m_names.size(); ++i) {
        const QRect area = ItemRect(i);
        const bool checked = m_names[i] == m_current;
        if (m_ownerDrawn) {
            MenuItemLook look;
            look.Caption = m_names[i];
            look.TopLevel = false;
            look.Selected = i == m_hover;
            look.Checked = checked;
            look.Tag = MainMenuStyle::SkinTag;
            painter.drawImage(area.topLeft(), MainMenuStyle::DrawItem(look, area.size(), font()));
            continue;
        }
        QStyleOptionMenuItem option;
        option.initFrom(this);
        option.rect = area;
        option.text = m_names[i];
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.checkType = QStyleOptionMenuItem::Exclusive;
        option.checked = checked;
        option.maxIconWidth = 16;
        if (i == m_hover)
            option.state |= QStyle::State_Selected;
        style()->drawControl(QStyle::CE_MenuItem, &option, &painter, this);
    }
    // The dividing bar before each new column.
    painter.setPen(palette().color(QPalette::Mid));
    const QSize item = ItemSize();
    for (int column = 1; column < ColumnCount(); ++column) {
        const int x = column * (item.width() + DividerWidth) - DividerWidth / 2 - 1;
        painter.drawLine(x, 0, x, height());
    }
}

void TSkinColumns::mouseMoveEvent(QMouseEvent* event)
{
    const int hover = ItemAt(event->position().toPoint());
    if (hover != m_hover) {
        m_hover = hover;
        update();
    }
}

void TSkinColumns::leaveEvent(QEvent*)
{
    m_hover = -1;
    update();
}

void TSkinColumns::mouseReleaseEvent(QMouseEvent* event)
{
    const int index = ItemAt(event->position().toPoint());
    if (index < 0)
        return;
    // Close the whole menu chain, as choosing a menu item would.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* menu = qobject_cast<QMenu*>(w))
            menu->close();
    emit SkinChosen(m_names[index]);
}
