#include "addin/PmaInst.h"

#include "addin/ArchiveFile.h"
#include "platform/Dialogs.h"
#include "platform/ProfileIni.h"
#include "platform/TcpSocket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString DescriptorName = QStringLiteral("pma.$$$");

QString Quoted(const QString& text)
{
    return u'"' + text + u'"';
}

} // namespace

TPmaInst::TPmaInst(QString programFolder, Dialogs& dialogs, Confirmation confirm, TaggedLog log)
    : m_programFolder(std::move(programFolder)), m_dialogs(dialogs), m_confirm(std::move(confirm)),
      m_log(std::move(log))
{
}

QString TPmaInst::ConfirmationText(const QString& fileName)
{
    return QFileInfo(fileName).fileName() +
           QStringLiteral("\r\n\r\nPulsmir will install this file.\r\nOK?");
}

bool TPmaInst::Install(const QString& fileName)
{
    bool result = true;
    IsSkin = false;
    SkinName.clear();
    if (!m_confirm || !m_confirm(ConfirmationText(fileName)))
        return result;

    const QString descriptorFile = QDir(m_programFolder).filePath(DescriptorName);
    QFile::remove(descriptorFile);
    result = false;
    try {
        TArchiveFile archive;
        archive.SetFileName(fileName);
        archive.SetArchiverType(TArchiverType::atLha);
        archive.Options.n = 1;
        archive.Options.c = 1;
        archive.Options.jyo = 1;
        archive.Options.jx.clear();
        archive.OutputSize = 8192;

        if (archive.CheckArchive(2, 4) == 0) {
            m_dialogs.Error(QStringLiteral("This file is not an add-in file for Pulsmir, or was "
                                           "damaged.\r\nInstallation failed."));
            return false;
        }
        archive.Options.x = 0;
        const int descriptorResult = archive.Extract(m_programFolder, {DescriptorName});
        m_log(QStringLiteral("Add-in : ") + archive.Output());
        // A package refused for what it holds ends as a failed deployment, below.
        if (!archive.Refused()) {
            if (descriptorResult != 0 || !QFileInfo::exists(descriptorFile)) {
                m_dialogs.Error(Quoted(DescriptorName) +
                                QStringLiteral(" is not contained in the add-in file, or the file "
                                               "was damaged.\r\nInstallation failed."));
                return false;
            }
            result = Deploy(archive, fileName, ProfileIni(descriptorFile));
        }
        if (!result)
            m_dialogs.Error(QStringLiteral("Add-in ") + Quoted(fileName) +
                            QStringLiteral(" deployment went wrong.\r\nThe file was damaged or "
                                           "pma.$$$ does not exist.\r\n\r\nInstallation failed."));
    } catch (const EArchiver& e) {
        m_log(QStringLiteral("Add-in : ") + e.Message());
        m_dialogs.Error(QStringLiteral("This file is not an add-in file for Pulsmir, or was "
                                       "damaged.\r\nThis file is required for automatic "
                                       "installation of a pma files.\r\nInstallation failed."));
        result = false;
    }
    return result;
}

bool TPmaInst::Deploy(TArchiveFile& archive, const QString& fileName, const ProfileIni& descriptor)
{
    const QString component = descriptor.ReadString(QStringLiteral("PulsmirAddin"),
                                                    QStringLiteral("Component"), QStringLiteral("None"));
    const QString name = descriptor.ReadString(QStringLiteral("PulsmirAddin"), QStringLiteral("Name"),
                                               QStringLiteral("(NoName)"));
    const QString kind = component.toUpper();
    const bool skin = kind == QLatin1String("SKIN");
    if (!skin && kind != QLatin1String("HELP") && kind != QLatin1String("RES")) {
        m_dialogs.Error(Quoted(fileName) +
                        QStringLiteral(" has not discriminated correctly.\r\nThe component type "
                                       "dealing with un-is specified.\r\n\r\nInstallation failed."));
        return false;
    }
    archive.Options.x = 1;
    archive.Options.jx << DescriptorName;
    const QDir folder(m_programFolder);
    QString target = m_programFolder;
    if (skin)
        target = folder.filePath(QStringLiteral("Skin"));
    else if (kind == QLatin1String("HELP"))
        target = folder.filePath(QStringLiteral("help"));
    if (kind != QLatin1String("RES"))
        QDir().mkpath(target);
    const int extracted = archive.Extract(target, {});
    m_log(QStringLiteral("Add-in : ") + archive.Output());
    if (extracted != 0)
        return false;
    m_dialogs.Information(skin ? QStringLiteral("Installation of a skin ") + Quoted(name) +
                                     QStringLiteral(" was successful.")
                               : QStringLiteral("Add-in ") + Quoted(name) +
                                     QStringLiteral(" installation was successful."));
    if (skin) {
        IsSkin = true;
        SkinName = name;
        TIndividualInfo entry;
        if (archive.FindOpen() && archive.FindFirst(QStringLiteral("*.ini"), entry) == 0)
            HandOffSkin(entry.FileName);
        archive.FindClose();
    }
    return true;
}

void TPmaInst::HandOffSkin(const QString& entryName) const
{
    // A running monitor switches to the new skin; when none listens, nothing happens.
    SendToLocalPort(LocalTalkPort, (QStringLiteral("SELECTSKIN:") + entryName).toUtf8(), 1000);
}
