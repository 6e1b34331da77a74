#include "ui/InstallProgressDlg.h"

#include "addin/PackageInstallJob.h"
#include "platform/DetachedThreads.h"
#include "res/MRes.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Small packages install before the dialog would be seen; it only flickers for them.
constexpr int ShowAfterMs = 300;
constexpr int PollMs = 100;
// How long a cancelled job is waited for to put back what it wrote, out of sight, before it is
// left to finish on its own (its file system may not answer for a long time).
constexpr int CancelGraceMs = 500;
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
    // Cancel, Esc and the close button all end here, and the dialog goes at once: the job
    // puts back what it wrote on its own thread, however long its files take to answer.
    connect(this, &QDialog::rejected, this, [this] { m_job.Progress().Cancel = true; });
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
    m_text->setText(FillText(
        TextOr(m_res, "C0423", QStringLiteral("%1 files, %2 KiB written")),
        {QString::number(progress.Entries.load()), QString::number(progress.BytesWritten / 1024)}));
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

bool TInstallProgressDlg::Run(const std::shared_ptr<PackageInstallJob>& job,
                              const QString& fileName, QWidget* parent, const TMRes* res)
{
    TInstallProgressDlg dialog(*job, fileName, parent, res);
    QEventLoop loop;
    QElapsedTimer sinceCancel;
    QTimer poll;
    poll.setInterval(PollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (job->Finished())
            loop.quit();
        else if (!job->Progress().Cancel)
            dialog.ShowProgress();
        else if (!sinceCancel.isValid())
            sinceCancel.start();
        else if (sinceCancel.elapsed() >= CancelGraceMs)
            loop.quit();
    });
    QTimer::singleShot(ShowAfterMs, &dialog, [&] {
        if (job->Finished() || job->Progress().Cancel)
            return;
        dialog.PlaceOutside(parent);
        dialog.show();
    });
    // Not joined: a thread held in the kernel must not hold the window, nor the exit.
    DetachedThreads::Start([job] { job->Run(); });
    poll.start();
    loop.exec();
    // The loop also ends when the program quits: the job stops as soon as it can.
    const bool finished = job->Finished();
    if (!finished)
        job->Progress().Cancel = true;
    return finished;
}
