#include "addin/PmaInst.h"

#include "addin/Archiver.h"
#include "addin/PackageInstallJob.h"
#include "platform/Dialogs.h"
#include "platform/TcpSocket.h"

#include <QFileInfo>

namespace {

QString Quoted(const QString& text)
{
    return u'"' + text + u'"';
}

// The command an archiver would have been given for the payload, as the log has always said.
QString PayloadCommand(const QString& fileName, const QString& target)
{
    TArchiverOptions options;
    options.n = 1;
    options.c = 1;
    options.jyo = 1;
    options.x = 1;
    options.jx << PackageInstallJob::DescriptorName;
    return BuildCommandLine(QStringLiteral("x"), options, fileName, target, {},
                            TArchiverOperation::Unpack, false);
}

} // namespace

TPmaInst::TPmaInst(QString programFolder, Dialogs& dialogs, Confirmation confirm, TaggedLog log)
    : m_programFolder(std::move(programFolder)), m_dialogs(dialogs), m_confirm(std::move(confirm)),
      m_log(std::move(log))
{
}

QString TPmaInst::ConfirmationText(const QString& fileName) const
{
    return QFileInfo(fileName).fileName() + QStringLiteral("\r\n\r\n") +
           TextOf(QStringLiteral("R0647"),
                  QStringLiteral("Pulsmir will install this file.\r\nOK?"));
}

QString TPmaInst::TextOf(const QString& code, const QString& english) const
{
    const QString text = Text ? Text(code) : QString();
    return text.isEmpty() || text.startsWith(QLatin1String("(NoData:")) ? english : text;
}

bool TPmaInst::Install(const QString& fileName)
{
    IsSkin = false;
    SkinName.clear();
    if (!m_confirm || !m_confirm(ConfirmationText(fileName)))
        return true;

    const auto job = std::make_shared<PackageInstallJob>(m_programFolder, fileName);
    bool finished = true;
    if (Run)
        finished = Run(job);
    else
        job->Run();
    if (!finished) {
        m_log(QStringLiteral("Add-in : cancelled; the package's files do not answer, what was "
                             "written goes once they do"));
        return true;
    }
    const InstallResult& result = job->Result();
    if (!result.Target.isEmpty())
        m_log(QStringLiteral("Add-in : ") + PayloadCommand(fileName, result.Target));
    if (!result.Detail.isEmpty())
        m_log(QStringLiteral("Add-in : ") + result.Detail);
    if (result.Outcome == InstallOutcome::Cancelled)
        return true;
    if (result.Outcome != InstallOutcome::Installed) {
        ShowFailure(result, fileName);
        return false;
    }

    if (result.Kind == AddinComponent::Skin) {
        m_dialogs.Information(TextOf(QStringLiteral("R0645"),
                                     QStringLiteral("Installation of a skin %1 was successful."))
                                  .arg(Quoted(result.Name)));
        IsSkin = true;
        SkinName = result.Name;
        if (!result.SkinEntry.isEmpty())
            HandOffSkin(result.SkinEntry);
    } else {
        m_dialogs.Information(TextOf(QStringLiteral("R0646"),
                                     QStringLiteral("Add-in %1 installation was successful."))
                                  .arg(Quoted(result.Name)));
    }
    return true;
}

void TPmaInst::ShowFailure(const InstallResult& result, const QString& fileName) const
{
    // Each box ends in the reason as the log has it, without the log's "refused: ".
    QString reason = result.Detail.startsWith(QLatin1String("refused: "))
                         ? result.Detail.section(QStringLiteral(": "), 1)
                         : result.Detail;
    QString text;
    switch (result.Outcome) {
    case InstallOutcome::Installed:
    case InstallOutcome::Cancelled:
        return;
    case InstallOutcome::NotAPackage:
        text = TextOf(QStringLiteral("R0640"),
                      QStringLiteral("This file is not an add-in file for Pulsmir, or was "
                                     "damaged.\r\nInstallation failed."));
        break;
    case InstallOutcome::NoLibrary:
        text = TextOf(QStringLiteral("R0641"),
                      QStringLiteral("This file is not an add-in file for Pulsmir, or was "
                                     "damaged.\r\nThis file is required for automatic "
                                     "installation of a pma files.\r\nInstallation failed."));
        break;
    case InstallOutcome::NoDescriptor:
        text = TextOf(QStringLiteral("R0642"),
                      QStringLiteral("%1 is not contained in the add-in file, or the file was "
                                     "damaged.\r\nInstallation failed."))
                   .arg(Quoted(PackageInstallJob::DescriptorName));
        reason.clear(); // the box says it all
        break;
    case InstallOutcome::UnknownComponent:
        m_dialogs.Error(TextOf(QStringLiteral("R0643"),
                               QStringLiteral("%1 has not discriminated correctly.\r\nThe "
                                              "component type dealing with un-is specified."
                                              "\r\n\r\nInstallation failed."))
                            .arg(Quoted(fileName)) +
                        QStringLiteral("\r\n") + reason);
        text = TextOf(QStringLiteral("R0644"),
                      QStringLiteral("Add-in %1 deployment went wrong.\r\nThe file was damaged "
                                     "or pma.$$$ does not exist.\r\n\r\nInstallation failed."))
                   .arg(Quoted(fileName));
        reason.clear();
        break;
    case InstallOutcome::Unreadable:
        text = TextOf(QStringLiteral("R0648"),
                      QStringLiteral("The add-in file %1 could not be read to its end, so "
                                     "nothing was installed:"))
                   .arg(Quoted(fileName));
        break;
    case InstallOutcome::Refused:
        text = TextOf(QStringLiteral("R0649"),
                      QStringLiteral("This add-in package holds an entry Pulsmir never installs "
                                     "(a link, a device, or a name that leads out of its "
                                     "folder), so nothing was installed:"));
        break;
    case InstallOutcome::Blocked:
        text = TextOf(QStringLiteral("R0650"),
                      QStringLiteral("Something in %1 stands where this add-in goes (a link "
                                     "below that folder, or a file where a folder belongs), so "
                                     "nothing was installed:"))
                   .arg(Quoted(result.Target));
        break;
    case InstallOutcome::WriteFailed:
        text = TextOf(QStringLiteral("R0651"),
                      QStringLiteral("Pulsmir could not write the files of this add-in, so "
                                     "nothing was installed:"));
        break;
    case InstallOutcome::ForbiddenResource:
        text = TextOf(QStringLiteral("R0626"),
                      QStringLiteral("A resource add-in may carry only language files, "
                                     "pictures, sounds, icons and the SSTP script file. This "
                                     "one holds another file, so nothing was installed:"));
        break;
    case InstallOutcome::TooLarge:
        text = TextOf(QStringLiteral("R0627"),
                      QStringLiteral("This add-in package is larger than any add-in Pulsmir "
                                     "installs (at most 256 MiB in 10000 files, and 64 KiB of "
                                     "pma.$$$), so nothing was installed."));
        reason = fileName;
        break;
    }
    m_dialogs.Error(reason.isEmpty() ? text : text + QStringLiteral("\r\n") + reason);
}

void TPmaInst::HandOffSkin(const QString& entryName) const
{
    // A running monitor switches to the new skin; when none listens, nothing happens.
    SendToLocalPort(LocalTalkPort, (QStringLiteral("SELECTSKIN:") + entryName).toUtf8(), 1000);
}
