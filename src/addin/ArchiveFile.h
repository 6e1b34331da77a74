#pragma once

#include "addin/Archiver.h"

#include <memory>

// The archive the rest of the program works with: a file name, the format it is in (from the
// name's extension, or from the content), the options, and the operations of that format.
class TArchiveFile
{
public:
    TArchiveFile();
    ~TArchiveFile();

    const QString& FileName() const { return m_fileName; }
    // Sets the type from the extension too: ".lzh" LHA, ".zip" ZIP and so on; ".exe" by content.
    void SetFileName(const QString& fileName);
    TArchiverType ArchiverType() const { return m_type; }
    // atYz1, atGCA and atBel throw EArchiver; atNone keeps the current member.
    void SetArchiverType(TArchiverType type);

    TArchiverOptions Options;
    int OutputSize = 4096;
    // What the last operation reported: its command text and, on failure, the reason.
    const QString& Output() const { return m_output; }
    // The last extraction was refused for what the package holds, not for damage.
    bool Refused() const { return m_refused; }

    // Every operation throws EArchiver "書庫の形式を判別できません。" without a member.
    int CheckArchive(int mode, int extra);
    int Extract(const QString& destination, const QStringList& names);
    bool FindOpen();
    int FindFirst(const QString& wildcard, TIndividualInfo& info);
    int FindNext(TIndividualInfo& info);
    void FindClose();

    // The type by content: every member is asked in a fixed order, a later yes winning.
    static TArchiverType DetectType(const QString& fileName);

private:
    TArchiver& Current();

    QString m_fileName;
    TArchiverType m_type = TArchiverType::atAutoDetect;
    std::unique_ptr<TArchiver> m_archiver;
    QString m_output;
    bool m_refused = false;
    bool m_findOpen = false;
};
