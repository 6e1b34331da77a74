// An add-in package: its type found by content, checked, listed and extracted into a scratch
// folder the way the installer does it, and as the format it was found to be. Whatever it
// holds, nothing may be written outside the destination and no link may be made.

#include "addin/ArchiveFile.h"
#include "addin/ArchiveReader.h"
#include "support/FuzzApplication.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/ScratchFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {

const QString PackageName = QStringLiteral("package.pma");
const QString DescriptorName = QStringLiteral("pma.$$$");
const QString WorkingFolderName = QStringLiteral("work");

// The scratch folder holds the package, the destination and the empty working folder, and
// the destination no links.
void CheckNothingEscaped(const QString& destination)
{
    const QStringList top =
        QDir(Scratch().Path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Name);
    FUZZ_CHECK(top == QStringList({QStringLiteral("out"), PackageName, WorkingFolderName}),
               "an extraction wrote outside its destination");
    FUZZ_CHECK(QDir::current().isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                       QDir::System),
               "an extraction wrote into the working folder");
    QDirIterator it(destination,
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        FUZZ_CHECK(!QFileInfo(it.next()).isSymLink(), "an extraction made a link");
}

// The steps of the installer: check, the descriptor alone and flat, then the rest with folders.
void Install(const QString& package, const QString& destination)
{
    TArchiveFile archive;
    try {
        archive.SetFileName(package);
        archive.SetArchiverType(TArchiverType::atLha);
        archive.Options.n = 1;
        archive.Options.c = 1;
        archive.Options.jyo = 1;
        if (archive.CheckArchive(2, 4) == 0)
            return;
        archive.Options.x = 0;
        archive.Extract(destination, {DescriptorName});
        CheckNothingEscaped(destination);
        archive.Options.x = 1;
        archive.Options.jx << DescriptorName;
        archive.Extract(QDir(destination).filePath(QStringLiteral("Skin")), {});
        CheckNothingEscaped(destination);
        TIndividualInfo entry;
        if (archive.FindOpen())
            for (int found = archive.FindFirst(QStringLiteral("*.ini"), entry); found == 0;
                 found = archive.FindNext(entry)) {
            }
        archive.FindClose();
    } catch (const EArchiver&) {
    }
}

// Every format libarchive is asked to read goes through the same safe extraction.
void ExtractAs(const QString& package, ArchiveFormat format, const QString& destination)
{
    try {
        for (const ArchiveEntry& entry : ArchiveReader::List(package, format))
            ArchiveReader::RefusalOfName(entry.Name);
        ArchiveReader::Extract(package, format, {destination, true, {}, {}});
    } catch (const EArchiver&) {
    }
    CheckNothingEscaped(destination);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    QDir(Scratch().Path()).mkdir(WorkingFolderName);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A name taken for an absolute one would land in the working folder, so while the input
    // runs that is a watched one; libFuzzer's own paths may be relative to the real one.
    const QString previousFolder = QDir::currentPath();
    QDir::setCurrent(Scratch().File(WorkingFolderName));
    const QString package = Scratch().Write(PackageName, FuzzBytes(data, size));
    const QString destination = Scratch().Fresh(QStringLiteral("out"));
    TArchiveFile::DetectType(package);
    Install(package, destination);
    for (ArchiveFormat format :
         {ArchiveFormat::Zip, ArchiveFormat::Cab, ArchiveFormat::Tar, ArchiveFormat::Rar})
        ExtractAs(package, format, Scratch().Fresh(QStringLiteral("out")));
    QDir(destination).removeRecursively();
    QDir::setCurrent(previousFolder);
    return 0;
}
