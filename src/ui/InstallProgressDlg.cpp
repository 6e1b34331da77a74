#include "ui/InstallProgressDlg.h"

#include "addin/PackageInstallJob.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

namespace {

// Small packages install before the dialog would be seen; it only flickers for them.
constexpr int ShowAfterMs = 300;
constexpr int PollMs = 100;

} // namespace

TInstallProgressDlg::TInstallProgressDlg(PackageInstallJob& job, const QString& fileName,
                                         QWidget* parent)
    : QDialog(parent), m_job(job)
{
    setWindowTitle(QStringLiteral("Installing Add-in"));
    setWindowModality(Qt::ApplicationModal);
    auto* name = new QLabel(QFileInfo(fileName).fileName(), this);
    m_text = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Cancel, Esc and the close button all end here; the dialog stays until the job has put
    // back what it wrote.
    connect(this, &QDialog::rejected, this, [this] {
        m_job.Progress().Cancel = true;
        m_text->setText(QStringLiteral("Cancelling..."));
        show();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(m_bar);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    ShowProgress();
}

void TInstallProgressDlg::ShowProgress()
{
    const UnpackProgress& progress = m_job.Progress();
    if (progress.Cancel)
        return;
    const qint64 size = progress.PackageSize;
    if (size > 0) {
        m_bar->setRange(0, 1000);
        m_bar->setValue(static_cast<int>(std::min<qint64>(progress.BytesRead * 1000 / size, 1000)));
    } else {
        m_bar->setRange(0, 0); // a pipe: how much is to come is not known
    }
    m_text->setText(QStringLiteral("%1 files, %2 KiB written")
                        .arg(progress.Entries.load())
                        .arg(progress.BytesWritten / 1024));
}

void TInstallProgressDlg::Run(PackageInstallJob& job, const QString& fileName, QWidget* parent)
{
    TInstallProgressDlg dialog(job, fileName, parent);
    std::atomic<bool> done{false};
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(PollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done)
            loop.quit();
        else
            dialog.ShowProgress();
    });
    QTimer::singleShot(ShowAfterMs, &dialog, [&] {
        if (!done)
            dialog.show();
    });
    std::thread worker([&] {
        job.Run();
        done = true;
    });
    poll.start();
    loop.exec();
    // The loop also ends when the program quits: the job must not outlive this.
    if (!done)
        job.Progress().Cancel = true;
    worker.join();
}
