#include "addin/PackageInstallJob.h"

#include "addin/LibArchive.h"
#include "platform/ConfinedFolder.h"
#include "platform/ProfileIni.h"
#include "platform/StreamFile.h"
#include "platform/TextDecoding.h"

#include <QHash>
#include <optional>

namespace {

const QString StagingPrefix = QStringLiteral(".pulsmir-install-");
// An install takes seconds; a staging folder older than this was left by a killed one.
constexpr long StaleStagingSeconds = 3600;

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

void SweepStaleStaging(const ConfinedFolder& program)
{
    for (const QString& name : program.StaleEntries(StagingPrefix, StaleStagingSeconds)) {
        try {
            program.OpenFolder(name).RemoveAll();
        } catch (const std::exception&) {
            // Not ours to fight over: another try at the next install.
        }
    }
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

void PackageInstallJob::Run() noexcept
{
    try {
        Install();
        m_result.Outcome = InstallOutcome::Installed;
    } catch (const EArchiveCancelled& e) {
        m_result.Outcome = InstallOutcome::Cancelled;
        m_result.Detail = e.Message();
    } catch (const EArchiveRefused& e) {
        if (m_result.Outcome != InstallOutcome::ForbiddenResource)
            m_result.Outcome = e.Limit ? InstallOutcome::TooLarge : InstallOutcome::Refused;
        m_result.Detail = e.Message();
    } catch (const EArchiveWrite& e) {
        m_result.Outcome = InstallOutcome::WriteFailed;
        m_result.Detail = e.Message();
    } catch (const EArchiver& e) {
        // NotAPackage unless the step that threw said otherwise.
        m_result.Detail = e.Message();
    } catch (const std::exception& e) {
        m_result.Outcome = InstallOutcome::WriteFailed;
        m_result.Detail = QString::fromUtf8(e.what());
    }
}

void PackageInstallJob::Install()
{
    if (!LibArchive::Get()) {
        m_result.Outcome = InstallOutcome::NoLibrary;
        throw EArchiver(LibArchive::LoadError());
    }
    StreamFile package;
    if (!package.Open(m_packageFile))
        throw EArchiver(QStringLiteral("cannot open the package: ") + package.Error());
    ConfinedFolder program = ConfinedFolder::Open(m_programFolder, true);
    SweepStaleStaging(program);
    ConfinedFolder staging = program.MakeTemporary(StagingPrefix);
    StagingGuard removeStaging(staging);

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
        Unpack(package, ArchiveFormat::Lha, request, staging, m_progress);

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
    const ConfinedFolder target = folder.isEmpty() ? ConfinedFolder::Open(m_programFolder, false)
                                                   : program.OpenFolder(folder);
    m_result.Target = target.Path();
    PlaceUnpacked(unpacked, staging, target, m_progress);

    if (m_result.Kind == AddinComponent::Skin) {
        for (const QString& name : unpacked.Names) {
            if (ArchiveReader::WildcardMatch(QStringLiteral("*.ini"), name)) {
                m_result.SkinEntry = name.left(513);
                break;
            }
        }
    }
}
