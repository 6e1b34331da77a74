// The main window's add-ins: the watch on the skin folder, the ".pma" file type, and packages
// dropped on the window.
#include "addin/DirectoryWatcher.h"
#include "addin/PmaInst.h"
#include "app/MainForm.h"
#include "app/StartupShortcut.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "platform/XdgMimeAssociation.h"
#include "ui/InstallProgressDlg.h"
#include "ui/SkinInsDlg.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

void TMainPForm::CreateSkinFolderWatch()
{
    // Installed, the user's skin folder is made on first use, so that it can be watched.
    if (m_paths.IsInstalled() && WritesFiles())
        QDir().mkpath(m_paths.SkinFolder());
    m_skinFolderWatch = std::make_unique<TDirectoryWatcher>(m_paths.SkinFolder());
    m_skinFolderWatch->DelayTime = 1000;
    m_skinFolderWatch->Delay = true;
    m_skinFolderWatch->OnChange = [this](QObject*, const QString&) {
        SknFldMonChange();
    };
}

void TMainPForm::SknFldMonChange()
{
    if (m_settings.SkinFolderWatch && !m_startingUp)
        RefreshSkinList();
}

void TMainPForm::ApplyAddinAssociation()
{
    const AddinAssociation association{
        m_paths.ProgramFile(), ProgramEnvironment(m_paths),
        QFileInfo(m_paths.ReadFile(QStringLiteral("icons/pulsmir-48.png"))).absolutePath(),
        m_paths.IsInstalled()};
    try {
        const XdgMimeAssociation::Outcome outcome =
            m_settings.ExtUpdate ? XdgMimeAssociation::Register(association)
                                 : XdgMimeAssociation::Unregister(association);
        if (outcome == XdgMimeAssociation::Outcome::LeftToInstalledCopy)
            WriteDebugLog(QStringLiteral("Add-in file type left to the installed copy : ") +
                          XdgMimeAssociation::InstalledOwner());
        m_addinTypeFailure.Succeeded();
    } catch (const EFileWriteError& e) {
        WriteDebugLog(QStringLiteral("[TRAP] Add-in file type : ") + QString::fromUtf8(e.what()));
        // Tried again at every skin switch and every change of the options.
        m_addinTypeFailure.Failed(m_dialogs, QStringLiteral("Registry Access ERROR!"));
    }
}

void TMainPForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainPForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainPForm::dropEvent(QDropEvent* event)
{
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    event->acceptProposedAction();
    // Installing asks and reports in boxes; the drag source must not wait for them.
    QMetaObject::invokeMethod(
        this, [this, files] { DropDst1FileDrop(files); }, Qt::QueuedConnection);
}

void TMainPForm::DropDst1FileDrop(const QStringList& files)
{
    for (const QString& file : files) {
        if (QFileInfo(file).suffix().toUpper() != QLatin1String("PMA")) {
            m_dialogs.Error(m_res.GetText(QStringLiteral("R0625")) + QStringLiteral("\r\n") + file);
            continue;
        }
        show();
        raise();
        activateWindow();
        TPmaInst installer(
            m_paths.ProgramFolder(), m_dialogs,
            [this](const QString& message) { return TSkinInsDlg::Ask(message, this, &m_res); },
            TaggedLog(&m_log, QString()));
        installer.Run = [this, file](const std::shared_ptr<PackageInstallJob>& job) {
            return TInstallProgressDlg::Run(job, file, this, &m_res);
        };
        installer.Text = [this](const QString& code) { return m_res.GetText(code); };
        if (installer.Install(file) && installer.IsSkin)
            SendSstpEvent(QStringLiteral("SkinInstall"), {installer.SkinName, {}});
    }
    const QString workFile = m_paths.File(QStringLiteral("pma.$$$"));
    if (QFile::exists(workFile))
        QFile::remove(workFile);
}
