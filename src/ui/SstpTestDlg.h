#pragma once

#include "log/DebugLog.h"

#include <QDialog>
#include <functional>
#include <memory>

class Dialogs;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class TSstpNotifier;
namespace Ui {
class SstpTestDlg;
}

// "SSTP Test": the events and scripts of the master file, one of which the user sends by hand.
// Opening it loads the master file the notifier names; another file opened here stays the
// master file for the rest of the run.
class TMRes;

class TSstpTestDlg : public QDialog
{
    Q_OBJECT

public:
    // Asks for a master file; empty when cancelled.
    using ChooseFile = std::function<QString(QWidget* parent)>;

    // Captions and messages in the open language when one is given.
    TSstpTestDlg(TSstpNotifier& notifier, Dialogs& dialogs, TaggedLog log,
                 QWidget* parent = nullptr, const TMRes* res = nullptr);
    ~TSstpTestDlg() override;

    ChooseFile OpenMasterFile;
    static QString OpenMasterFileDialog(QWidget* parent, const TMRes* res = nullptr);

    QListWidget* SecList = nullptr;
    QListWidget* ScrList = nullptr;
    QPlainTextEdit* ScrView = nullptr;
    QPushButton* TestButton = nullptr;

    void SecListClick();
    void ScrListClick();
    void ReloadClick();
    void OpenClick();
    void TestClick();

private:
    bool LoadMasterFile(const QString& path, const QString& label);
    void FillLists();
    QString MasterFileLine() const;

    TSstpNotifier& m_notifier;
    Dialogs& m_dialogs;
    const TMRes* m_res;
    TaggedLog m_log;
    std::unique_ptr<Ui::SstpTestDlg> m_form;
};
