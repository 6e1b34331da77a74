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

TTrayMenu BuildTrayMenu(QWidget* parent, const TMRes& res)
{
    TTrayMenu menu;
    menu.Menu = new QMenu(parent);
    menu.Menu->setObjectName(QStringLiteral("TrayMenu"));
    menu.Menu->setToolTipsVisible(true);
    const auto add = [&](const char* name) {
        QAction* action = menu.Menu->addAction(QString());
        action->setObjectName(QLatin1String(name));
        return action;
    };
    menu.N4 = add("N4");
    menu.IcnEdit = add("IcnEdit");
    menu.Menu->addSeparator();
    menu.O1 = add("O1");
    menu.H1 = add("H1");
    menu.Menu->addSeparator();
    menu.Exit1 = add("Exit1");
    ApplyTrayMenuCaptions(menu, res);
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
