#include "ui/SstpTestDlg.h"

#include "net/SstpNotifier.h"
#include "platform/Dialogs.h"
#include "res/MRes.h"
#include "ui/ControlTexts.h"
#include "ui_SstpTestDlg.h"

#include <QFileDialog>

namespace {

const ControlText Texts[] = {
    {"SstpTestDlg", "C0550", nullptr},  {"SecTitle", "C0551", nullptr},
    {"ScrTitle", "C0552", nullptr},     {"TestButton", "C0553", nullptr},
    {"ReloadButton", "C0554", nullptr}, {"OpenButton", "C0555", nullptr},
    {"CloseButton", "C0556", nullptr},
};

} // namespace

TSstpTestDlg::TSstpTestDlg(TSstpNotifier& notifier, Dialogs& dialogs, TaggedLog log,
                           QWidget* parent, const TMRes* res)
    : QDialog(parent),
      OpenMasterFile([res](QWidget* owner) { return OpenMasterFileDialog(owner, res); }),
      m_notifier(notifier), m_dialogs(dialogs), m_res(res), m_log(std::move(log)),
      m_form(std::make_unique<Ui::SstpTestDlg>())
{
    m_form->setupUi(this);
    if (m_res)
        ApplyControlTexts(*this, *m_res, Texts);
    SecList = m_form->SecList;
    ScrList = m_form->ScrList;
    ScrView = m_form->ScrView;
    TestButton = m_form->TestButton;
    connect(SecList, &QListWidget::currentRowChanged, this, &TSstpTestDlg::SecListClick);
    connect(ScrList, &QListWidget::currentRowChanged, this, &TSstpTestDlg::ScrListClick);
    connect(m_form->ReloadButton, &QPushButton::clicked, this, &TSstpTestDlg::ReloadClick);
    connect(m_form->OpenButton, &QPushButton::clicked, this, &TSstpTestDlg::OpenClick);
    connect(TestButton, &QPushButton::clicked, this, &TSstpTestDlg::TestClick);
    LoadMasterFile(m_notifier.SstpMasterFile,
                   TextOr(m_res, "R0634", QStringLiteral("Master File :")));
    FillLists();
}

TSstpTestDlg::~TSstpTestDlg() = default;

QString TSstpTestDlg::OpenMasterFileDialog(QWidget* parent, const TMRes* res)
{
    return QFileDialog::getOpenFileName(
        parent, TextOr(res, "C0557", QStringLiteral("Open SSTP Master File")), QString(),
        TextOr(res, "C0558", QStringLiteral("Master File(.ini) (*.ini)")));
}

bool TSstpTestDlg::LoadMasterFile(const QString& path, const QString& label)
{
    if (m_notifier.Msg().LoadFromFile(path))
        return true;
    m_dialogs.Error(TextOr(m_res, "R0633",
                           QStringLiteral("Unsuccessful to reading of data.\r\nCheck existence "
                                          "of a master file.")) +
                    QStringLiteral("\r\n\r\n") + label + u' ' + path);
    return false;
}

QString TSstpTestDlg::MasterFileLine() const
{
    return TextOr(m_res, "C0559", QStringLiteral("Master File:")) + m_notifier.SstpMasterFile;
}

void TSstpTestDlg::FillLists()
{
    const QSignalBlocker secBlocker(SecList);
    const QSignalBlocker scrBlocker(ScrList);
    SecList->clear();
    SecList->setEnabled(false);
    ScrList->clear();
    ScrList->setEnabled(false);
    ScrView->setPlainText(MasterFileLine());
    const QStringList events = m_notifier.Msg().CountNames();
    SecList->addItems(events);
    SecList->setEnabled(!events.isEmpty());
}

void TSstpTestDlg::SecListClick()
{
    const QSignalBlocker blocker(ScrList);
    ScrList->clear();
    ScrList->setEnabled(false);
    ScrView->setPlainText(MasterFileLine());
    const QListWidgetItem* section = SecList->currentItem();
    if (!section)
        return;
    const TSstpMsg& msg = m_notifier.Msg();
    const int count = msg.Count(section->text());
    for (int number = 1; number <= count; ++number)
        ScrList->addItem(msg.Script(section->text(), number));
    ScrList->setEnabled(true);
    if (count == 1) {
        ScrList->setCurrentRow(0);
        ScrListClick();
    }
}

void TSstpTestDlg::ScrListClick()
{
    if (const QListWidgetItem* script = ScrList->currentItem())
        ScrView->setPlainText(script->text());
}

void TSstpTestDlg::ReloadClick()
{
    const int section = SecList->currentRow();
    const int script = ScrList->currentRow();
    LoadMasterFile(m_notifier.SstpMasterFile,
                   TextOr(m_res, "R0634", QStringLiteral("Master File :")));
    FillLists();
    if (section >= 0 && section < SecList->count()) {
        SecList->setCurrentRow(section);
        if (script >= 0 && script < ScrList->count())
            ScrList->setCurrentRow(script);
    }
}

void TSstpTestDlg::OpenClick()
{
    const QString path = OpenMasterFile ? OpenMasterFile(this) : QString();
    if (path.isEmpty())
        return;
    if (LoadMasterFile(path, TextOr(m_res, "R0635", QStringLiteral("Error :"))))
        m_notifier.SstpMasterFile = path;
    ReloadClick();
}

void TSstpTestDlg::TestClick()
{
    m_log(QStringLiteral("Push the Test!"));
    const QListWidgetItem* script = ScrList->currentItem();
    if (!script)
        return;
    TestButton->setEnabled(false);
    m_notifier.SendTestScript(script->text());
    TestButton->setEnabled(true);
}
