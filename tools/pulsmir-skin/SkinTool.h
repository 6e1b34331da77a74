#pragma once

#include <QStringList>
#include <QTextStream>

// pulsmir-skin: validate, info, region and render, for skin authors and tests. Returns the
// exit code: 0 success, 1 the skin fails or cannot be loaded or written, 2 bad usage.
int RunSkinTool(const QStringList& arguments, QTextStream& out, QTextStream& err);
