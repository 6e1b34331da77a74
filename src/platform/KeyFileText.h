#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// One key of a freedesktop key file (mimeapps.list) read, set or removed in the file's own
// bytes: every other line stays byte for byte, whatever its encoding or line end. Groups and
// keys compare exactly, as the format wants; the first of two equal groups or keys counts.
namespace KeyFileText {

std::optional<QByteArray> Value(QByteArrayView text, QByteArrayView group, QByteArrayView key);
// The key's value replaced in its line; a new key goes after the last key of its group, a new
// group to the end of the file.
QByteArray WithValue(QByteArrayView text, QByteArrayView group, QByteArrayView key,
                     QByteArrayView value);
// Every line of the key in its group removed.
QByteArray WithoutKey(QByteArrayView text, QByteArrayView group, QByteArrayView key);

} // namespace KeyFileText
