#include "skin/SkinImage.h"

#include "platform/FileRead.h"
#include "skin/LibJpeg.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

namespace {

// libpng and libjpeg report errors by longjmp. Each function below that calls into them sets
// its own jump point and holds no object with a destructor, so a jump skips no cleanup (the
// JPEG reader is made and destroyed outside those functions).

struct PngSource
{
    const unsigned char* data;
    std::size_t size;
    std::size_t offset;
};

void PngRead(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->offset)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

void PngSilence(png_structp, png_const_charp)
{}

void PngFail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

bool ReadPngHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    int bitDepth = 0;
    int colorType = 0;
    png_get_IHDR(png, info, width, height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    // Everything becomes 8-bit blue, green, red; alpha and transparency are dropped unblended.
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (colorType & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_channels(png, info) == 3 && png_get_bit_depth(png, info) == 8;
}

// Row by row, pass by pass: a table of row pointers would cost more than a thin picture.
bool ReadPngRows(png_structp png, Bitmap24* image)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < image->Height(); ++y)
            png_read_row(png, image->Row(y), nullptr);
    return true;
}

struct JpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegSilence(j_common_ptr)
{}

// A progressive file can ask for an endless number of scans; no real picture needs many.
constexpr long MaxJpegScans = 1000;

void JpegProgress(j_common_ptr info)
{
    if (info->is_decompressor) {
        auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
        if (decompress->input_scan_number > MaxJpegScans)
            JpegFail(info);
    }
}

// A decompressor whose errors jump back into the step that met them. Not made (Made() false)
// when libjpeg cannot be loaded.
struct JpegReader
{
    JpegReader() : jpeg(LibJpeg::Get())
    {
        if (!jpeg)
            return;
        info.err = jpeg->std_error(&error.manager);
        error.manager.error_exit = JpegFail;
        error.manager.output_message = JpegSilence;
        progress.progress_monitor = JpegProgress;
        if (setjmp(error.jump))
            return;
        jpeg->CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
        info.progress = &progress;
        made = true;
    }
    ~JpegReader()
    {
        if (made)
            jpeg->destroy_decompress(&info);
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    bool Made() const { return made; }

    const LibJpeg* jpeg;
    jpeg_decompress_struct info{};
    JpegError error{};
    jpeg_progress_mgr progress{};
    bool made = false;
};

bool ReadJpegHeader(JpegReader& reader, const QByteArray& data)
{
    if (setjmp(reader.error.jump))
        return false;
    jpeg_decompress_struct* info = &reader.info;
    reader.jpeg->mem_src(info, reinterpret_cast<const unsigned char*>(data.constData()),
                         static_cast<unsigned long>(data.size()));
    reader.jpeg->read_header(info, TRUE);
    info->out_color_space = JCS_EXT_BGR;
    info->mem->max_memory_to_use = MaxPictureBytes;
    return true;
}

bool ReadJpegRows(JpegReader& reader, Bitmap24* target)
{
    if (setjmp(reader.error.jump))
        return false;
    jpeg_decompress_struct* info = &reader.info;
    reader.jpeg->start_decompress(info);
    if (info->output_width != static_cast<JDIMENSION>(target->Width()) ||
        info->output_height != static_cast<JDIMENSION>(target->Height()) ||
        info->output_components != 3)
        return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = target->Row(static_cast<int>(info->output_scanline));
        reader.jpeg->read_scanlines(info, &row, 1);
    }
    reader.jpeg->finish_decompress(info);
    return true;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void PngFlush(png_structp)
{}

// With an outline, `row` has room for a row of four bytes a pixel; it is the caller's, since
// a failure jumps out of here past any destructor.
bool WritePngRows(png_structp png, png_infop info, const Bitmap24* bitmap, const Mask8* outline,
                  png_bytep row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap->Width()),
                 static_cast<png_uint_32>(bitmap->Height()), 8,
                 outline ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int y = 0; y < bitmap->Height(); ++y) {
        if (!outline) {
            png_write_row(png, const_cast<png_bytep>(bitmap->Row(y)));
            continue;
        }
        const std::uint8_t* in = bitmap->Row(y);
        const std::uint8_t* opaque = outline->Row(y);
        for (int x = 0; x < bitmap->Width(); ++x) {
            std::copy(in + 3 * x, in + 3 * x + 3, row + 4 * x);
            row[4 * x + 3] = opaque[x];
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

QByteArray ReadPictureFile(const QString& path)
{
    return ReadFileUpTo(path, MaxPictureFileSize).Bytes;
}

bool IsPng(const QByteArray& data)
{
    return data.size() >= 8 &&
           png_sig_cmp(reinterpret_cast<png_const_bytep>(data.constData()), 0, 8) == 0;
}

std::optional<QSize> PngHeaderSize(const QByteArray& data)
{
    // The signature, then the IHDR chunk: length, type, width and height.
    if (!IsPng(data) || data.size() < 24 || data.mid(12, 4) != "IHDR")
        return std::nullopt;
    const auto side = [&](int at) {
        return int(std::min<quint32>(qFromBigEndian<quint32>(data.constData() + at), INT_MAX));
    };
    return QSize(side(16), side(20));
}

std::optional<QSize> JpegHeaderSize(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    JpegReader reader;
    if (!reader.Made() || !ReadJpegHeader(reader, data))
        return std::nullopt;
    return QSize(int(std::min<JDIMENSION>(reader.info.image_width, INT_MAX)),
                 int(std::min<JDIMENSION>(reader.info.image_height, INT_MAX)));
}

std::optional<QSize> BmpHeaderSize(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer, "bmp").size();
    return size.isValid() ? std::optional<QSize>(size) : std::nullopt;
}

} // namespace

bool PictureFits(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    return ((width * 3 + 3) & ~std::int64_t(3)) * height <= MaxPictureBytes;
}

QString PictureLimitText(const QString& file, QSize size)
{
    return QStringLiteral("%1 is %2 x %3 pixels; a picture may take at most %4 decoded")
        .arg(file)
        .arg(size.width())
        .arg(size.height())
        .arg(ByteCountText(MaxPictureBytes));
}

Bitmap24 DecodePng(const QByteArray& data)
{
    if (!IsPng(data))
        return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngSilence);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {};
    }
    // The widest and the tallest picture the decoded size allows; PictureFits takes the rest.
    png_set_user_limits(png, png_uint_32(MaxPictureBytes / 3), png_uint_32(MaxPictureBytes / 4));
    png_set_chunk_malloc_max(png, 8 << 20);
    // Only the chunks that make the pixels are read. libpng sets a buffer of a text or other
    // ancillary chunk's stated length aside before reading it, so one that claims gigabytes
    // would be given them; skipped, such a chunk costs nothing. Transparency goes too: alpha is
    // dropped anyway, and tRNS would turn a palette picture into one with an alpha channel.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER,
                                reinterpret_cast<png_const_bytep>("tRNS"), 1);
    PngSource source{reinterpret_cast<const unsigned char*>(data.constData()),
                     static_cast<std::size_t>(data.size()), 0};
    png_set_read_fn(png, &source, PngRead);

    Bitmap24 result;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (ReadPngHeader(png, info, &width, &height) && PictureFits(width, height)) {
        Bitmap24 image(static_cast<int>(width), static_cast<int>(height));
        if (ReadPngRows(png, &image))
            result = std::move(image);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

Bitmap24 DecodeJpeg(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    JpegReader reader;
    if (!reader.Made() || !ReadJpegHeader(reader, data) ||
        !PictureFits(reader.info.image_width, reader.info.image_height))
        return {};
    Bitmap24 image(static_cast<int>(reader.info.image_width),
                   static_cast<int>(reader.info.image_height));
    if (!ReadJpegRows(reader, &image))
        return {};
    return image;
}

Bitmap24 DecodeBmp(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QSize size = reader.size();
    if (!size.isValid() || !PictureFits(size.width(), size.height()))
        return {};
    return Bitmap24::FromImage(reader.read());
}

QByteArray EncodePng(const Bitmap24& bitmap, const Mask8& outline)
{
    if (bitmap.IsEmpty())
        return {};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngSilence);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    QByteArray out;
    if (info) {
        png_set_write_fn(png, &out, PngWrite, PngFlush);
        const bool withOutline = !outline.IsEmpty() && outline.Width() == bitmap.Width() &&
                                 outline.Height() == bitmap.Height();
        std::vector<png_byte> row(withOutline ? std::size_t(bitmap.Width()) * 4 : 0);
        if (!WritePngRows(png, info, &bitmap, withOutline ? &outline : nullptr, row.data()))
            out.clear();
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

PictureFormat PictureFormatOf(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toUpper();
    if (extension == u"PRS")
        return PictureFormat::PngOrBmp;
    if (extension == u"BMP")
        return PictureFormat::Bmp;
    if (extension == u"PNG")
        return PictureFormat::Png;
    if (extension == u"JPG" || extension == u"JPEG")
        return PictureFormat::Jpeg;
    return PictureFormat::None;
}

std::optional<QSize> PictureHeaderSize(const QByteArray& data, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
        return PngHeaderSize(data);
    case PictureFormat::Jpeg:
        return JpegHeaderSize(data);
    case PictureFormat::Bmp:
        return BmpHeaderSize(data);
    case PictureFormat::PngOrBmp:
        return IsPng(data) ? PngHeaderSize(data) : BmpHeaderSize(data);
    case PictureFormat::None:
        break;
    }
    return std::nullopt;
}

QString PictureDecoderMissing(PictureFormat format)
{
    if (format == PictureFormat::Jpeg && !LibJpeg::Get())
        return QStringLiteral("JPEG pictures cannot be read (%1)").arg(LibJpeg::LoadError());
    return {};
}

Bitmap24 DecodePicture(const QByteArray& data, PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
        return DecodePng(data);
    case PictureFormat::Jpeg:
        return DecodeJpeg(data);
    case PictureFormat::Bmp:
        return DecodeBmp(data);
    case PictureFormat::PngOrBmp: {
        Bitmap24 decoded = DecodePng(data);
        return decoded.IsEmpty() ? DecodeBmp(data) : decoded;
    }
    case PictureFormat::None:
        break;
    }
    return {};
}

void LoadSkinImage(Bitmap24& bitmap, const QString& path)
{
    const PictureFormat format = PictureFormatOf(path);
    if (format == PictureFormat::None)
        return;
    Bitmap24 decoded = DecodePicture(ReadPictureFile(path), format);
    if (!decoded.IsEmpty())
        bitmap = std::move(decoded);
}

QImage LoadPictureImage(const QString& path)
{
    Bitmap24 picture;
    LoadSkinImage(picture, path);
    return picture.ImageView().convertToFormat(QImage::Format_RGB32);
}
