#pragma once

#include <QDialog>

class PackageInstallJob;
class QLabel;
class QProgressBar;
class TMRes;

// "Installing Add-in": an add-in package being installed on a thread of its own while the
// window goes on drawing, with how far it has come and Cancel.
class TInstallProgressDlg : public QDialog
{
    Q_OBJECT

public:
    // Captions in the open language when one is given.
    TInstallProgressDlg(PackageInstallJob& job, const QString& fileName, QWidget* parent = nullptr,
                        const TMRes* res = nullptr);

    // Runs the job to its end and returns then. The dialog shows when the job takes more than a
    // moment; Cancel asks the job to stop and put back what it wrote. When the program quits
    // meanwhile, the job is cancelled too.
    static void Run(PackageInstallJob& job, const QString& fileName, QWidget* parent = nullptr,
                    const TMRes* res = nullptr);

private:
    void ShowProgress();
    void PlaceOutside(const QWidget* window);

    PackageInstallJob& m_job;
    const TMRes* m_res;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
};
