#include "app/MainMenu.h"

#include "app/SkinColumns.h"
#include "res/MRes.h"
#include "skin/MenuStyle.h"
#include "ui/TrayMenu.h"

#include <QActionGroup>
#include <QMenu>
#include <QStyle>
#include <QWidgetAction>

namespace {

const QString NoSkinCaption = QStringLiteral("(No Skin!)");

} // namespace

TMainMenu::TMainMenu(QWidget* owner) : QObject(owner), m_owner(owner)
{
    mCMode = NewItem("mCMode");
    InTT = NewItem("InTT", true);
    LinearOFF = NewItem("LinearOFF", true);
    N2 = NewItem("N2");
    MListRef = NewItem("MListRef");
    MFltSwitch = NewItem("MFltSwitch", true);
    MFltAniSwitch = NewItem("MFltAniSwitch", true);
    ESMute = NewItem("ESMute", true);
    AlphaSwitch = NewItem("AlphaSwitch", true);
    PingP1 = NewItem("PingP1");
    OptionV = NewItem("OptionV");
    mHelp = NewItem("mHelp");
    ExitE = NewItem("ExitE");

    m_skinGroup = new QActionGroup(this);
    m_skinGroup->setExclusive(true);
    SetSkinItems({}, {});
}

TMainMenu::~TMainMenu()
{
    // The menus outlive this object as children of the window; they must not keep the style.
    SetOwnerDrawn(false);
}

QAction* TMainMenu::NewItem(const char* objectName, bool checkable)
{
    auto* action = new QAction(QLatin1String(objectName), this);
    action->setObjectName(QLatin1String(objectName));
    action->setCheckable(checkable);
    return action;
}

QMenu* TMainMenu::RPopup()
{
    if (m_popup)
        return m_popup;
    const auto menu = [](QWidget* parent, const char* objectName) {
        auto* made = new QMenu(parent);
        made->setObjectName(QLatin1String(objectName));
        made->setToolTipsVisible(true);
        return made;
    };
    m_popup = menu(m_owner, "RPopup");
    m_popup->addActions({mCMode, InTT});
    m_popup->addSeparator();

    m_skinMenu = menu(m_popup, "SkinT");
    m_skinMenu->setTitle(m_skinTitle);
    m_popup->addMenu(m_skinMenu);
    m_skinMenu->addActions(m_skinItems);
    m_skinSeparator = m_skinMenu->addSeparator();
    m_skinMenu->addActions({LinearOFF, N2, MListRef});

    m_floatMenu = menu(m_popup, "F1");
    m_floatMenu->setTitle(m_floatTitle);
    m_popup->addMenu(m_floatMenu);
    m_floatMenu->addActions({MFltSwitch, MFltAniSwitch});

    m_popup->addActions({ESMute, AlphaSwitch, PingP1});
    m_popup->addSeparator();
    m_popup->addActions({OptionV, mHelp});
    m_popup->addSeparator();
    m_popup->addAction(ExitE);
    connect(m_popup, &QMenu::aboutToShow, this, &TMainMenu::Opening);
    if (m_ownerDrawn)
        m_style->ApplyTo(m_popup);
    return m_popup;
}

QMenu* TMainMenu::SkinT()
{
    RPopup();
    return m_skinMenu;
}

QMenu* TMainMenu::F1()
{
    RPopup();
    return m_floatMenu;
}

void TMainMenu::ApplyTexts(const TMRes& texts, int skinMode)
{
    SetModeCaption(texts, skinMode);
    mCMode->setToolTip(texts.GetText(QStringLiteral("C0102")));
    ApplyTrayTexts(texts);
    m_skinTitle = texts.GetText(QStringLiteral("C0105"));
    if (m_skinMenu)
        m_skinMenu->setTitle(m_skinTitle);
    SetMenuTexts(N2, texts, "C0106", "C0107");
    SetMenuTexts(MListRef, texts, "C0108", "C0109");
    m_floatTitle = texts.GetText(QStringLiteral("C0110"));
    if (m_floatMenu)
        m_floatMenu->setTitle(m_floatTitle);
    SetMenuTexts(MFltSwitch, texts, "C0111", "C0112");
    SetMenuTexts(MFltAniSwitch, texts, "C0113", "C0114");
    SetMenuTexts(AlphaSwitch, texts, "C0115", "C0116");
    SetMenuTexts(PingP1, texts, "C0117", "C0118");
    SetMenuTexts(OptionV, texts, "C0119", "C0120");
    SetMenuTexts(mHelp, texts, "C0121", "C0122");
    SetMenuTexts(ExitE, texts, "C0123", "C0124");
    SetMenuTexts(LinearOFF, texts, "C0125", "C0126");
    SetMenuTexts(ESMute, texts, "C0127", "C0128");
}

void TMainMenu::SetTrayAvailability(const TMRes& texts, bool available, bool waiting)
{
    m_trayAvailable = available;
    m_trayWaiting = waiting;
    ApplyTrayTexts(texts);
}

void TMainMenu::ApplyTrayTexts(const TMRes& texts)
{
    const char* hint = m_trayAvailable ? "C0104" : m_trayWaiting ? "C0130" : "C0129";
    SetMenuTexts(InTT, texts, "C0103", hint);
    InTT->setEnabled(m_trayAvailable);
}

void TMainMenu::SetModeCaption(const TMRes& texts, int skinMode)
{
    if (skinMode == 0)
        mCMode->setText(texts.GetText(QStringLiteral("C0100")));
    else if (skinMode == 1)
        mCMode->setText(texts.GetText(QStringLiteral("C0101")));
    else
        mCMode->setText(QStringLiteral("Mode Number Error"));
}

void TMainMenu::SetSkinItems(const SkinList& skins, const QString& currentSkinName)
{
    for (QAction* action : std::as_const(m_skinItems)) {
        if (m_skinMenu)
            m_skinMenu->removeAction(action);
        if (action != m_columnsAction)
            delete action;
    }
    m_skinItems.clear();

    m_checkedSkin = currentSkinName;
    m_skinNames.clear();
    for (const SkinListEntry& entry : skins)
        m_skinNames << entry.Name;

    QList<QAction*> items;
    if (skins.empty()) {
        auto* none = new QAction(NoSkinCaption, this);
        none->setEnabled(false);
        none->setCheckable(true);
        none->setProperty("Tag", 0);
        items << none;
    } else if (skins.size() > TSkinColumns::RowsPerColumn) {
        if (!m_columnsAction) {
            m_columnsAction = new QWidgetAction(this);
            m_columns = new TSkinColumns;
            m_columnsAction->setDefaultWidget(m_columns);
            connect(m_columns, &TSkinColumns::SkinChosen, this, &TMainMenu::SkinChosen);
        }
        m_columns->SetOwnerDrawn(m_ownerDrawn);
        m_columns->SetSkins(m_skinNames, currentSkinName);
        items << m_columnsAction;
    } else {
        for (const QString& name : m_skinNames) {
            auto* item = new QAction(name, this);
            item->setCheckable(true);
            item->setChecked(name == currentSkinName);
            item->setProperty("Tag", MainMenuStyle::SkinTag);
            m_skinGroup->addAction(item);
            connect(item, &QAction::triggered, this, [this, name] {
                // The group has moved the check already; it stays on the skin in use.
                CheckSkin(m_checkedSkin);
                emit SkinChosen(name);
            });
            items << item;
        }
    }
    m_skinItems = items;
    if (m_skinMenu)
        m_skinMenu->insertActions(m_skinSeparator, items);
}

QString TMainMenu::FirstSkinName() const
{
    return m_skinNames.isEmpty() ? QString() : m_skinNames.first();
}

void TMainMenu::CheckSkin(const QString& name)
{
    m_checkedSkin = name;
    if (m_columns)
        m_columns->SetCurrent(name);
    for (QAction* action : std::as_const(m_skinItems)) {
        if (action->property("Tag").toInt() == MainMenuStyle::SkinTag)
            action->setChecked(action->text() == name);
    }
}

void TMainMenu::SetOwnerDrawn(bool on)
{
    if (on == m_ownerDrawn)
        return;
    m_ownerDrawn = on;
    if (m_columns)
        m_columns->SetOwnerDrawn(on);
    if (on) {
        if (!m_style)
            m_style = std::make_unique<MainMenuStyle>();
        m_style->ApplyTo(m_popup);
        return;
    }
    for (QMenu* menu : {m_popup, m_skinMenu, m_floatMenu})
        if (menu)
            menu->setStyle(nullptr);
}
