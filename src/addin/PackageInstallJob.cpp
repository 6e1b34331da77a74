#include "addin/PackageInstallJob.h"

#include "addin/LibArchive.h"
#include "platform/ConfinedFolder.h"
#include "platform/ProfileIni.h"
#include "platform/StreamFile.h"
#include "platform/TextDecoding.h"

#include <QFileInfo>
#include <QHash>
#include <optional>

namespace {

// An install works in a folder of this name in the program folder, locked while it runs:
// "files" holds the package as it is read and, once the payload has moved, what it replaced;
// "journal" says where the payload went and each step of the move.
const QString StagingPrefix = QStringLiteral(".pulsmir-install-");
const QString FilesName = QStringLiteral("files");
const QString JournalName = QStringLiteral("journal");
const QByteArray TargetLine = "target ";
// Far above the journal of the largest package the limits allow.
constexpr qint64 MaxJournalBytes = 64 << 20;

// Removes the staging folder however the install ends.
class StagingGuard
{
public:
    explicit StagingGuard(ConfinedFolder& folder) : m_folder(folder) {}
    ~StagingGuard() { m_folder.RemoveAll(); }
    StagingGuard(const StagingGuard&) = delete;
    StagingGuard& operator=(const StagingGuard&) = delete;

private:
    ConfinedFolder& m_folder;
};

// An install's private folder in `in`, locked for as long as it exists.
struct Staging
{
    explicit Staging(const ConfinedFolder& in)
        : Folder(Locked(in.MakeTemporary(StagingPrefix))), Remove(Folder),
          Files(Folder.OpenFolder(FilesName)), Journal(Folder.CreateFile(JournalName))
    {}

    static ConfinedFolder Locked(ConfinedFolder folder)
    {
        folder.TryLock(); // a new folder: no one else holds it
        return folder;
    }

    // The journal's first line: the folder the payload goes to, "." for the one `in`.
    void Begin(const QString& target)
    {
        const QByteArray line = TargetLine + target.toUtf8() + '\n';
        Journal.Write(line.constData(), static_cast<std::size_t>(line.size()));
    }

    ConfinedFolder Folder;
    StagingGuard Remove;
    ConfinedFolder Files;
    ConfinedFile Journal;
};

// The folder a component goes to; the program folder's own folders may be links the user made.
ConfinedFolder TargetFolder(const ConfinedFolder& program, const QString& folder)
{
    return folder.isEmpty() ? ConfinedFolder::Open(program.Path(), false)
                            : program.OpenOwnFolder(folder);
}

// What dead installs left in `in`: the program folder, or one of its own folders that an
// install crossed into.
QStringList SweepUnfinishedIn(const ConfinedFolder& in, const ConfinedFolder& program)
{
    QStringList removed;
    for (const QString& name : in.EntriesNamed(StagingPrefix)) {
        try {
            ConfinedFolder staging = in.OpenFolder(name);
            // An install still at work holds its lock, in this process or another.
            if (!staging.TryLock())
                continue;
            const QByteArray journal = staging.ReadFile(JournalName, MaxJournalBytes);
            if (journal.startsWith(TargetLine)) {
                const QString folder = QString::fromUtf8(
                    journal.mid(TargetLine.size(), journal.indexOf('\n') - TargetLine.size()));
                ConfinedTransfer::UndoJournal(staging.OpenFolder(FilesName),
                                              folder == QLatin1String(".")
                                                  ? ConfinedFolder::Open(in.Path(), false)
                                                  : TargetFolder(program, folder),
                                              journal);
            }
            staging.RemoveAll();
            removed << staging.Path();
        } catch (const std::exception&) {
            // Not ours to fight over: another try at the next start.
        }
    }
    return removed;
}

QStringList SweepUnfinishedAll(const ConfinedFolder& program)
{
    QStringList removed = SweepUnfinishedIn(program, program);
    for (const AddinComponent kind : {AddinComponent::Skin, AddinComponent::Help}) {
        const QString folder = FolderOf(kind);
        if (QFileInfo(program.Path() + u'/' + folder).isDir())
            removed += SweepUnfinishedIn(program.OpenOwnFolder(folder), program);
    }
    return removed;
}

ProfileIni Descriptor(const QByteArray& data)
{
    ProfileIni descriptor;
    descriptor.LoadText(DecodeText(data));
    return descriptor;
}

QString ComponentText(const QByteArray& descriptor)
{
    return Descriptor(descriptor)
        .ReadString(QStringLiteral("PulsmirAddin"), QStringLiteral("Component"),
                    QStringLiteral("None"));
}

} // namespace

const QString PackageInstallJob::DescriptorName = QStringLiteral("pma.$$$");

PackageInstallJob::PackageInstallJob(QString programFolder, QString packageFile)
    : m_programFolder(std::move(programFolder)), m_packageFile(std::move(packageFile))
{}

QStringList PackageInstallJob::SweepUnfinished(const QString& programFolder)
{
    try {
        return SweepUnfinishedAll(ConfinedFolder::Open(programFolder, false));
    } catch (const EConfinedPath&) {
        return {}; // no program folder, nothing left in it
    }
}

void PackageInstallJob::Run() noexcept
{
    try {
        Install();
        m_result.Outcome = InstallOutcome::Installed;
    } catch (const EArchiveCancelled& e) {
        m_result.Outcome = InstallOutcome::Cancelled;
        m_result.Detail = e.Message();
    } catch (const EArchiveBlocked& e) {
        m_result.Outcome = InstallOutcome::Blocked;
        m_result.Detail = e.Message();
    } catch (const EArchiveRefused& e) {
        if (m_result.Outcome != InstallOutcome::ForbiddenResource)
            m_result.Outcome = e.Limit ? InstallOutcome::TooLarge : InstallOutcome::Refused;
        m_result.Detail = e.Message();
    } catch (const EArchiveWrite& e) {
        m_result.Outcome = InstallOutcome::WriteFailed;
        m_result.Detail = e.Message();
    } catch (const EArchiveRead& e) {
        m_result.Outcome = InstallOutcome::Unreadable;
        m_result.Detail = e.Message();
    } catch (const EArchiver& e) {
        // NotAPackage unless the step that threw said otherwise.
        m_result.Detail = e.Message();
    } catch (const std::exception& e) {
        m_result.Outcome = InstallOutcome::WriteFailed;
        m_result.Detail = QString::fromUtf8(e.what());
    }
    m_finished = true;
}

void PackageInstallJob::Install()
{
    if (!LibArchive::Get()) {
        m_result.Outcome = InstallOutcome::NoLibrary;
        throw EArchiver(LibArchive::LoadError());
    }
    StreamFile package;
    if (!package.Open(m_packageFile))
        throw EArchiveRead(QStringLiteral("cannot open the package: ") + package.Error());
    ConfinedFolder program = ConfinedFolder::Open(m_programFolder, true);
    SweepUnfinishedAll(program);
    Staging staging(program);

    // A resource package is held to resources as its entries come, once its descriptor has
    // come; what came before is looked at once the whole package is read.
    QHash<QString, ArchiveEntry> entries;
    std::optional<bool> resources;
    UnpackRequest request;
    request.Captured = DescriptorName;
    request.Limits = Limits;
    request.Vet = [&](const ArchiveEntry& entry, const QByteArray* captured) {
        entries.insert(entry.Name, entry);
        if (!captured)
            return QString();
        if (!resources)
            resources = ComponentOf(ComponentText(*captured)) == AddinComponent::Res;
        if (!*resources)
            return QString();
        const QString refusal = ResourceRefusal(entry);
        if (!refusal.isEmpty())
            m_result.Outcome = InstallOutcome::ForbiddenResource;
        return refusal;
    };
    const UnpackedPackage unpacked =
        Unpack(package, ArchiveFormat::Lha, request, staging.Files, m_progress);

    if (!unpacked.Captured) {
        m_result.Outcome = InstallOutcome::NoDescriptor;
        throw EArchiver(DescriptorName + QStringLiteral(" is missing"));
    }
    const ProfileIni descriptor = Descriptor(*unpacked.Captured);
    m_result.Component = ComponentText(*unpacked.Captured);
    m_result.Name = descriptor.ReadString(QStringLiteral("PulsmirAddin"), QStringLiteral("Name"),
                                          QStringLiteral("(NoName)"));
    m_result.Kind = ComponentOf(m_result.Component);
    if (m_result.Kind == AddinComponent::Unknown) {
        m_result.Outcome = InstallOutcome::UnknownComponent;
        throw EArchiver(QStringLiteral("unknown component \"%1\"").arg(m_result.Component));
    }
    if (m_result.Kind == AddinComponent::Res) {
        for (const ArchiveEntry& entry : std::as_const(entries)) {
            if (const QString refusal = ResourceRefusal(entry); !refusal.isEmpty()) {
                m_result.Outcome = InstallOutcome::ForbiddenResource;
                throw EArchiveRefused(refusal);
            }
        }
    }

    const QString folder = FolderOf(m_result.Kind);
    const ConfinedFolder target = TargetFolder(program, folder);
    m_result.Target = target.Path();
    if (target.OnSameFileSystem(staging.Files)) {
        staging.Begin(folder);
        PlaceUnpacked(unpacked, staging.Files, target, m_progress, &staging.Journal);
    } else {
        // A folder linked onto another file system: the payload first crosses into a private
        // folder there, so that moving it into place stays a rename of each file.
        Staging across(target);
        for (const QString& name : unpacked.Files) {
            if (m_progress.Cancel)
                throw EArchiveCancelled();
            staging.Files.CopyFile(name, across.Files);
        }
        across.Begin(QStringLiteral("."));
        PlaceUnpacked(unpacked, across.Files, target, m_progress, &across.Journal);
    }

    if (m_result.Kind == AddinComponent::Skin) {
        for (const QString& name : unpacked.Names) {
            if (ArchiveReader::WildcardMatch(QStringLiteral("*.ini"), name)) {
                m_result.SkinEntry = name.left(513);
                break;
            }
        }
    }
}
