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

TMainMenu::TMainMenu(QWidget* owner) : QObject(owner)
{
    RPopup = new QMenu(owner);
    RPopup->setObjectName(QStringLiteral("RPopup"));
    RPopup->setToolTipsVisible(true);

    mCMode = AddItem(RPopup, "mCMode");
    InTT = AddItem(RPopup, "InTT", true);
    RPopup->addSeparator();

    SkinT = new QMenu(RPopup);
    SkinT->setObjectName(QStringLiteral("SkinT"));
    SkinT->setToolTipsVisible(true);
    RPopup->addMenu(SkinT);
    m_skinSeparator = SkinT->addSeparator();
    LinearOFF = AddItem(SkinT, "LinearOFF", true);
    N2 = AddItem(SkinT, "N2");
    MListRef = AddItem(SkinT, "MListRef");

    F1 = new QMenu(RPopup);
    F1->setObjectName(QStringLiteral("F1"));
    F1->setToolTipsVisible(true);
    RPopup->addMenu(F1);
    MFltSwitch = AddItem(F1, "MFltSwitch", true);
    MFltAniSwitch = AddItem(F1, "MFltAniSwitch", true);

    ESMute = AddItem(RPopup, "ESMute", true);
    AlphaSwitch = AddItem(RPopup, "AlphaSwitch", true);
    PingP1 = AddItem(RPopup, "PingP1");
    RPopup->addSeparator();
    OptionV = AddItem(RPopup, "OptionV");
    mHelp = AddItem(RPopup, "mHelp");
    RPopup->addSeparator();
    ExitE = AddItem(RPopup, "ExitE");

    m_skinGroup = new QActionGroup(this);
    m_skinGroup->setExclusive(true);
    SetSkinItems({}, {});
}

TMainMenu::~TMainMenu()
{
    // The menus outlive this object as children of the window; they must not keep the style.
    SetOwnerDrawn(false);
}

QAction* TMainMenu::AddItem(QMenu* menu, const char* objectName, bool checkable)
{
    QAction* action = menu->addAction(QLatin1String(objectName));
    action->setObjectName(QLatin1String(objectName));
    action->setCheckable(checkable);
    return action;
}

void TMainMenu::ApplyTexts(const TMRes& texts, int skinMode)
{
    SetModeCaption(texts, skinMode);
    mCMode->setToolTip(texts.GetText(QStringLiteral("C0102")));
    ApplyTrayTexts(texts);
    SkinT->setTitle(texts.GetText(QStringLiteral("C0105")));
    SetMenuTexts(N2, texts, "C0106", "C0107");
    SetMenuTexts(MListRef, texts, "C0108", "C0109");
    F1->setTitle(texts.GetText(QStringLiteral("C0110")));
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
    SkinT->setEnabled(false);
    for (QAction* action : SkinT->actions()) {
        if (action == m_skinSeparator)
            break;
        SkinT->removeAction(action);
        if (action != m_columnsAction)
            delete action;
    }

    m_checkedSkin = currentSkinName;
    m_skinNames.clear();
    for (const SkinListEntry& entry : skins)
        m_skinNames << entry.Name;

    QList<QAction*> items;
    if (skins.empty()) {
        auto* none = new QAction(NoSkinCaption, SkinT);
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
            auto* item = new QAction(name, SkinT);
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
    SkinT->insertActions(m_skinSeparator, items);
    SkinT->setEnabled(true);
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
    for (QAction* action : SkinT->actions()) {
        if (action == m_skinSeparator)
            break;
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
        m_style->ApplyTo(RPopup);
        return;
    }
    for (QMenu* menu : {RPopup, SkinT, F1})
        menu->setStyle(nullptr);
}
