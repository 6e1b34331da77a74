#pragma once

#include "skin/Bitmap24.h"
#include "skin/Mask8.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

// Limits no skin or program picture comes near: the largest real ones are a few hundred pixels
// a side and well under a megabyte. They are checked from the file's size and the picture's
// header before anything is decoded. The sides are bounded only by the decoded size, so a tall
// strip of many frames takes what any picture of its size does.
inline constexpr std::int64_t MaxPictureBytes = std::int64_t(64) << 20; // decoded, 24 bits
inline constexpr qint64 MaxPictureFileSize = qint64(96) << 20;
bool PictureFits(std::int64_t width, std::int64_t height);
// "bg.png is 16384 x 5400 pixels; a picture may take ...", for the log.
QString PictureLimitText(const QString& file, QSize size);

// Decoders of skin pictures. Each returns an empty bitmap for data it cannot decode, for a
// picture over the limits above, and for truncated or corrupt data; none of them applies
// gamma or colour profiles, so a mask colour matches the file's bytes exactly. Alpha is dropped.
Bitmap24 DecodePng(const QByteArray& data);
Bitmap24 DecodeJpeg(const QByteArray& data);
Bitmap24 DecodeBmp(const QByteArray& data);

// How a picture file is decoded, chosen by its extension in any letter case: ".png" PNG,
// ".jpg"/".jpeg" JPEG, ".bmp" BMP, ".prs" PNG and else BMP; any other extension is not read.
enum class PictureFormat
{
    None,
    Png,
    Jpeg,
    Bmp,
    PngOrBmp
};
PictureFormat PictureFormatOf(const QString& path);
// The size the picture's header gives, read without decoding a pixel; none when the data is
// not a picture of that format.
std::optional<QSize> PictureHeaderSize(const QByteArray& data, PictureFormat format);
Bitmap24 DecodePicture(const QByteArray& data, PictureFormat format);
// Why no picture of the format can be decoded here (libjpeg, loaded at the first JPEG, is
// missing); empty when they can.
QString PictureDecoderMissing(PictureFormat format);

// A 24-bit PNG of the bitmap, without gamma or colour chunks; empty for an empty bitmap. With
// an outline of the bitmap's size, a 32-bit one, transparent where the outline is.
QByteArray EncodePng(const Bitmap24& bitmap, const Mask8& outline = {});

// Loads a picture file by its format; a file over MaxPictureFileSize is not read. When nothing
// could be decoded the bitmap keeps what it had.
void LoadSkinImage(Bitmap24& bitmap, const QString& path);
// The same as a 32-bit image for painting; null when nothing could be decoded. These decoders
// keep Qt's image plug-ins, and the libraries behind them, out of the process.
QImage LoadPictureImage(const QString& path);

