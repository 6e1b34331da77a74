#include "skin/MenuStyle.h"

#include "support/TestApplication.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <gtest/gtest.h>

namespace {

QFont MenuFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    return font;
}

QColor At(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

// Whether some pixel of the caption area has a colour strictly between two others, channel
// by channel: only blending makes such pixels.
bool HasBlendedPixel(const QImage& image, QColor from, QColor to)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 10; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            auto between = [](int v, int a, int b) {
                return v > std::min(a, b) && v < std::max(a, b);
            };
            if (between(c.red(), from.red(), to.red()) &&
                between(c.green(), from.green(), to.green()))
                return true;
        }
    }
    return false;
}

} // namespace

TEST(MainMenuStyle, ItemSizesAndCaptions)
{
    EXPECT_EQ(MainMenuStyle::MeasureItem("Options..."), QSize(200, 18));
    EXPECT_EQ(MainMenuStyle::MeasureItem("-").height(), 8);
    EXPECT_EQ(MainMenuStyle::DisplayCaption("Mode change(&M)"), "Mode change(M)");
    EXPECT_EQ(MainMenuStyle::DisplayCaption("Exit(&X)\tCtrl+Q"), "Exit(X)");
}

TEST(MainMenuStyle, BackgroundsOfSelectedCheckedAndPlainItems)
{
    EnsureApplication();
    const QSize size(200, 18);
    MenuItemLook top{"Caption", true, true, false, true, false, 0};
    QImage image = MainMenuStyle::DrawItem(top, size, MenuFont());
    EXPECT_EQ(At(image, 0, 0), QColor(60, 62, 100));
    EXPECT_EQ(At(image, 1, 1), QColor(100, 100, 160));
    EXPECT_EQ(At(image, 2, 2), QColor(100, 100, 160));
    EXPECT_EQ(At(image, 3, 3), QColor(120, 125, 200));
    EXPECT_EQ(At(image, 199, 17), QColor(60, 62, 100));

    MenuItemLook skinSelected{"Blue", false, true, true, true, false, 1};
    image = MainMenuStyle::DrawItem(skinSelected, size, MenuFont());
    EXPECT_EQ(At(image, 0, 0), QColor(120, 120, 120)); // the check frame
    EXPECT_EQ(At(image, 3, 3), QColor(200, 125, 120));

    // At the top level even a checked skin item gets the three rectangles.
    skinSelected.TopLevel = true;
    image = MainMenuStyle::DrawItem(skinSelected, size, MenuFont());
    EXPECT_EQ(At(image, 3, 3), QColor(120, 125, 200));

    MenuItemLook skinChecked{"Blue", false, false, true, false, false, 1};
    image = MainMenuStyle::DrawItem(skinChecked, size, MenuFont());
    EXPECT_EQ(At(image, 0, 0), QColor(140, 150, 170)); // disabled frame colour
    EXPECT_EQ(At(image, 3, 3), QColor(255, 220, 220));

    MenuItemLook plain{"Plain", false, false, false, true, false, 0};
    image = MainMenuStyle::DrawItem(plain, size, MenuFont());
    EXPECT_EQ(At(image, 0, 0), QColor(240, 250, 255));
    EXPECT_EQ(At(image, 5, 9), QColor(240, 250, 255));
}

TEST(MainMenuStyle, CheckMarkIsThreeEllipses)
{
    EnsureApplication();
    MenuItemLook checked{"LinearOFF", false, false, true, true, false, 0};
    QImage image = MainMenuStyle::DrawItem(checked, QSize(200, 18), MenuFont());
    const int m = 18 / 2 + 1;
    EXPECT_EQ(At(image, 7, m + 1), QColor(0, 0, 0));       // only in the large one
    EXPECT_EQ(At(image, 3, m - 1), QColor(240, 240, 255)); // the highlight
    EXPECT_EQ(At(image, 4, m), QColor(100, 100, 100));     // the middle one
    EXPECT_EQ(At(image, 1, m), QColor(240, 250, 255));     // left of all of them
    EXPECT_EQ(At(image, 9, m), QColor(240, 250, 255));     // right of all of them
    // Round and whole: the large one's top and bottom rows, not the box's corners.
    EXPECT_EQ(At(image, 5, m - 3), QColor(0, 0, 0));
    EXPECT_EQ(At(image, 5, m + 3), QColor(0, 0, 0));
    EXPECT_EQ(At(image, 2, m - 3), QColor(240, 250, 255));
    EXPECT_EQ(At(image, 8, m + 3), QColor(240, 250, 255));
    checked.Enabled = false;
    image = MainMenuStyle::DrawItem(checked, QSize(200, 18), MenuFont());
    EXPECT_EQ(At(image, 7, m + 1), QColor(120, 125, 127));
    EXPECT_EQ(At(image, 4, m), QColor(140, 150, 170));
}

TEST(MainMenuStyle, SeparatorIsADottedLineAcrossTheMiddle)
{
    EnsureApplication();
    QImage image = MainMenuStyle::DrawItem({"-", true, false, false, true, false, 0}, QSize(200, 8),
                                           MenuFont());
    EXPECT_EQ(At(image, 0, 4), QColor(0, 0, 0));
    EXPECT_EQ(At(image, 1, 4), QColor(240, 250, 255));
    EXPECT_EQ(At(image, 198, 4), QColor(0, 0, 0));
    EXPECT_EQ(At(image, 0, 3), QColor(240, 250, 255));
}

TEST(MainMenuStyle, CaptionIsBlendedInTheColourOfItsState)
{
    EnsureApplication();
    const QColor item(240, 250, 255);
    QImage enabled = MainMenuStyle::DrawItem({"Options", true, false, false, true, false, 0},
                                             QSize(200, 18), MenuFont());
    EXPECT_TRUE(HasBlendedPixel(enabled, item, Qt::black));
    EXPECT_EQ(At(enabled, 5, 9), item); // nothing left of the 10-pixel indent
    int darkest = 255;
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 200; ++x)
            darkest = std::min(darkest, At(enabled, x, y).green());
    EXPECT_LT(darkest, 60);

    QImage disabled = MainMenuStyle::DrawItem({"Options", true, false, false, false, false, 0},
                                              QSize(200, 18), MenuFont());
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_GE(At(disabled, x, y).green(), 125) << x << "," << y;
    EXPECT_NE(disabled, QImage(MainMenuStyle::DrawItem({"", true, false, false, false, false, 0},
                                                       QSize(200, 18), MenuFont())));
}

TEST(MainMenuStyle, DrivesRealMenusAndReportsEveryDrawnItem)
{
    EnsureApplication();
    int drawn = 0;
    MainMenuStyle style([&] { ++drawn; });
    QMenu popup;
    popup.setFont(MenuFont());
    popup.addAction("Full mode(&M)");
    popup.addSeparator();
    QMenu* skins = popup.addMenu("Skins");
    QAction* blue = skins->addAction("Blue");
    blue->setCheckable(true);
    blue->setChecked(true);
    blue->setProperty("Tag", MainMenuStyle::SkinTag);
    style.ApplyTo(&popup);
    EXPECT_EQ(skins->style(), &style);

    QStyleOptionMenuItem option;
    option.initFrom(&popup);
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.text = "Full mode(&M)";
    EXPECT_EQ(style.sizeFromContents(QStyle::CT_MenuItem, &option, QSize(10, 10), &popup),
              QSize(200, 18));
    option.menuItemType = QStyleOptionMenuItem::Separator;
    EXPECT_EQ(style.sizeFromContents(QStyle::CT_MenuItem, &option, QSize(10, 10), &popup).height(),
              8);

    // The separator takes its place in the real menu, as wide as the items.
    popup.ensurePolished();
    popup.adjustSize();
    const QRect separator = popup.actionGeometry(popup.actions().at(1));
    EXPECT_EQ(separator.height(), 8);
    EXPECT_EQ(separator.width(), popup.actionGeometry(popup.actions().at(0)).width());

    // The skin item of the submenu, found through the action under the item's rectangle.
    skins->ensurePolished();
    skins->adjustSize();
    QStyleOptionMenuItem skinOption;
    skinOption.initFrom(skins);
    skinOption.rect = skins->actionGeometry(blue);
    skinOption.menuItemType = QStyleOptionMenuItem::Normal;
    skinOption.checkType = QStyleOptionMenuItem::Exclusive;
    skinOption.checked = true;
    skinOption.text = "Blue";
    skinOption.state = QStyle::State_Enabled;
    QImage canvas(skins->size(), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        style.drawControl(QStyle::CE_MenuItem, &skinOption, &painter, skins);
    }
    EXPECT_EQ(drawn, 1);
    const QPoint inside = skinOption.rect.topLeft() + QPoint(3, 3);
    EXPECT_EQ(canvas.pixelColor(inside), QColor(255, 220, 220));
    EXPECT_EQ(canvas.pixelColor(skinOption.rect.topLeft()), QColor(120, 120, 120));
}
