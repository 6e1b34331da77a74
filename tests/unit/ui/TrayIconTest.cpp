#include "ui/TrayIcon.h"

#include "res/MRes.h"
#include "support/TempProgramFolder.h"
#include "ui/IconEditDlg.h"
#include "ui/STips.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString ShippedIcons = QStringLiteral(PULSMIR_DATA_DIR "/icons");

void SpinFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct EventCount
{
    void Add(TTrayIcon::Button button = TTrayIcon::Button::Left) { Buttons.push_back(button); }
    int count() const { return static_cast<int>(Buttons.size()); }
    std::vector<TTrayIcon::Button> Buttons;
};

} // namespace

TEST(TrayIcon, TipAndAnimateRateLimits)
{
    TTrayIcon icon;
    EXPECT_EQ(icon.TipHelp(), "TipHelp");
    icon.SetTipHelp(QString(70, QLatin1Char('x')));
    EXPECT_EQ(icon.TipHelp(), QString(62, QLatin1Char('x')));
    icon.SetTipHelp(QStringLiteral("Pulsmir 2.0 in TaskTray\r\n(Physical Drive #1)"));
    EXPECT_EQ(icon.TipHelp(), "Pulsmir 2.0 in TaskTray\r\n(Physical Drive #1)");
    // A character outside the basic plane is not cut in half.
    const QString tip = QString(61, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F4BE") + "b";
    EXPECT_EQ(TrayTipText(tip), QString(61, QLatin1Char('a')));

    EXPECT_EQ(icon.AnimateRate(), 500);
    icon.SetAnimateRate(50);
    EXPECT_EQ(icon.AnimateRate(), 100);
    icon.SetAnimateRate(250);
    EXPECT_EQ(icon.AnimateRate(), 250);
}

TEST(TrayIcon, IdsComeFromAPoolOfAHundred)
{
    const std::size_t before = TrayIconIds::InUse().size();
    std::vector<std::unique_ptr<TTrayIcon>> icons;
    icons.push_back(std::make_unique<TTrayIcon>());
    icons.push_back(std::make_unique<TTrayIcon>());
    EXPECT_EQ(icons[1]->Id(), icons[0]->Id() + 1);
    const int second = icons[1]->Id();
    icons.pop_back();
    EXPECT_EQ(TrayIconIds::InUse().size(), before + 1);
    icons.push_back(std::make_unique<TTrayIcon>());
    EXPECT_EQ(icons[1]->Id(), second); // returned to the pool

    while (TrayIconIds::InUse().size() < 100)
        icons.push_back(std::make_unique<TTrayIcon>());
    EXPECT_THROW(TTrayIcon(), ENotifyIconError);
    try {
        TTrayIcon overflow;
    } catch (const ENotifyIconError& e) {
        EXPECT_STREQ(e.what(), "タスクトレイにアイコンを登録できません。");
    }
    icons.clear();
    EXPECT_EQ(TrayIconIds::InUse().size(), before);
}

TEST(TrayIcon, WithoutANotificationAreaShowingFailsAndTheIconStaysHidden)
{
    TTrayIcon icon;
    // No icon at all: it stays invisible without asking the desktop.
    EXPECT_NO_THROW(icon.SetVisible(true));
    EXPECT_FALSE(icon.Visible());

    icon.SetIcon(BuiltInTrayIcons(ShippedIcons)[0]);
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "a notification area is present";
    EXPECT_THROW(icon.SetVisible(true), ENotifyIconError);
    EXPECT_FALSE(icon.Visible());
    EXPECT_FALSE(icon.Registered());
}

TEST(TrayIcon, ASingleClickWaitsOutTheDoubleClickTime)
{
    TTrayIcon icon;
    EventCount clicks;
    EventCount doubles;
    EventCount downs;
    QObject::connect(&icon, &TTrayIcon::OnClick, [&] { clicks.Add(); });
    QObject::connect(&icon, &TTrayIcon::OnDblClick, [&] { doubles.Add(); });
    EventCount activations;
    QObject::connect(&icon, &TTrayIcon::OnMouseDown, [&](TTrayIcon::Button b) { downs.Add(b); });
    QObject::connect(&icon, &TTrayIcon::OnActivate, [&] { activations.Add(); });

    // An XEmbed tray: a single click only clicks.
    icon.SetOneClickActivates(false);
    icon.Activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(downs.count(), 1);
    SpinFor(TTrayIcon::SingleClickWaitMs() + 100);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(activations.count(), 0);

    // A second click in time makes it a double click, which opens, and no single click follows.
    icon.Activated(QSystemTrayIcon::Trigger);
    icon.Activated(QSystemTrayIcon::DoubleClick);
    SpinFor(TTrayIcon::SingleClickWaitMs() + 100);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_EQ(activations.count(), 1);

    // Disabled: nothing at all.
    icon.Enabled = false;
    icon.Activated(QSystemTrayIcon::Trigger);
    icon.Activated(QSystemTrayIcon::DoubleClick);
    SpinFor(TTrayIcon::SingleClickWaitMs() + 100);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(doubles.count(), 1);
}

TEST(TrayIcon, OneActivateOpensOnAStatusNotifierHost)
{
    // Such hosts send one Activate per click and never a double click: waiting for a second
    // click would wait for ever, and the window would never come back.
    TTrayIcon icon;
    icon.SetOneClickActivates(true);
    EventCount clicks;
    EventCount activations;
    QObject::connect(&icon, &TTrayIcon::OnClick, [&] { clicks.Add(); });
    QObject::connect(&icon, &TTrayIcon::OnActivate, [&] { activations.Add(); });
    icon.Activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(activations.count(), 1);
    EXPECT_EQ(clicks.count(), 1);
    icon.Activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(activations.count(), 2);
    // Nothing pending either: no late click after the double-click time.
    SpinFor(TTrayIcon::SingleClickWaitMs() + 100);
    EXPECT_EQ(clicks.count(), 2);
    // The secondary action and the menu open nothing.
    icon.Activated(QSystemTrayIcon::MiddleClick);
    icon.Activated(QSystemTrayIcon::Context);
    EXPECT_EQ(activations.count(), 2);
}

TEST(TrayIcon, SingleClickFilter)
{
    TSingleClick filter;
    EXPECT_TRUE(filter.Clicked());
    EXPECT_TRUE(filter.WaitOver());
    EXPECT_FALSE(filter.WaitOver());
    EXPECT_TRUE(filter.Clicked());
    EXPECT_FALSE(filter.Clicked()); // a second click while waiting
    EXPECT_FALSE(filter.WaitOver());
    EXPECT_TRUE(filter.Clicked());
    filter.DoubleClicked();
    EXPECT_FALSE(filter.WaitOver());
}

TEST(TrayIcon, RightButtonMenuOrMouseEvents)
{
    TTrayIcon icon;
    EventCount downs;
    QObject::connect(&icon, &TTrayIcon::OnMouseDown, [&](TTrayIcon::Button b) { downs.Add(b); });
    icon.Activated(QSystemTrayIcon::Context);
    icon.Activated(QSystemTrayIcon::MiddleClick);
    ASSERT_EQ(downs.count(), 2);
    EXPECT_EQ(downs.Buttons[0], TTrayIcon::Button::Right);
    EXPECT_EQ(downs.Buttons[1], TTrayIcon::Button::Middle);

    QMenu menu;
    icon.SetRBPopupMenu(&menu);
    icon.Activated(QSystemTrayIcon::Context);
    EXPECT_EQ(downs.count(), 2); // the menu takes the click
}

TEST(TrayIcons, DiskLampIndexAndBuiltInIcons)
{
    EXPECT_EQ(DiskIconIndex(false, false), 0);
    EXPECT_EQ(DiskIconIndex(true, false), 1);
    EXPECT_EQ(DiskIconIndex(false, true), 2);
    EXPECT_EQ(DiskIconIndex(true, true), 3);
    EXPECT_EQ(TrayUpdateIcon(true, false, true), 2);
    EXPECT_FALSE(TrayUpdateIcon(false, true, true));

    const auto icons = BuiltInTrayIcons(ShippedIcons);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_FALSE(icons[i].isNull());
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(icons[i].pixmap(16, 16).toImage(), icons[j].pixmap(16, 16).toImage());
    }
}

TEST(TrayIcons, BuiltInIconsAreTheShippedArtPixelForPixelAtEverySize)
{
    const auto icons = BuiltInTrayIcons(ShippedIcons);
    const auto art = [](int size) {
        return QImage(QStringLiteral("%1/tray-write-%2.png").arg(ShippedIcons).arg(size))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    for (int size : {16, 22, 24, 32, 48}) {
        const QImage shown = icons[2].pixmap(QSize(size, size), 1.0).toImage();
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied), art(size))
            << size << " pixels";
    }
    // HiDPI: a 22-pixel tray at twice the scale shows the 44-pixel art, not a scaled one.
    const QImage doubled = icons[2].pixmap(QSize(22, 22), 2.0).toImage();
    EXPECT_EQ(doubled.convertToFormat(QImage::Format_ARGB32_Premultiplied), art(44));
}

TEST(TrayIcons, OneMissingFileSwitchesAllFourToTheBuiltInIcons)
{
    TempProgramFolder folder;
    std::array<QString, 4> files;
    for (int i = 0; i < 4; ++i) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(QColor(i * 60, 0, 0));
        files[static_cast<std::size_t>(i)] = folder.File(QStringLiteral("icon%1.ico").arg(i));
        ASSERT_TRUE(image.save(files[static_cast<std::size_t>(i)], "ICO"));
    }
    QStringList log;
    const auto writeLog = [&](const QString& line) {
        log << line;
    };

    bool useDefault = false;
    const auto loaded = LoadTrayIcons(useDefault, files, ShippedIcons, writeLog);
    EXPECT_FALSE(useDefault);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(loaded[2].pixmap(16, 16).toImage().pixelColor(8, 8), QColor(120, 0, 0));

    QFile::remove(files[3]);
    const auto fallback = LoadTrayIcons(useDefault, files, ShippedIcons, writeLog);
    EXPECT_TRUE(useDefault);
    EXPECT_EQ(log, QStringList{"(!) Icon File(s) Does NOT Exist!"});
    EXPECT_EQ(fallback[2].pixmap(16, 16).toImage(), BuiltInTrayIcons(ShippedIcons)[2].pixmap(16, 16).toImage());

    // A file that is there but no picture falls back as well.
    QFile bad(files[3]);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not an icon");
    bad.close();
    useDefault = false;
    log.clear();
    LoadTrayIcons(useDefault, files, ShippedIcons, writeLog);
    EXPECT_TRUE(useDefault);
    EXPECT_EQ(log, QStringList{"(!) The ERROR occurred in drawing tray-icon!"});

    // A null icon never replaces the shown one.
    TTrayIcon icon;
    icon.SetIcon(loaded[1]);
    icon.SetIcon(QIcon());
    EXPECT_FALSE(icon.Icon().isNull());
}

TEST(TrayMenu, ItemsInOrderWithTheirCaptions)
{
    TempProgramFolder folder;
    folder.Write(QStringLiteral("English.lng"),
                 "[Header]\r\nDISCRIPTION=English\r\nLANGCODE=ENG\r\n[COMPONENTS]\r\n"
                 "C0200=Restore\r\nC0201=Restore hint\r\nC0202=Options\r\nC0203=Opt hint\r\n"
                 "C0204=Help\r\nC0205=Help hint\r\nC0206=Exit\r\nC0207=Exit hint\r\n"
                 "C0208=Icons\r\nC0209=Icons hint\r\n");
    TMRes res(folder.Path());
    ASSERT_TRUE(res.OpenLanguage(QStringLiteral("English")));

    QWidget owner;
    const TTrayMenu menu = BuildTrayMenu(&owner, res);
    QMenu* shown = MakeTrayMenuWidget(menu, &owner);
    QStringList names;
    QStringList captions;
    for (QAction* action : shown->actions()) {
        if (action->isSeparator())
            continue;
        names << action->objectName();
        captions << action->text();
    }
    EXPECT_EQ(names, (QStringList{"N4", "IcnEdit", "O1", "H1", "Exit1"}));
    EXPECT_EQ(captions, (QStringList{"Restore", "Icons", "Options", "Help", "Exit"}));
    EXPECT_EQ(menu.Exit1->statusTip(), "Exit hint");
    // Shown beside the item, as the window menu's are.
    EXPECT_TRUE(shown->toolTipsVisible());
    EXPECT_EQ(menu.Exit1->toolTip(), "Exit hint");

    TMRes empty(folder.Path());
    ApplyTrayMenuCaptions(menu, empty);
    EXPECT_EQ(menu.N4->text(), "(NoData:C0200)");
}

TEST(STips, FollowsItsLabelsSize)
{
    TSTips tips;
    EXPECT_EQ(tips.STip->objectName(), "STip");
    EXPECT_TRUE(tips.testAttribute(Qt::WA_ShowWithoutActivating));
    tips.SetTipText(QStringLiteral("Pulsmir Status Snapshot\r\nCPU : 12%"));
    EXPECT_EQ(tips.size(), tips.STip->size() + QSize(2, 2));
    EXPECT_EQ(tips.STip->text(), "Pulsmir Status Snapshot\nCPU : 12%");
    const QSize twoLines = tips.size();
    tips.SetTipText(QStringLiteral("Pulsmir Status Snapshot\r\nCPU : 12%\r\nMemory : 40%"));
    EXPECT_GT(tips.height(), twoLines.height());
    EXPECT_EQ(tips.TipText(), "Pulsmir Status Snapshot\r\nCPU : 12%\r\nMemory : 40%");
    tips.ShowAt({40, 50});
    EXPECT_TRUE(tips.isVisible());
    EXPECT_EQ(tips.pos(), QPoint(40, 50));
}

TEST(IconEditDlg, LoadBrowseAndSave)
{
    TempProgramFolder folder;
    TIconEditDlg dialog(folder.Path());
    for (QLineEdit* edit : dialog.Edits)
        EXPECT_TRUE(edit->text().isEmpty());

    dialog.Load(true, {});
    EXPECT_TRUE(dialog.RadioButton1->isChecked());
    EXPECT_FALSE(dialog.Edits[0]->isEnabled());
    EXPECT_FALSE(dialog.Buttons[3]->isEnabled());

    const std::array<QString, 4> paths{folder.File("a.ico"), folder.File("b.ico"),
                                       folder.File("c.ico"), folder.File("d.ico")};
    dialog.Load(false, paths);
    EXPECT_TRUE(dialog.RadioButton2->isChecked());
    EXPECT_TRUE(dialog.Edits[2]->isEnabled());
    EXPECT_TRUE(dialog.Labels[5]->isEnabled());
    EXPECT_EQ(dialog.Edits[1]->text(), paths[1]);

    QStringList starts;
    QString answer = folder.File("new.ico");
    dialog.OpenIcn = [&](QWidget*, const QString& start) {
        starts << start;
        return answer;
    };
    dialog.Buttons[1]->click();
    EXPECT_EQ(starts.last(), paths[1]); // the current file preselected
    EXPECT_EQ(dialog.Edits[1]->text(), folder.File("new.ico"));
    answer.clear(); // cancelled
    dialog.Buttons[1]->click();
    EXPECT_EQ(dialog.Edits[1]->text(), folder.File("new.ico"));

    dialog.RadioButton1->setChecked(true);
    EXPECT_FALSE(dialog.Buttons[0]->isEnabled());
    bool useDefault = false;
    std::array<QString, 4> saved;
    dialog.Save(useDefault, saved);
    EXPECT_TRUE(useDefault);
    EXPECT_EQ(saved[1], folder.File("new.ico"));
    EXPECT_EQ(saved[0], paths[0]);
}
