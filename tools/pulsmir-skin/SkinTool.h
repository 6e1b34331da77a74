#pragma once

#include <QStringList>
#include <QTextStream>

// pulsmir-skin: validate, info, region and render, for skin authors and tests. Returns the
// exit code: 0 success, 1 the skin fails or cannot be loaded or written, 2 bad usage. "info"
// without "--lang" speaks the user's language from the language files of `dataFolders` (the
// program's shipped ones), English where the user's is not there.
int RunSkinTool(const QStringList& arguments, QTextStream& out, QTextStream& err,
                const QStringList& dataFolders = {});
