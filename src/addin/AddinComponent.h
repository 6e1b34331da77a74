#pragma once

#include "addin/ArchiveReader.h"

#include <QString>

// What a package's descriptor says it carries; each kind has its own folder.
enum class AddinComponent
{
    Skin,
    Help,
    Res, // resource files of the program folder itself
    Unknown
};

// The kind a descriptor's "Component" value names, in any case.
AddinComponent ComponentOf(const QString& value);
// The folder of the kind below the program folder; empty for the program folder itself.
QString FolderOf(AddinComponent component);

// Why a resource package may not bring this entry; empty when it may. Resources are language
// files, pictures, sounds, icons and the SSTP script file, none of them executable: never the
// program, the settings, the log or anything else the program writes.
QString ResourceRefusal(const ArchiveEntry& entry);
