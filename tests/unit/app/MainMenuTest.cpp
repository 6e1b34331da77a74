#include "app/MainMenu.h"

#include "app/SkinColumns.h"
#include "res/MRes.h"
#include "support/TempProgramFolder.h"
#include "support/TestApplication.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>
#include <QWidgetAction>
#include <gtest/gtest.h>

namespace {

SkinList Skins(int count)
{
    SkinList list;
    for (int i = 0; i < count; ++i)
        list.push_back({QStringLiteral("Skin %1").arg(i, 2, 10, QLatin1Char('0')), QString()});
    return list;
}

struct ApplicationFirst
{
    ApplicationFirst() { EnsureApplication(); }
};

class MainMenuTest : public ::testing::Test, private ApplicationFirst
{
protected:
    QWidget owner;
    TMainMenu menu{&owner};
};

} // namespace

TEST_F(MainMenuTest, SkinItemsSitAboveTheFixedItems)
{
    menu.SetSkinItems(Skins(3), "Skin 01");
    // No menu is made before one is asked for.
    EXPECT_EQ(owner.findChild<QMenu*>(), nullptr);
    const QList<QAction*> actions = menu.SkinT()->actions();
    ASSERT_EQ(actions.size(), 3 + 4);
    EXPECT_EQ(actions[0]->text(), "Skin 00");
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_FALSE(actions[0]->isChecked());
    EXPECT_EQ(actions[2]->property("Tag").toInt(), 1);
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4], menu.LinearOFF);
    EXPECT_EQ(menu.FirstSkinName(), "Skin 00");

    QString chosen;
    QObject::connect(&menu, &TMainMenu::SkinChosen, [&](const QString& name) { chosen = name; });
    actions[2]->trigger();
    EXPECT_EQ(chosen, "Skin 02");
    // The pick may fail: the check stays on the skin in use until the switch is done.
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_FALSE(actions[2]->isChecked());
    menu.CheckSkin("Skin 02");
    EXPECT_TRUE(actions[2]->isChecked());
    EXPECT_FALSE(actions[1]->isChecked());
}

TEST_F(MainMenuTest, EmptyListShowsADisabledNoSkinItem)
{
    menu.SetSkinItems(Skins(2), "");
    menu.SetSkinItems({}, "");
    const QList<QAction*> actions = menu.SkinT()->actions();
    ASSERT_EQ(actions.size(), 1 + 4);
    EXPECT_EQ(actions[0]->text(), "(No Skin!)");
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_EQ(actions[0]->property("Tag").toInt(), 0);
    EXPECT_EQ(menu.FirstSkinName(), "");
}

TEST_F(MainMenuTest, ThirtyOneSkinsMakeTwoColumns)
{
    menu.SetSkinItems(Skins(31), "Skin 30");
    auto* action = qobject_cast<QWidgetAction*>(menu.SkinT()->actions().first());
    ASSERT_NE(action, nullptr);
    auto* columns = qobject_cast<TSkinColumns*>(action->defaultWidget());
    ASSERT_NE(columns, nullptr);
    EXPECT_EQ(columns->ColumnCount(), 2);
    const QSize item = columns->ItemSize();
    EXPECT_EQ(columns->ItemRect(29).topLeft(), QPoint(0, 29 * item.height()));
    EXPECT_EQ(columns->ItemRect(30).topLeft(),
              QPoint(item.width() + TSkinColumns::DividerWidth, 0));
    EXPECT_EQ(columns->sizeHint(),
              QSize(2 * item.width() + TSkinColumns::DividerWidth, 30 * item.height()));

    QString chosen;
    QObject::connect(&menu, &TMainMenu::SkinChosen, [&](const QString& name) { chosen = name; });
    const QPointF inside = columns->ItemRect(30).center();
    QMouseEvent release(QEvent::MouseButtonRelease, inside, columns->mapToGlobal(inside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(columns, &release);
    EXPECT_EQ(chosen, "Skin 30");
    // Back to a short list: plain items again.
    menu.SetSkinItems(Skins(2), "");
    EXPECT_EQ(menu.SkinT()->actions().first()->text(), "Skin 00");
}

TEST_F(MainMenuTest, CaptionsComeFromTheLanguage)
{
    TempProgramFolder folder;
    folder.Write("en.lng", "[Header]\r\nDISCRIPTION=English\r\n[COMPONENTS]\r\nC0100=Full mode\r\n"
                           "C0101=Compact mode\r\nC0123=Exit\r\nC0124=Ends the program.\r\n");
    TMRes texts(folder.Path());
    ASSERT_TRUE(texts.OpenLanguage("English"));
    menu.ApplyTexts(texts, 0);
    EXPECT_EQ(menu.mCMode->text(), "Full mode");
    EXPECT_EQ(menu.ExitE->text(), "Exit");
    EXPECT_EQ(menu.ExitE->toolTip(), "Ends the program.");
    EXPECT_EQ(menu.OptionV->text(), "(NoData:C0119)");
    menu.SetModeCaption(texts, 1);
    EXPECT_EQ(menu.mCMode->text(), "Compact mode");
    menu.SetModeCaption(texts, 2);
    EXPECT_EQ(menu.mCMode->text(), "Mode Number Error");
}
