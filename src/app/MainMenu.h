#pragma once

#include "skin/SkinCatalogue.h"

#include <QObject>
#include <memory>

class MainMenuStyle;
class QAction;
class QActionGroup;
class QMenu;
class QWidget;
class QWidgetAction;
class TMRes;
class TSkinColumns;

// The main window's pop-up menu `RPopup` with its items under their form names. Captions and
// hints come from the language table; the skin submenu lists the skins above its fixed items.
// The items live from the start (they hold the switches' states); the menus themselves are
// made when first asked for, since a menu costs a quarter of a megabyte before it is shown.
class TMainMenu : public QObject
{
    Q_OBJECT

public:
    explicit TMainMenu(QWidget* owner);
    ~TMainMenu() override;

    QAction* mCMode = nullptr;
    QAction* InTT = nullptr;
    QAction* LinearOFF = nullptr;
    QAction* N2 = nullptr;
    QAction* MListRef = nullptr;
    QAction* MFltSwitch = nullptr;
    QAction* MFltAniSwitch = nullptr;
    QAction* ESMute = nullptr;
    QAction* AlphaSwitch = nullptr;
    QAction* PingP1 = nullptr;
    QAction* OptionV = nullptr;
    QAction* mHelp = nullptr;
    QAction* ExitE = nullptr;

    // The menu and its submenus, made at the first call.
    QMenu* RPopup();
    QMenu* SkinT();
    QMenu* F1();

    // Every caption and hint from the language table.
    void ApplyTexts(const TMRes& texts, int skinMode);
    // Without a notification area the tray item is disabled, its hint saying why and, while
    // the settings ask for the tray, that the window goes there once one appears.
    void SetTrayAvailability(const TMRes& texts, bool available, bool waiting);
    // The mode item's caption for the mode the window is in now.
    void SetModeCaption(const TMRes& texts, int skinMode);
    // Rebuilds the skin items: one checkable item per entry, or a disabled "(No Skin!)"; more
    // than 30 skins go into columns of 30.
    // The skin items' captions, top to bottom.
    const QStringList& SkinNames() const { return m_skinNames; }
    void SetSkinItems(const SkinList& skins, const QString& currentSkinName);
    // The first skin of the menu; empty when there is none.
    QString FirstSkinName() const;
    // Puts the check mark on the named skin. Choosing an item leaves the mark where it is; the
    // switch moves it once it has succeeded.
    void CheckSkin(const QString& name);
    // The owner-drawn look when on, the desktop's look when off.
    void SetOwnerDrawn(bool on);

signals:
    void SkinChosen(const QString& name);
    // The menu is about to open.
    void Opening();

private:
    QAction* NewItem(const char* objectName, bool checkable = false);
    void ApplyTrayTexts(const TMRes& texts);

    QWidget* m_owner;
    QMenu* m_popup = nullptr;
    QMenu* m_skinMenu = nullptr;
    QMenu* m_floatMenu = nullptr;
    QString m_skinTitle;
    QString m_floatTitle;
    QAction* m_skinSeparator = nullptr;
    // Above the separator of the skin submenu.
    QList<QAction*> m_skinItems;
    QStringList m_skinNames;
    QString m_checkedSkin;
    QWidgetAction* m_columnsAction = nullptr;
    TSkinColumns* m_columns = nullptr;
    QActionGroup* m_skinGroup = nullptr;
    std::unique_ptr<MainMenuStyle> m_style;
    bool m_ownerDrawn = false;
    bool m_trayAvailable = true;
    bool m_trayWaiting = false;
};
