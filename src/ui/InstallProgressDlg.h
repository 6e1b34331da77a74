#pragma once

#include <QDialog>
#include <memory>

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

    // Runs the job on a thread of its own and returns once it has finished: true, and its
    // result can be read. The dialog shows when the job takes more than a moment; Cancel closes
    // it and asks the job to stop and put back what it wrote. A cancelled job that does not
    // stop within a moment (its files do not answer), or one still running when the program
    // quits, is left to finish on its own: false.
    static bool Run(const std::shared_ptr<PackageInstallJob>& job, const QString& fileName,
                    QWidget* parent = nullptr, const TMRes* res = nullptr);

private:
    void ShowProgress();
    void PlaceOutside(const QWidget* window);

    PackageInstallJob& m_job;
    const TMRes* m_res;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
};
