#pragma once

class QAction;
class QMenu;
class QWidget;
class TMRes;

// The tray icon's menu, with the items under their component names.
struct TTrayMenu
{
    QMenu* Menu = nullptr;
    QAction* N4 = nullptr;      // back from the tray
    QAction* IcnEdit = nullptr; // icon editor
    QAction* O1 = nullptr;      // options
    QAction* H1 = nullptr;      // help
    QAction* Exit1 = nullptr;
};

// An item's caption and its hint, shown beside the item, from the language table.
void SetMenuTexts(QAction* action, const TMRes& res, const char* caption, const char* hint);

// Builds the menu, owned by parent, with the captions of the open language.
TTrayMenu BuildTrayMenu(QWidget* parent, const TMRes& res);
// Captions and hints again, after the language changed.
void ApplyTrayMenuCaptions(const TTrayMenu& menu, const TMRes& res);
