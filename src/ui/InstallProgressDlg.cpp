#include "ui/InstallProgressDlg.h"

#include "addin/PackageInstallJob.h"
#include "res/MRes.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Small packages install before the dialog would be seen; it only flickers for them.
constexpr int ShowAfterMs = 300;
constexpr int PollMs = 100;
constexpr int Gap = 8;

} // namespace

TInstallProgressDlg::TInstallProgressDlg(PackageInstallJob& job, const QString& fileName,
                                         QWidget* parent, const TMRes* res)
    : QDialog(parent), m_job(job), m_res(res)
{
    setWindowTitle(TextOr(res, "C0421", QStringLiteral("Installing Add-in")));
    setWindowModality(Qt::ApplicationModal);
    auto* name = new QLabel(QFileInfo(fileName).fileName(), this);
    m_text = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)
        ->setText(TextOr(res, "C0155", QStringLiteral("Cancel")));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Cancel, Esc and the close button all end here; the dialog stays until the job has put
    // back what it wrote.
    connect(this, &QDialog::rejected, this, [this] {
        m_job.Progress().Cancel = true;
        m_text->setText(TextOr(m_res, "C0422", QStringLiteral("Cancelling...")));
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
    m_text->setText(TextOr(m_res, "C0423", QStringLiteral("%1 files, %2 KiB written"))
                        .arg(progress.Entries.load())
                        .arg(progress.BytesWritten / 1024));
}

void TInstallProgressDlg::PlaceOutside(const QWidget* window)
{
    // Over the monitor it would hide what goes on being drawn: below it, or above when there is
    // no room below.
    adjustSize();
    if (!window || !window->isVisible() || !window->screen())
        return;
    const QRect beside = window->frameGeometry();
    const QRect screen = window->screen()->availableGeometry();
    QPoint at(
        std::clamp(beside.left(), screen.left(), std::max(screen.left(), screen.right() - width())),
        beside.bottom() + Gap);
    if (at.y() + frameGeometry().height() > screen.bottom())
        at.setY(std::max(screen.top(), beside.top() - frameGeometry().height() - Gap));
    move(at);
}

void TInstallProgressDlg::Run(PackageInstallJob& job, const QString& fileName, QWidget* parent,
                              const TMRes* res)
{
    TInstallProgressDlg dialog(job, fileName, parent, res);
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
        if (done)
            return;
        dialog.PlaceOutside(parent);
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
