#include "ui/TrayMenu.h"

#include "res/MRes.h"

#include <QMenu>

namespace {

void SetCaption(QAction* action, const TMRes& res, const char* caption, const char* hint)
{
    action->setText(res.GetText(QLatin1String(caption)));
    action->setStatusTip(res.GetText(QLatin1String(hint)));
}

} // namespace

TTrayMenu BuildTrayMenu(QWidget* parent, const TMRes& res)
{
    TTrayMenu menu;
    menu.Menu = new QMenu(parent);
    menu.Menu->setObjectName(QStringLiteral("TrayMenu"));
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
    SetCaption(menu.N4, res, "C0200", "C0201");
    SetCaption(menu.O1, res, "C0202", "C0203");
    SetCaption(menu.H1, res, "C0204", "C0205");
    SetCaption(menu.Exit1, res, "C0206", "C0207");
    SetCaption(menu.IcnEdit, res, "C0208", "C0209");
}
