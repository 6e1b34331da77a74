#pragma once

#include "platform/ProfileIni.h"
#include "skin/SkinSystem.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

class TMRes;

// One usable skin: its "SkinName" and the full path of its definition file.
struct SkinListEntry
{
    QString Name;
    QString Path;
};
using SkinList = std::vector<SkinListEntry>;

// "SkinName" of the identity section; empty when the file name holds "=" or the file does not
// exist, "(Access Denied)" when it cannot be read.
QString ReadSkinName(const QString& path);

// Definition files as read, and the picture headers their check read, kept while the files
// stay the same, so a refresh of the skin list reads only the files that changed since the
// last one.
class SkinDefinitionCache
{
public:
    struct Definition
    {
        ProfileIni Ini;
        std::optional<QString> Fault; // as TSkinSystem::ReadDefinition gives it
    };
    const Definition& Read(const QFileInfo& file);
    SkinPictureHeaders& Pictures() { return m_pictures; }
    // Forgets the files not read since the last call.
    void Prune();
    std::size_t Size() const { return m_definitions.Size(); }
    // Definition files and pictures read since the cache was made.
    std::size_t FilesRead() const { return m_definitions.FilesRead(); }
    std::size_t PicturesRead() const { return m_pictures.FilesRead(); }

private:
    FileStampCache<Definition> m_definitions;
    SkinPictureHeaders m_pictures;
};

// The valid skins of the folder's "*.ini" files, sorted by "name=path" without regard to case.
SkinList ListSkins(const QString& skinFolder, SkinPlatform platform);
// The skins of several folders together; a file of a folder named first hides one of the same
// file name in a later folder. Each definition file is read at most once, and not at all when
// the cache holds it unchanged. A skin is listed when FindSkinFault passes it on a screen of
// that size (empty for any).
SkinList ListSkins(const QStringList& skinFolders, SkinPlatform platform,
                   SkinDefinitionCache* cache = nullptr, QSize screen = {});

// The path of the first entry of that name (compared without regard to case); empty if none.
QString FindSkinPath(const SkinList& list, const QString& name);

// The mode to show a freshly loaded skin in: the other mode when this one is disabled.
bool FixUpFullMode(bool fullMode, const TSkinSystem& skin);

// History depths for the graphs (CPU, MEM, SWP, disk read/write, net in/out, temperature,
// battery): the full mode's depth of each graph that is shown, 32 for the others.
std::array<int, GraphCount> HistoryDepths(const TSkinSystem& skin);

// Whether either mode shows a temperature, battery or disk-space element or text; the sensors
// are read only for a skin that shows them.
bool ShowsSensors(const TSkinSystem& skin);
// The same for the graphics processor (its load, memory, temperature or name), the fan, and
// the busiest processes.
bool ShowsGpu(const TSkinSystem& skin);
bool ShowsFan(const TSkinSystem& skin);
bool ShowsProcesses(const TSkinSystem& skin);
// Whether either mode has a text of the value.
bool ShowsTextValue(const TSkinSystem& skin, SkinTextValue value);

// Lines 1 to 12 of the skin information memo: identity, memory used and what the skin supports,
// the support lines worded by the language table.
QStringList SkinInformationLines(const TSkinSystem& skin, const TMRes& texts);
