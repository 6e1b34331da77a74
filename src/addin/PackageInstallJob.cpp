#include "addin/PackageInstallJob.h"

#include "addin/LibArchive.h"
#include "platform/ConfinedFolder.h"
#include "platform/ProfileIni.h"
#include "platform/StreamFile.h"
#include "platform/TextDecoding.h"

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

// The folder a component goes to; the program folder's own folders may be links the user made.
ConfinedFolder TargetFolder(const ConfinedFolder& program, const QString& folder)
{
    return folder.isEmpty() ? ConfinedFolder::Open(program.Path(), false)
                            : program.OpenOwnFolder(folder);
}

QStringList SweepUnfinishedIn(const ConfinedFolder& program)
{
    QStringList removed;
    for (const QString& name : program.EntriesNamed(StagingPrefix)) {
        try {
            ConfinedFolder staging = program.OpenFolder(name);
            // An install still at work holds its lock, in this process or another.
            if (!staging.TryLock())
                continue;
            const QByteArray journal = staging.ReadFile(JournalName, MaxJournalBytes);
            if (journal.startsWith(TargetLine)) {
                const QString folder = QString::fromUtf8(
                    journal.mid(TargetLine.size(), journal.indexOf('\n') - TargetLine.size()));
                ConfinedTransfer::UndoJournal(staging.OpenFolder(FilesName),
                                              TargetFolder(program, folder), journal);
            }
            staging.RemoveAll();
            removed << staging.Path();
        } catch (const std::exception&) {
            // Not ours to fight over: another try at the next start.
        }
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
        return SweepUnfinishedIn(ConfinedFolder::Open(programFolder, false));
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
    SweepUnfinishedIn(program);
    ConfinedFolder staging = program.MakeTemporary(StagingPrefix);
    StagingGuard removeStaging(staging);
    staging.TryLock();
    const ConfinedFolder files = staging.OpenFolder(FilesName);
    ConfinedFile journal = staging.CreateFile(JournalName);

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
        Unpack(package, ArchiveFormat::Lha, request, files, m_progress);

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
    const QByteArray targetLine = TargetLine + folder.toUtf8() + '\n';
    journal.Write(targetLine.constData(), static_cast<std::size_t>(targetLine.size()));
    PlaceUnpacked(unpacked, files, target, m_progress, &journal);

    if (m_result.Kind == AddinComponent::Skin) {
        for (const QString& name : unpacked.Names) {
            if (ArchiveReader::WildcardMatch(QStringLiteral("*.ini"), name)) {
                m_result.SkinEntry = name.left(513);
                break;
            }
        }
    }
}
