#include "addin/ArchiveFile.h"

#include "addin/ArchiverMembers.h"

#include <QFileInfo>

namespace {

TArchiverType TypeOfExtension(const QString& fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == QLatin1String("lzh"))
        return TArchiverType::atLha;
    if (extension == QLatin1String("zip"))
        return TArchiverType::atZip;
    if (extension == QLatin1String("cab"))
        return TArchiverType::atCab;
    if (extension == QLatin1String("arj"))
        return TArchiverType::atArj;
    for (const char* tar : {"a", "lib", "tar", "deb", "rpm", "cpio"})
        if (extension == QLatin1String(tar))
            return TArchiverType::atTar;
    for (const char* tgz : {"z", "gz", "tgz", "taz"})
        if (extension == QLatin1String(tgz))
            return TArchiverType::atTgz;
    if (extension == QLatin1String("bz2"))
        return TArchiverType::atBZ2;
    if (extension == QLatin1String("rar"))
        return TArchiverType::atRar;
    if (extension == QLatin1String("gza") || extension == QLatin1String("bza"))
        return TArchiverType::atBga;
    if (extension == QLatin1String("gca"))
        return TArchiverType::atGCA;
    if (extension == QLatin1String("exe"))
        return TArchiverType::atAutoDetect;
    return TArchiverType::atNone;
}

} // namespace

TArchiveFile::TArchiveFile() = default;
TArchiveFile::~TArchiveFile() = default;

void TArchiveFile::SetFileName(const QString& fileName)
{
    const TArchiverType type = TypeOfExtension(fileName);
    if (type == TArchiverType::atNone)
        m_archiver.reset(); // no member for an unknown extension
    SetArchiverType(type == TArchiverType::atAutoDetect ? DetectType(fileName) : type);
    m_fileName = fileName;
}

void TArchiveFile::SetArchiverType(TArchiverType type)
{
    if (type == TArchiverType::atYz1 || type == TArchiverType::atGCA ||
        type == TArchiverType::atBel)
        throw EArchiver(QString::fromUtf8("書庫の形式を特定できませんでした。"));
    if (type == TArchiverType::atNone)
        return;
    m_type = type;
    if (type != TArchiverType::atAutoDetect && (!m_archiver || m_archiver->Type() != type))
        m_archiver = MakeArchiver(type);
}

TArchiverType TArchiveFile::DetectType(const QString& fileName)
{
    TArchiverType found = TTar32::TypeOf(fileName);
    for (TArchiverType type : {TArchiverType::atRar, TArchiverType::atArj, TArchiverType::atZip,
                               TArchiverType::atBga, TArchiverType::atCab, TArchiverType::atLha}) {
        const std::unique_ptr<TArchiver> member = MakeArchiver(type);
        if (member && member->CheckArchive(fileName, 0, 0) != 0)
            found = type;
    }
    return found;
}

TArchiver& TArchiveFile::Current()
{
    if (m_type == TArchiverType::atAutoDetect) {
        const TArchiverType detected = DetectType(m_fileName);
        if (detected != TArchiverType::atNone)
            SetArchiverType(detected);
    }
    if (!m_archiver)
        throw EArchiver(QString::fromUtf8("書庫の形式を判別できません。"));
    return *m_archiver;
}

int TArchiveFile::CheckArchive(int mode, int extra)
{
    return Current().CheckArchive(m_fileName, mode, extra);
}

int TArchiveFile::Extract(const QString& destination, const QStringList& names)
{
    TArchiver& archiver = Current();
    m_output.clear();
    m_refused = false;
    try {
        const int result = archiver.Extract(m_fileName, destination, names, Options);
        m_output = archiver.LastCommandLine();
        return result;
    } catch (const EArchiver& e) {
        m_output = archiver.LastCommandLine() + QStringLiteral("\n") + e.Message();
        m_refused = e.Message().startsWith(QLatin1String("refused: "));
        // A refusal or a damaged entry is the archiver's error code, as the DLLs report it.
        if (archiver.LastCommandLine().isEmpty())
            throw;
        return 1;
    }
}

bool TArchiveFile::FindOpen()
{
    Current();
    m_findOpen = QFileInfo::exists(m_fileName);
    return m_findOpen;
}

int TArchiveFile::FindFirst(const QString& wildcard, TIndividualInfo& info)
{
    if (!m_findOpen)
        return -1;
    TIndividualInfo found;
    const int result = Current().FindFirst(m_fileName, wildcard, found);
    if (result == 0)
        info = found;
    return result;
}

int TArchiveFile::FindNext(TIndividualInfo& info)
{
    if (!m_findOpen)
        return -1;
    TIndividualInfo found;
    const int result = Current().FindNext(found);
    if (result == 0)
        info = found;
    return result;
}

void TArchiveFile::FindClose()
{
    if (m_archiver)
        m_archiver->CloseArchive();
    m_findOpen = false;
}
