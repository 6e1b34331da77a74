#include "addin/PmaInst.h"

#include "addin/Archiver.h"
#include "addin/PackageInstallJob.h"
#include "platform/Dialogs.h"
#include "platform/TcpSocket.h"
#include "res/MRes.h"

#include <QFileInfo>
#include <algorithm>
#include <iterator>

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
{}

QString TPmaInst::ConfirmationText(const QString& fileName) const
{
    return ElidedName(QFileInfo(fileName).fileName()) + QStringLiteral("\r\n\r\n") +
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
        m_log(QStringLiteral("Add-in : cancelled; the install had not stopped yet, what it wrote "
                             "goes once it has"));
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
        m_dialogs.Information(
            FillText(TextOf(QStringLiteral("R0645"),
                            QStringLiteral("Installation of a skin %1 was successful.")),
                     {Quoted(result.Name)}));
        IsSkin = true;
        SkinName = result.Name;
        if (!result.SkinEntry.isEmpty())
            HandOffSkin(result.SkinEntry);
    } else {
        m_dialogs.Information(
            FillText(TextOf(QStringLiteral("R0646"),
                            QStringLiteral("Add-in %1 installation was successful.")),
                     {Quoted(result.Name)}));
    }
    return true;
}

void TPmaInst::ShowFailure(const InstallResult& result, const QString& fileName) const
{
    enum class Filler
    {
        None,
        FileName,
        Descriptor,
        Target
    };
    struct Failure
    {
        InstallOutcome Outcome;
        const char* Code;
        const char* English;
        Filler Fill; // what %1 stands for
    };
    static constexpr Failure Failures[] = {
        {InstallOutcome::NotAPackage, "R0640",
         "This file is not an add-in file for Pulsmir, or was damaged.\r\nInstallation failed.",
         Filler::None},
        {InstallOutcome::NoLibrary, "R0641",
         "This file is not an add-in file for Pulsmir, or was damaged.\r\nThis file is required "
         "for automatic installation of a pma files.\r\nInstallation failed.",
         Filler::None},
        {InstallOutcome::NoDescriptor, "R0642",
         "%1 is not contained in the add-in file, or the file was damaged.\r\nInstallation "
         "failed.",
         Filler::Descriptor},
        {InstallOutcome::UnknownComponent, "R0643",
         "%1 has not discriminated correctly.\r\nThe component type dealing with un-is "
         "specified.\r\n\r\nInstallation failed.",
         Filler::FileName},
        {InstallOutcome::Unreadable, "R0648",
         "The add-in file %1 could not be read to its end, so nothing was installed:",
         Filler::FileName},
        {InstallOutcome::Refused, "R0649",
         "This add-in package holds an entry Pulsmir never installs (a link, a device, or a name "
         "that leads out of its folder), so nothing was installed:",
         Filler::None},
        {InstallOutcome::Blocked, "R0650",
         "Something in %1 stands where this add-in goes (a link below that folder, or a file "
         "where a folder belongs), so nothing was installed:",
         Filler::Target},
        {InstallOutcome::WriteFailed, "R0651",
         "Pulsmir could not write the files of this add-in, so nothing was installed:",
         Filler::None},
        {InstallOutcome::ForbiddenResource, "R0626",
         "A resource add-in may carry only language files, pictures, sounds, icons and the SSTP "
         "script file. This one holds another file, so nothing was installed:",
         Filler::None},
        {InstallOutcome::TooLarge, "R0627",
         "This add-in package is larger than any add-in Pulsmir installs (at most 256 MiB in "
         "10000 files, and 64 KiB of pma.$$$), so nothing was installed.",
         Filler::None},
    };
    const auto failure =
        std::find_if(std::begin(Failures), std::end(Failures),
                     [&result](const Failure& f) { return f.Outcome == result.Outcome; });
    if (failure == std::end(Failures))
        return;
    QString text = TextOf(QLatin1String(failure->Code), QString::fromUtf8(failure->English));
    switch (failure->Fill) {
    case Filler::None:
        break;
    case Filler::FileName:
        text = FillText(text, {Quoted(fileName)});
        break;
    case Filler::Descriptor:
        text = FillText(text, {Quoted(PackageInstallJob::DescriptorName)});
        break;
    case Filler::Target:
        text = FillText(text, {Quoted(result.Target)});
        break;
    }
    // Each box ends in the reason as the log has it, without the log's "refused: ".
    QString reason = result.Detail.startsWith(QLatin1String("refused: "))
                         ? result.Detail.section(QStringLiteral(": "), 1)
                         : result.Detail;
    if (result.Outcome == InstallOutcome::NoDescriptor)
        reason.clear(); // the box says it all
    if (result.Outcome == InstallOutcome::TooLarge)
        reason = fileName;
    m_dialogs.Error(reason.isEmpty() ? text : text + QStringLiteral("\r\n") + ElidedName(reason));
    if (result.Outcome == InstallOutcome::UnknownComponent)
        m_dialogs.Error(FillText(TextOf(QStringLiteral("R0644"),
                                        QStringLiteral("Add-in %1 deployment went wrong.\r\nThe "
                                                       "file was damaged or pma.$$$ does not "
                                                       "exist.\r\n\r\nInstallation failed.")),
                                 {Quoted(fileName)}));
}

void TPmaInst::HandOffSkin(const QString& entryName) const
{
    // A running monitor switches to the new skin; when none listens, nothing happens.
    SendToLocalPort(LocalTalkPort, (QStringLiteral("SELECTSKIN:") + entryName).toUtf8(), 1000);
}
