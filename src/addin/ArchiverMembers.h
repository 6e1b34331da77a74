#pragma once

#include "addin/ArchiveReader.h"
#include "addin/Archiver.h"

#include <memory>
#include <vector>

// A format libarchive reads: the archive is checked and listed; other operations are the
// base's "not supported", except where a member overrides them.
class TLibArchiver : public TArchiver
{
public:
    TLibArchiver(TArchiverType type, ArchiveFormat format) : m_type(type), m_format(format) {}

    TArchiverType Type() const override { return m_type; }
    // Nothing to load: libarchive is linked in.
    void LoadDLL() override {}
    void FreeDLL() override {}
    int CheckArchive(const QString& archive, int mode, int extra) override;
    int FindFirst(const QString& archive, const QString& wildcard, TIndividualInfo& info) override;
    int FindNext(TIndividualInfo& info) override;
    void CloseArchive() override;

protected:
    ArchiveFormat Format() const { return m_format; }

private:
    TArchiverType m_type;
    ArchiveFormat m_format;
    std::vector<ArchiveEntry> m_found;
    std::size_t m_next = 0;
    QString m_wildcard;
};

// LHA, the format of add-in packages: also extracts, flat or with folders, leaving out names.
class TLha32 : public TLibArchiver
{
public:
    TLha32() : TLibArchiver(TArchiverType::atLha, ArchiveFormat::Lha) {}
    int Extract(const QString& archive, const QString& destination, const QStringList& names,
                const TArchiverOptions& options) override;
};

// The tar family: plain, gzip or compress, bzip2; a check accepts only its own kind.
class TTar32 : public TLibArchiver
{
public:
    explicit TTar32(TArchiverType type = TArchiverType::atTar)
        : TLibArchiver(type, ArchiveFormat::Tar)
    {
    }
    int CheckArchive(const QString& archive, int mode, int extra) override;
    // The kind of tar archive the file is, or atNone.
    static TArchiverType TypeOf(const QString& archive);
};

// Formats no library here reads: they know nothing of any file, and say which archiver they
// would need for everything else.
class TMissingArchiver : public TArchiver
{
public:
    TMissingArchiver(TArchiverType type, QString missingMessage)
        : m_type(type), m_missing(std::move(missingMessage))
    {
    }
    TArchiverType Type() const override { return m_type; }
    void LoadDLL() override;
    void FreeDLL() override {}
    int CheckArchive(const QString&, int, int) override { return 0; }
    int Extract(const QString&, const QString&, const QStringList&,
                const TArchiverOptions&) override;

private:
    TArchiverType m_type;
    QString m_missing;
};

// The member for a type; nothing for atNone, atAutoDetect and the types no member serves.
std::unique_ptr<TArchiver> MakeArchiver(TArchiverType type);
