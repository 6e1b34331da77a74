#include "ui/SstpTestDlg.h"

#include "doubles/RecordingDialogs.h"
#include "net/SstpNotifier.h"
#include "support/LogCapture.h"
#include "support/SstpTestHost.h"
#include "support/TempProgramFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class SstpTestDialog : public ::testing::Test
{
protected:
    SstpTestDialog()
    {
        folder.Write("sstp.ini", "[Start]\r\nType1=only one\r\n[ChangeSkin]\r\nType2=first\r\n"
                                 "Type7=second\r\n");
        folder.Write("other.ini", "[ShowHelp]\r\nType1=help script\r\n");
        notifier.SstpMasterFile = folder.File("sstp.ini");
        notifier.FSstp().Port = host.Port();
    }

    std::unique_ptr<TSstpTestDlg> Open()
    {
        auto dialog = std::make_unique<TSstpTestDlg>(notifier, dialogs, log.Writer());
        dialog->OpenMasterFile = [this](QWidget*) {
            return chosen;
        };
        return dialog;
    }

    static QStringList Items(const QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }

    TempProgramFolder folder;
    LogCapture log;
    RecordingDialogs dialogs;
    SstpTestHost host{[](const QByteArray&) {
        SstpHostReply reply;
        reply.Bytes = "SSTP/1.4 200 OK\r\n\r\n";
        return reply;
    }};
    bool sstpSwitch = false;
    TSstpNotifier notifier{sstpSwitch, log.Writer()};
    QString chosen;
};

} // namespace

TEST_F(SstpTestDialog, ListsEveryEventAndTheScriptsOfTheChosenOne)
{
    auto dialog = Open();
    TSstpTestDlg& form = *dialog;
    EXPECT_EQ(dialog->windowTitle(), "SSTP Test");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(Items(form.SecList), TSstpMsg::EventNames());
    EXPECT_TRUE(form.SecList->isEnabled());
    EXPECT_FALSE(form.ScrList->isEnabled());
    EXPECT_EQ(form.ScrView->toPlainText(), "Master File:" + folder.File("sstp.ini"));

    form.SecList->setCurrentRow(1); // ChangeSkin: two scripts, none chosen yet
    EXPECT_EQ(Items(form.ScrList), QStringList({"first", "second"}));
    EXPECT_TRUE(form.ScrList->isEnabled());
    EXPECT_EQ(form.ScrList->currentRow(), -1);
    form.ScrList->setCurrentRow(1);
    EXPECT_EQ(form.ScrView->toPlainText(), "second");

    form.SecList->setCurrentRow(0); // Start: its only script is shown at once
    EXPECT_EQ(form.ScrList->currentRow(), 0);
    EXPECT_EQ(form.ScrView->toPlainText(), "only one");

    form.SecList->setCurrentRow(2); // SkinInstall: none
    EXPECT_TRUE(Items(form.ScrList).isEmpty());
    EXPECT_EQ(form.ScrView->toPlainText(), "Master File:" + folder.File("sstp.ini"));
}

TEST_F(SstpTestDialog, ReloadKeepsTheSelectionAndOpenSwitchesTheMasterFile)
{
    auto dialog = Open();
    TSstpTestDlg& form = *dialog;
    form.SecList->setCurrentRow(1);
    form.ScrList->setCurrentRow(1);
    folder.Write("sstp.ini", "[ChangeSkin]\r\nType1=new first\r\nType2=new second\r\n");
    dialog->ReloadClick();
    EXPECT_EQ(form.SecList->currentRow(), 1);
    EXPECT_EQ(form.ScrList->currentRow(), 1);
    EXPECT_EQ(form.ScrView->toPlainText(), "new second");

    chosen = folder.File("missing.ini");
    dialog->OpenClick();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].type, DialogType::Error);
    EXPECT_EQ(dialogs.boxes[0].text, "Unsuccessful to reading of data.\r\nCheck existence of a "
                                     "master file.\r\n\r\nError : " +
                                         chosen);
    EXPECT_EQ(notifier.SstpMasterFile, folder.File("sstp.ini"));
    EXPECT_EQ(Items(form.SecList).size(), TSstpMsg::EventNames().size());

    chosen = folder.File("other.ini");
    dialog->OpenClick();
    EXPECT_EQ(notifier.SstpMasterFile, chosen);
    EXPECT_EQ(notifier.Msg().GetScript("ShowHelp"), "help script");

    chosen.clear(); // cancelled
    dialog->OpenClick();
    EXPECT_EQ(notifier.SstpMasterFile, folder.File("other.ini"));
}

TEST_F(SstpTestDialog, AMissingMasterFileIsReportedOnOpening)
{
    notifier.SstpMasterFile = folder.File("gone.ini");
    auto dialog = Open();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.endsWith("\r\n\r\nMaster File : " + folder.File("gone.ini")));
    EXPECT_FALSE(dialog->SecList->isEnabled());
    EXPECT_EQ(dialog->SecList->count(), 0);
}

TEST_F(SstpTestDialog, TestSendsTheChosenScriptWithTheSwitchOff)
{
    auto dialog = Open();
    TSstpTestDlg& form = *dialog;
    dialog->TestClick(); // nothing chosen: only the log line
    EXPECT_EQ(log.Lines(), QStringList({"Push the Test!"}));
    EXPECT_EQ(host.Connections(), 0);

    form.SecList->setCurrentRow(0);
    form.TestButton->click();
    EXPECT_TRUE(form.TestButton->isEnabled());
    EXPECT_FALSE(sstpSwitch);
    QElapsedTimer clock;
    clock.start();
    while (host.Requests().size() < 3 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(host.Requests().size(), 3u);
    EXPECT_TRUE(host.Requests()[2].contains("Script: only one\r\n"));
    EXPECT_TRUE(log.Lines().contains(".:.:. SSTP Sending :only one"));
}
