#pragma once

#include <QString>

// The text with every control character written out ("\n", "\r", "\t", "\x1b", "\u2028"), for
// lines that others read line by line: the debug log and the status snapshot on stdout. A name
// that carries a line break (a disk path, a Local Talk message) then stays on its own line and
// cannot pass for a line of the program's own.
QString EscapeControls(const QString& text);
