#include "skin/MenuStyle.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <algorithm>
#include <cmath>

namespace {

const QColor ItemColor(240, 250, 255);
const QColor CheckedSkinColor(255, 220, 220);
const QColor SelectedSkinColor(200, 125, 120);
const QColor DisabledText(120, 125, 127);

void FillBox(QPainter& p, int left, int top, int right, int bottom, QColor color)
{
    p.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), color);
}

// The pixels of the box whose centres lie in the ellipse it bounds. The painter's own aliased
// ellipse lands half a pixel off at these sizes: the mark lost its top row and came out square.
void Ellipse(QPainter& p, int left, int top, int right, int bottom, QColor color)
{
    const double cx = (left + right) / 2.0;
    const double cy = (top + bottom) / 2.0;
    const double rx = (right - left) / 2.0;
    const double ry = (bottom - top) / 2.0;
    for (int y = top; y < bottom; ++y) {
        const double dy = (y + 0.5 - cy) / ry;
        const double half = rx * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        const int from = int(std::ceil(cx - half - 0.5));
        const int to = int(std::floor(cx + half - 0.5));
        if (from <= to)
            p.fillRect(from, y, to - from + 1, 1, color);
    }
}

bool IsSubmenu(const QMenu* menu)
{
    for (QObject* object : menu->menuAction()->associatedObjects())
        if (qobject_cast<QMenu*>(object))
            return true;
    return false;
}

} // namespace

MainMenuStyle::MainMenuStyle(std::function<void()> onItemDrawn)
    : QProxyStyle(QStringLiteral("Fusion")), m_onItemDrawn(std::move(onItemDrawn))
{}

QString MainMenuStyle::DisplayCaption(const QString& caption)
{
    QString text = caption.section(u'\t', 0, 0);
    text.replace(QStringLiteral("(&"), QStringLiteral("("));
    return text;
}

QSize MainMenuStyle::MeasureItem(const QString& caption)
{
    if (caption == u"-")
        return QSize(0, SeparatorHeight);
    return QSize(ItemWidth, ItemHeight);
}

void MainMenuStyle::DrawSmoothText(QImage& image, QPoint topLeft, const QString& text,
                                   const QFont& font, QColor color)
{
    if (text.isEmpty())
        return;
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text);
    const int height = metrics.height();
    if (width <= 0 || height <= 0)
        return;
    QFont big = font;
    if (font.pixelSize() > 0)
        big.setPixelSize(font.pixelSize() * 3);
    else
        big.setPointSizeF(font.pointSizeF() * 3);
    // The coverage comes from our own averaging, not from the font engine's.
    big.setStyleStrategy(QFont::NoAntialias);
    QImage large(width * 3, height * 3, QImage::Format_RGB32);
    large.fill(Qt::black);
    {
        QPainter p(&large);
        p.setFont(big);
        p.setPen(Qt::white);
        p.drawText(0, QFontMetrics(big).ascent(), text);
    }
    for (int y = 0; y < height; ++y) {
        const int ty = topLeft.y() + y;
        if (ty < 0 || ty >= image.height())
            continue;
        for (int x = 0; x < width; ++x) {
            const int tx = topLeft.x() + x;
            if (tx < 0 || tx >= image.width())
                continue;
            int sum = 0;
            for (int dy = 0; dy < 3; ++dy) {
                const QRgb* row = reinterpret_cast<const QRgb*>(large.constScanLine(y * 3 + dy));
                for (int dx = 0; dx < 3; ++dx)
                    sum += qRed(row[x * 3 + dx]);
            }
            const int coverage = sum / 9;
            if (coverage == 0)
                continue;
            const QRgb under = image.pixel(tx, ty);
            auto blend = [coverage](int from, int to) {
                return from + (to - from) * coverage / 255;
            };
            image.setPixel(tx, ty,
                           qRgb(blend(qRed(under), color.red()),
                                blend(qGreen(under), color.green()),
                                blend(qBlue(under), color.blue())));
        }
    }
}

QImage MainMenuStyle::DrawItem(const MenuItemLook& look, QSize size, const QFont& font)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const int w = size.width();
    const int h = size.height();
    const bool skinItem = look.Tag == SkinTag;
    QPainter p(&image);

    if (look.Selected && (look.TopLevel || !(skinItem && look.Checked))) {
        FillBox(p, 0, 0, w, h, QColor(60, 62, 100));
        FillBox(p, 1, 1, w - 1, h - 1, QColor(100, 100, 160));
        FillBox(p, 3, 3, w - 3, h - 3, QColor(120, 125, 200));
    } else if (look.Selected) {
        FillBox(p, 0, 0, w, h, SelectedSkinColor);
    } else if (skinItem && look.Checked) {
        FillBox(p, 0, 0, w, h, CheckedSkinColor);
    } else {
        FillBox(p, 0, 0, w, h, ItemColor);
    }

    const QString caption = DisplayCaption(look.Caption);
    if (caption == u"-") {
        for (int x = 0; x < w; x += 2)
            image.setPixel(x, h / 2, qRgb(0, 0, 0));
    } else {
        p.end();
        const int top = (h - QFontMetrics(font).height()) / 2;
        if (look.Enabled && look.Selected) {
            DrawSmoothText(image, QPoint(11, top + 1), caption, font, Qt::black);
            DrawSmoothText(image, QPoint(10, top), caption, font, ItemColor);
        } else if (look.Enabled) {
            DrawSmoothText(image, QPoint(10, top), caption, font, Qt::black);
        } else {
            DrawSmoothText(image, QPoint(10, top), caption, font,
                           look.Selected ? QColor(Qt::white) : DisabledText);
        }
        p.begin(&image);
    }

    if (look.Checked) {
        if (skinItem) {
            p.setPen(look.Enabled ? QColor(120, 120, 120) : QColor(140, 150, 170));
            p.setBrush(Qt::NoBrush);
            p.drawRect(0, 0, w - 1, h - 1);
        } else {
            const int m = h / 2 + 1;
            Ellipse(p, 2, m - 3, 9, m + 4, look.Enabled ? QColor(Qt::black) : DisabledText);
            Ellipse(p, 2, m - 3, 6, m + 1,
                    look.Enabled ? QColor(100, 100, 100) : QColor(140, 150, 170));
            Ellipse(p, 3, m - 2, 5, m, QColor(240, 240, 255));
        }
    }
    if (look.HasSubmenu) {
        // The arrow the system adds beside owner-drawn items that open a submenu.
        const int cx = w - 8;
        const int cy = h / 2;
        p.setPen(Qt::NoPen);
        p.setBrush(look.Selected && look.Enabled ? ItemColor : QColor(Qt::black));
        const QPoint arrow[] = {{cx - 2, cy - 4}, {cx + 2, cy}, {cx - 2, cy + 4}};
        p.drawPolygon(arrow, 3);
    }
    return image;
}

void MainMenuStyle::ApplyTo(QMenu* menu)
{
    if (!menu)
        return;
    menu->setStyle(this);
    for (QAction* action : menu->actions())
        ApplyTo(action->menu());
}

QSize MainMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                      const QSize& size, const QWidget* widget) const
{
    if (type == CT_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            const bool separator = item->menuItemType == QStyleOptionMenuItem::Separator;
            // A separator measures no width, and Qt leaves out items of an empty size; the
            // menu gives every item its full width anyway.
            return MeasureItem(separator ? QStringLiteral("-") : item->text).expandedTo({1, 0});
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void MainMenuStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    MenuItemLook look;
    look.Caption =
        item->menuItemType == QStyleOptionMenuItem::Separator ? QStringLiteral("-") : item->text;
    look.Selected = item->state & State_Selected;
    look.Enabled = item->state & State_Enabled;
    look.Checked = item->checked;
    look.HasSubmenu = item->menuItemType == QStyleOptionMenuItem::SubMenu;
    if (const auto* menu = qobject_cast<const QMenu*>(widget)) {
        look.TopLevel = !IsSubmenu(menu);
        if (QAction* action = menu->actionAt(item->rect.center()))
            look.Tag = action->property("Tag").toInt();
    }
    const QFont font = widget ? widget->font() : item->font;
    painter->drawImage(item->rect.topLeft(), DrawItem(look, item->rect.size(), font));
    if (m_onItemDrawn)
        m_onItemDrawn();
}

void MainMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const
{
    if (element == PE_PanelMenu || element == PE_FrameMenu) {
        painter->fillRect(option->rect, ItemColor);
        painter->setPen(QColor(120, 120, 120));
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

int MainMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                               const QWidget* widget) const
{
    switch (metric) {
    case PM_MenuPanelWidth:
        return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return 0;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}
