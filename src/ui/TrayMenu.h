#pragma once

class QAction;
class QMenu;
class QObject;
class QWidget;
class TMRes;

// The tray icon's menu items under their component names. The items are made at once (their
// states and signals are wired at start-up); the menu only when a notification area needs it,
// since a menu costs a quarter of a megabyte before it is ever shown.
struct TTrayMenu
{
    QAction* N4 = nullptr;      // back from the tray
    QAction* IcnEdit = nullptr; // icon editor
    QAction* O1 = nullptr;      // options
    QAction* H1 = nullptr;      // help
    QAction* Exit1 = nullptr;
};

// An item's caption and its hint, shown beside the item, from the language table.
void SetMenuTexts(QAction* action, const TMRes& res, const char* caption, const char* hint);

// Makes the items, owned by parent, with the captions of the open language.
TTrayMenu BuildTrayMenu(QObject* parent, const TMRes& res);
// The menu of these items, owned by parent.
QMenu* MakeTrayMenuWidget(const TTrayMenu& items, QWidget* parent);
// Captions and hints again, after the language changed.
void ApplyTrayMenuCaptions(const TTrayMenu& menu, const TMRes& res);
