#pragma once

#include <QByteArray>
#include <QString>

// The program's text files are UTF-8. Skins, language files and scripts made for the original
// program are Shift_JIS (CP932), so anything that is not valid UTF-8 is read as CP932.
bool IsValidUtf8(const QByteArray& bytes);
QString DecodeCp932(const QByteArray& bytes);
QString DecodeText(const QByteArray& bytes);
