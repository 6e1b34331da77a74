#pragma once

#include "skin/Bitmap24.h"

#include <QByteArray>
#include <QString>

// Decoders of skin pictures. Each returns an empty bitmap for data it cannot decode, for a
// picture over Bitmap24's size limits, and for truncated or corrupt data; none of them applies
// gamma or colour profiles, so a mask colour matches the file's bytes exactly. Alpha is dropped.
Bitmap24 DecodePng(const QByteArray& data);
Bitmap24 DecodeJpeg(const QByteArray& data);
Bitmap24 DecodeBmp(const QByteArray& data);

// A 24-bit PNG of the bitmap, without gamma or colour chunks; empty for an empty bitmap.
QByteArray EncodePng(const Bitmap24& bitmap);

// Loads a skin picture, choosing the decoder by the file's extension (any letter case):
// ".png" PNG, ".jpg"/".jpeg" JPEG, ".bmp" BMP, ".prs" PNG and else BMP; any other extension
// is not read. When nothing could be decoded the bitmap keeps what it had.
void LoadSkinImage(Bitmap24& bitmap, const QString& path);
// The same as a 32-bit image for painting; null when nothing could be decoded. These decoders
// keep Qt's image plug-ins, and the libraries behind them, out of the process.
QImage LoadPictureImage(const QString& path);

