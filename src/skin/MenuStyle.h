#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QProxyStyle>
#include <QString>
#include <functional>

class QMenu;

// How one item of the main pop-up menu is to be drawn.
struct MenuItemLook
{
    QString Caption;
    bool TopLevel = true; // an item of the pop-up itself, not of a submenu
    bool Selected = false;
    bool Checked = false;
    bool Enabled = true;
    bool HasSubmenu = false;
    int Tag = 0; // 1 marks a skin item
};

// The owner-drawn look of the main pop-up menu: 200 x 18 items and 8-pixel separators, nested
// selection rectangles, a frame for the checked skin, a round mark for other checked items
// and an anti-aliased caption rendered at three times its size.
class MainMenuStyle : public QProxyStyle
{
public:
    static constexpr int ItemWidth = 200;
    static constexpr int ItemHeight = 18;
    static constexpr int SeparatorHeight = 8;
    static constexpr int SkinTag = 1;

    // onItemDrawn runs for every item drawn; the main window pushes its idle deadline there.
    explicit MainMenuStyle(std::function<void()> onItemDrawn = {});

    static QSize MeasureItem(const QString& caption);
    // The item painted into an image of its size with the given font.
    static QImage DrawItem(const MenuItemLook& look, QSize size, const QFont& font);
    // Drops the accelerator mark of captions written "(&X)".
    static QString DisplayCaption(const QString& caption);
    // Text in a colour over what the image holds, coverage from a 3x rendering in 3x3 blocks.
    static void DrawSmoothText(QImage& image, QPoint topLeft, const QString& text,
                               const QFont& font, QColor color);

    // Gives the menu and all its submenus this style.
    void ApplyTo(QMenu* menu);

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;

private:
    std::function<void()> m_onItemDrawn;
};
