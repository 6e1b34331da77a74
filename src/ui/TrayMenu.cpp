#include "ui/TrayMenu.h"

#include "res/MRes.h"

#include <QAction>
#include <QMenu>

void SetMenuTexts(QAction* action, const TMRes& res, const char* caption, const char* hint)
{
    action->setText(res.GetText(QLatin1String(caption)));
    const QString tip = res.GetText(QLatin1String(hint));
    action->setToolTip(tip);
    action->setStatusTip(tip);
}

TTrayMenu BuildTrayMenu(QObject* parent, const TMRes& res)
{
    TTrayMenu menu;
    const auto add = [&](const char* name) {
        auto* action = new QAction(parent);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    menu.N4 = add("N4");
    menu.IcnEdit = add("IcnEdit");
    menu.O1 = add("O1");
    menu.H1 = add("H1");
    menu.Exit1 = add("Exit1");
    ApplyTrayMenuCaptions(menu, res);
    return menu;
}

QMenu* MakeTrayMenuWidget(const TTrayMenu& items, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("TrayMenu"));
    menu->setToolTipsVisible(true);
    menu->addActions({items.N4, items.IcnEdit});
    menu->addSeparator();
    menu->addActions({items.O1, items.H1});
    menu->addSeparator();
    menu->addAction(items.Exit1);
    return menu;
}

void ApplyTrayMenuCaptions(const TTrayMenu& menu, const TMRes& res)
{
    SetMenuTexts(menu.N4, res, "C0200", "C0201");
    SetMenuTexts(menu.O1, res, "C0202", "C0203");
    SetMenuTexts(menu.H1, res, "C0204", "C0205");
    SetMenuTexts(menu.Exit1, res, "C0206", "C0207");
    SetMenuTexts(menu.IcnEdit, res, "C0208", "C0209");
}
