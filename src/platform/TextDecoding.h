#pragma once

#include <QByteArray>
#include <QString>

// The program's text files are UTF-8. Skins, language files and scripts made for the original
// program are Shift_JIS (CP932), so anything that is not valid UTF-8 is read as CP932.
bool IsValidUtf8(const QByteArray& bytes);
QString DecodeCp932(const QByteArray& bytes);
QString DecodeText(const QByteArray& bytes);
// Decodes by a charset name as a reply or header gives it ("Shift_JIS", "UTF-8", "EUC-JP");
// a name iconv does not know is read as CP932.
QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset);
// Encodes to CP932; a character CP932 cannot hold becomes "?" and sets *replaced.
QByteArray EncodeCp932(const QString& text, bool* replaced = nullptr);
