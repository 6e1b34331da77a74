#pragma once

#include "skin/SkinSystem.h"

#include <QString>
#include <QStringList>
#include <array>
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

// The valid skins of the folder's "*.ini" files, sorted by "name=path" without regard to case.
SkinList ListSkins(const QString& skinFolder, SkinPlatform platform);
// The skins of several folders together; a file of a folder named first hides one of the same
// file name in a later folder.
SkinList ListSkins(const QStringList& skinFolders, SkinPlatform platform);

// The path of the first entry of that name (compared without regard to case); empty if none.
QString FindSkinPath(const SkinList& list, const QString& name);

// The mode to show a freshly loaded skin in: the other mode when this one is disabled.
bool FixUpFullMode(bool fullMode, const TSkinSystem& skin);

// History depths for the seven graphs (CPU, MEM, SWP, disk read/write, net in/out): the full
// mode's depth of each graph that is shown, 32 for the others.
std::array<int, GraphCount> HistoryDepths(const TSkinSystem& skin);

// Lines 1 to 12 of the skin information memo: identity, memory used and what the skin supports,
// the support lines worded by the language table.
QStringList SkinInformationLines(const TSkinSystem& skin, const TMRes& texts);
