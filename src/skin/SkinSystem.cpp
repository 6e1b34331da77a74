#include "skin/SkinSystem.h"

#include "platform/FileRead.h"
#include "platform/FontFiles.h"
#include "platform/ProfileIni.h"
#include "skin/SkinElements.h"
#include "skin/SkinImage.h"
#include "skin/SkinText.h"
#include "skin/SkinTypeface.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>

namespace {

const QString Identity = QString::fromLatin1(TSkinSystem::IdentitySection);
const QString CompactName = QString::fromLatin1(TSkinSystem::CompactSection);
const QString FullName = QString::fromLatin1(TSkinSystem::FullSection);

// Integers of skin files may also be written in hexadecimal after "$".
std::optional<int> ParseSkinInteger(const QString& text)
{
    QString t = text.trimmed();
    if (t.startsWith(u'$'))
        t = QStringLiteral("0x") + t.mid(1);
    return ProfileIni::ParseInteger(t);
}

int ReadSkinInteger(const ProfileIni& ini, const QString& section, const QString& key,
                    int defaultValue)
{
    return ParseSkinInteger(ini.ReadString(section, key)).value_or(defaultValue);
}

bool ReadSkinBool(const ProfileIni& ini, const QString& section, const QString& key)
{
    return ReadSkinInteger(ini, section, key, 0) != 0;
}

// Raised where reading cannot go on (a frame count of 0); what was read so far stays.
class SkinReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Raised for a skin beyond a limit, or one that cannot be shown; the whole skin is refused.
class SkinLimitError : public std::runtime_error
{
public:
    explicit SkinLimitError(const QString& why) : std::runtime_error(why.toStdString()) {}
};

std::int64_t ImageBytes(const Bitmap24& image)
{
    return std::int64_t(image.Width()) * image.Height() * 3;
}

// The skin information counts a mask as the 24-bit bitmap it is in the skin format, whatever
// it takes here, so that its figure means the same for every skin.
std::int64_t ImageBytes(const Mask8& mask)
{
    return std::int64_t(mask.Width()) * mask.Height() * 3;
}

SkinPictureHeader ReadPictureHeader(const QString& file, QByteArray* bytes = nullptr)
{
    FileRead read = ReadFileUpTo(file, MaxPictureFileSize);
    SkinPictureHeader header{read.Status, {}, {}};
    if (read.Status == FileRead::Result::Read) {
        header.Key = QCryptographicHash::hash(read.Bytes, QCryptographicHash::Sha1);
        header.Size = PictureHeaderSize(read.Bytes, PictureFormatOf(file));
        if (bytes)
            *bytes = std::move(read.Bytes);
    }
    return header;
}

} // namespace

// Reads one definition file into the model, in the file format's order, so that an error
// leaves exactly the keys before it in the model.
class TSkinSystem::Reader
{
public:
    Reader(TSkinSystem& skin, const ProfileIni& ini, QString imageFolder,
           SkinCheck depth = SkinCheck::Pictures, SkinPictureHeaders* headers = nullptr)
        : m_skin(skin), m_ini(ini), m_folder(std::move(imageFolder)), m_depth(depth),
          m_headers(depth == SkinCheck::Headers ? headers : nullptr)
    {}

    // Everything the skin defines, or the limit it goes beyond. The model holds what was read
    // in either case; the reason reading stopped early, if it did, goes to *stopped.
    std::optional<QString> ReadAll(QString* stopped)
    {
        try {
            ReadIdentity();
            ReadMode(m_skin.Compact, false);
            ReadMode(m_skin.Full, true);
            AddMemory(2 * std::int64_t(sizeof(TSkinModeRecord)));
        } catch (const SkinLimitError& error) {
            return QString::fromStdString(error.what());
        } catch (const std::exception& error) {
            *stopped = QString::fromUtf8(error.what());
        }
        // A mode whose background the screen cannot hold is left out; the skin is refused only
        // when that leaves it none.
        if (!m_tooLarge.isEmpty() && !m_skin.Compact.Enable && !m_skin.Full.Enable)
            return m_tooLarge;
        return std::nullopt;
    }

    // The modes left out because the screen cannot hold them, for the log.
    const QString& TooLarge() const { return m_tooLarge; }

    void ReadIdentity()
    {
        m_skin.SkinName = m_ini.ReadString(Identity, "SkinName", "(No Name)");
        m_skin.SkinSystem = m_ini.ReadString(Identity, "SkinSystem");
        m_skin.CreaterName = m_ini.ReadString(Identity, "CreaterName");
        m_skin.CreaterURL = m_ini.ReadString(Identity, "CreaterURL");
        m_skin.Win9x = ReadSkinBool(m_ini, Identity, "Win9x");
        m_skin.WinNT = ReadSkinBool(m_ini, Identity, "WinNT");
        QString banner = Image(Identity, "CreaterBanner");
        if (!banner.isEmpty()) {
            // Only counted here; the banner is loaded when it is shown.
            Bitmap24 image;
            const std::int64_t bytes = LoadImage(image, banner, false).Bytes();
            AddMemory(bytes);
            m_imageBytes -= bytes;
        }
    }

    void ReadMode(TSkinModeRecord& mode, bool full)
    {
        const QString& s = full ? FullName : CompactName;
        mode.Enable = ReadSkinBool(m_ini, s, "Enable");
        m_modeShown = mode.Enable;
        QString bg = Image(s, "Bg");
        if (!bg.isEmpty()) {
            // A background that is there but is no picture would leave the window without a
            // face or an outline.
            const QSize size = LoadImage(mode.Background, bg, mode.Enable).Size;
            AddMemory(ImageBytes(mode.Background));
            const QSize screen = m_skin.MaxWindowSize;
            if (mode.Enable && !screen.isEmpty() &&
                (size.width() > screen.width() || size.height() > screen.height())) {
                mode.Enable = false;
                m_tooLarge = QStringLiteral("%1 is %2 x %3 pixels, larger than the screen (%4 x %5)")
                                 .arg(bg)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(screen.width())
                                 .arg(screen.height());
            }
        }
        QString bgMask = m_ini.ReadString(s, "BgMaskColor");
        mode.BgMaskFlag = !bgMask.isEmpty();
        mode.BgMaskColor = 0;
        if (mode.BgMaskFlag)
            ParseSkinColor(bgMask, mode.BgMaskColor);
        mode.MissingDim = std::clamp(
            ReadSkinInteger(m_ini, s, "MissingDim", TSkinModeRecord::DefaultMissingDim), 0, 100);
        ReadFont(mode.Font, s);

        const QString missingText = m_ini.ReadString(s, "MissingText");
        mode.MissingText = missingText.isEmpty() ? QString::fromLatin1(TSkinModeRecord::DefaultMissingText)
                                                 : missingText;
        for (SkinStage stage :
             {SkinStage::Base, SkinStage::Throughput, SkinStage::Sensor, SkinStage::Machine}) {
            if (stage == SkinStage::Throughput && !full)
                ReadFloat(mode, s);
            for (const SkinElementRow& row : SkinElements()) {
                if (row.Stage != stage || (row.Kind == SkinElementKind::Graph && !full))
                    continue;
                ReadRow(mode, s, row, full);
                if (row.Kind == SkinElementKind::Meter && row.Index == MeterRES)
                    mode.ResRevSW = ReadSkinBool(m_ini, s, "ResRevSW");
            }
            if (stage == SkinStage::Throughput && full)
                ReadFloat(mode, s);
        }
    }

    void AddMemory(std::int64_t bytes)
    {
        std::int64_t total = std::int64_t(m_skin.MemUsed) + bytes;
        m_skin.MemUsed = static_cast<qint32>(std::min<std::int64_t>(total, INT32_MAX));
    }

private:
    struct Picture
    {
        QByteArray Key; // the hash of the file's bytes, which names it for the caches
        QSize Size;     // decoded, or as its header gives it when pictures are not decoded
        std::int64_t Bytes() const { return std::int64_t(Size.width()) * Size.height() * 3; }
    };

    // The one rule every picture of a skin is held to, whether the skin is loaded, validated
    // or listed: a file of at most MaxPictureFileSize, a picture that fits PictureFits by its
    // header, all pictures together within the budget, and, where it is shown (required), one
    // that decodes. Only the check of the skin list leaves out the decoding. The key is empty
    // when the file is not read.
    Picture LoadImage(Bitmap24& target, const QString& file, bool required = true)
    {
        QByteArray bytes;
        const SkinPictureHeader header =
            m_headers ? m_headers->Get(QFileInfo(file),
                                       [](const QString& path) { return ReadPictureHeader(path); })
                      : ReadPictureHeader(file, &bytes);
        if (header.Status == FileRead::Result::TooLarge)
            throw SkinLimitError(file + QStringLiteral(" is larger than ") +
                                 ByteCountText(MaxPictureFileSize));
        if (header.Status != FileRead::Result::Read)
            return {};
        // The same picture under two names (compact and full mode often share their meters)
        // is decoded once, and the two share its pixels.
        const QByteArray& key = header.Key;
        if (const auto known = m_decoded.find(key); known != m_decoded.end()) {
            target = known->second.Image;
        } else {
            // The header tells what the picture would take before a pixel is decoded.
            const std::optional<QSize>& size = header.Size;
            if (size) {
                if (!PictureFits(size->width(), size->height()))
                    throw SkinLimitError(PictureLimitText(file, *size));
                // Masks and glyph copies come to about as much again.
                if (m_imageBytes + 2 * std::int64_t(size->width()) * size->height() * 3 >
                    m_skin.ImageBudget)
                    throw SkinLimitError(
                        QStringLiteral("with %1 the pictures would take more than %2")
                            .arg(file, ByteCountText(m_skin.ImageBudget)));
            }
            Decoded entry;
            if (m_depth == SkinCheck::Pictures) {
                Bitmap24 decoded = DecodePicture(bytes, PictureFormatOf(file));
                const bool decodes = !decoded.IsEmpty();
                if (decodes)
                    target = std::move(decoded);
                entry = {target, QSize(target.Width(), target.Height()), decodes};
            } else {
                entry = {{}, size.value_or(QSize(0, 0)), true};
            }
            m_imageBytes += 2 * std::int64_t(entry.Size.width()) * entry.Size.height() * 3;
            m_decoded.emplace(key, entry);
        }
        const Decoded& picture = m_decoded.at(key);
        if (required && !picture.Decodes) {
            const QString missing = PictureDecoderMissing(PictureFormatOf(file));
            throw SkinLimitError(file + (missing.isEmpty() ? QStringLiteral(" is no picture")
                                                           : QStringLiteral(": ") + missing));
        }
        return {key, picture.Size};
    }

    // A strip made once for each picture and frame layout.
    DeltaStrip StripOf(const QByteArray& pictureKey, const Bitmap24& picture, int frames,
                       int frameHeight)
    {
        const std::tuple<QByteArray, int, int> key{pictureKey, frames, frameHeight};
        if (const auto known = m_strips.find(key); !pictureKey.isEmpty() && known != m_strips.end())
            return known->second;
        DeltaStrip strip(picture, frames, frameHeight);
        if (!pictureKey.isEmpty())
            m_strips.emplace(key, strip);
        return strip;
    }

    QString Image(const QString& section, const QString& key) const
    {
        QString value = m_ini.ReadString(section, key);
        return value.isEmpty() ? QString() : ResolveImageFile(m_folder, value);
    }

    void ReadFloat(TSkinModeRecord& mode, const QString& s)
    {
        mode.FloatSW = ReadSkinBool(m_ini, s, "FloatSW");
        mode.FloatPosX = ReadSkinInteger(m_ini, s, "FloatPosX", 0);
        mode.FloatPosY = ReadSkinInteger(m_ini, s, "FloatPosY", 0);
    }

    void ReadRow(TSkinModeRecord& mode, const QString& s, const SkinElementRow& row, bool full)
    {
        const QString prefix = SkinElementPrefix(row);
        switch (row.Kind) {
        case SkinElementKind::Meter:
            ReadElement(mode.Meters[row.Index], s, prefix, std::nullopt);
            mode.Speeds[row.Index] = ReadSkinInteger(
                m_ini, s,
                QString::fromLatin1(full && row.FullSpeedKey ? row.FullSpeedKey : row.SpeedKey),
                0);
            break;
        case SkinElementKind::Lamp:
            ReadElement(mode.Lamps[row.Index], s, prefix, row.LampFrames);
            break;
        case SkinElementKind::Readout:
            ReadReadout(mode.Readouts[row.Index], s, prefix);
            break;
        case SkinElementKind::Graph:
            ReadGraph(mode.Graphs[row.Index], s, prefix);
            break;
        case SkinElementKind::Text:
            ReadText(mode.Texts[row.Index], s, prefix);
            break;
        }
    }

    void ReadText(TSkinText& t, const QString& s, const QString& prefix)
    {
        t.Value = m_ini.ReadString(s, prefix).trimmed();
        t.Enabled = !t.Value.isEmpty();
        if (!t.Enabled)
            return;
        t.Number = SkinTextNumberNamed(t.Value);
        t.String = SkinTextValueNamed(t.Value);
        t.X = ReadSkinInteger(m_ini, s, prefix + "X", 0);
        t.Y = ReadSkinInteger(m_ini, s, prefix + "Y", 0);
        t.W = ReadSkinInteger(m_ini, s, prefix + "W", 0);
        t.H = ReadSkinInteger(m_ini, s, prefix + "H", 0);
        t.Size = std::clamp(ReadSkinInteger(m_ini, s, prefix + "Size", t.Size), SkinTypeface::MinSize,
                            SkinTypeface::MaxSize);
        const QString color = m_ini.ReadString(s, prefix + "Color");
        if (!color.isEmpty())
            ParseSkinColor(color, t.Color);
        t.Align = SkinTextAlignment(m_ini.ReadString(s, prefix + "Align"))
                      .value_or(TSkinText::Alignment::Left);
        t.Format = m_ini.ReadString(s, prefix + "Format");
        t.Face = Typeface(m_ini.ReadString(s, prefix + "Font").trimmed());
    }

    // The font a text names: a font file in the skin's folder, held to the limits of outside
    // input, or a family of the system's, which falls back to its default font. Each file is
    // read once for the whole skin.
    std::shared_ptr<const SkinTypeface> Typeface(const QString& value)
    {
        const bool own = IsFontFileName(value);
        // A family of the system's is looked up only for a skin that is loaded: the quick check
        // of the skin list would start fontconfig, and hold its configuration and caches, in
        // every run whatever skin it shows.
        if (!own && m_depth == SkinCheck::Headers)
            return nullptr;
        const QString file = own ? ResolveImageFile(m_folder, value) : SystemFontFile(value);
        if (own && file.isEmpty())
            throw SkinLimitError(value + QStringLiteral(": font file not found"));
        if (file.isEmpty())
            return nullptr;
        if (const auto known = m_faces.find(file); known != m_faces.end())
            return known->second;
        const qint64 limit = own ? SkinTypeface::MaxFileSize : SkinTypeface::MaxSystemFileSize;
        std::shared_ptr<const SkinTypeface> face;
        if (m_depth == SkinCheck::Headers) {
            // The quick check of the skin list only looks at the size.
            if (QFileInfo(file).size() > limit)
                throw SkinLimitError(file + QStringLiteral(" is larger than ") + ByteCountText(limit));
        } else {
            const FileRead read = ReadFileUpTo(file, limit);
            if (read.Status == FileRead::Result::TooLarge)
                throw SkinLimitError(file + QStringLiteral(" is larger than ") + ByteCountText(limit));
            face = read.Status == FileRead::Result::Read ? SkinTypeface::FromBytes(read.Bytes) : nullptr;
            if (!face && own)
                throw SkinLimitError(file + QStringLiteral(" is no font"));
            AddMemory(read.Bytes.size());
        }
        m_faces.emplace(file, face);
        return face;
    }

    // A meter reads its frame count from the file, a lamp has a fixed one.
    void ReadElement(TSkinElement& e, const QString& s, const QString& prefix,
                     std::optional<int> fixedFrames)
    {
        QString file = Image(s, prefix);
        Bitmap24 picture;
        if (!file.isEmpty()) {
            e.Enabled = true;
            const QByteArray key = LoadImage(picture, file, m_modeShown).Key;
            e.X = ReadSkinInteger(m_ini, s, prefix + "X", 0);
            e.Y = ReadSkinInteger(m_ini, s, prefix + "Y", 0);
            e.Frames = fixedFrames ? *fixedFrames : ReadSkinInteger(m_ini, s, prefix + "Frames", 1);
            e.Width = picture.Width();
            if (e.Frames == 0)
                throw SkinReadError("Division by zero (" + prefix.toStdString() + "Frames)");
            e.FrameHeight = picture.Height() / e.Frames;
            e.Strip = StripOf(key, picture, e.Frames, e.FrameHeight);
            AddMemory(ImageBytes(picture));
        } else {
            e.Enabled = false;
        }
        QString maskText = m_ini.ReadString(s, prefix + "MaskColor");
        if (!maskText.isEmpty()) {
            e.MaskFlag = true;
            ParseSkinColor(maskText, e.MaskColor);
            // The strip is drawn by testing each pixel against the mask colour, which is what
            // a mask made from it would say; the information still counts the mask.
            AddMemory(ImageBytes(picture));
        }
    }

    void ReadFont(TSkinFont& font, const QString& s)
    {
        QString file = Image(s, "Font");
        if (!file.isEmpty()) {
            font.Enabled = true;
            Bitmap24 strip;
            LoadImage(strip, file, m_modeShown);
            font.GlyphWidth = strip.Width() / 11;
            font.GlyphHeight = strip.Height();
            for (int i = 0; i <= TSkinFont::FillerGlyph; ++i) {
                font.Glyphs[i] =
                    strip.Copy(i * font.GlyphWidth, 0, font.GlyphWidth, font.GlyphHeight);
                AddMemory(ImageBytes(font.Glyphs[i]));
            }
        }
        QString maskText = m_ini.ReadString(s, "FontMaskColor");
        font.MaskFlag = !maskText.isEmpty();
        if (font.MaskFlag) {
            ParseSkinColor(maskText, font.MaskColor);
            for (int i = 0; i <= TSkinFont::FillerGlyph; ++i) {
                font.GlyphMasks[i] = MakeMask(font.Glyphs[i], font.MaskColor);
                AddMemory(ImageBytes(font.GlyphMasks[i]));
            }
        }
    }

    void ReadReadout(TSkinReadout& r, const QString& s, const QString& prefix)
    {
        r.Enabled = ReadSkinBool(m_ini, s, prefix + "ValSW");
        if (!r.Enabled)
            return;
        r.X = ReadSkinInteger(m_ini, s, prefix + "ValX", 0);
        r.Y = ReadSkinInteger(m_ini, s, prefix + "ValY", 0);
        r.B = ReadSkinInteger(m_ini, s, prefix + "ValB", 1);
        r.FZ = ReadSkinBool(m_ini, s, prefix + "ValFZ");
    }

    void ReadGraph(TSkinGraph& g, const QString& s, const QString& prefix)
    {
        g.Enabled = ReadSkinBool(m_ini, s, prefix + "SW");
        if (!g.Enabled)
            return;
        g.X = ReadSkinInteger(m_ini, s, prefix + "X", 0);
        g.Y = ReadSkinInteger(m_ini, s, prefix + "Y", 0);
        g.W = ReadSkinInteger(m_ini, s, prefix + "W", 0);
        g.H = ReadSkinInteger(m_ini, s, prefix + "H", 0);
        g.Type = ReadSkinInteger(m_ini, s, prefix + "Type", 0);
        g.Deep = ReadSkinInteger(m_ini, s, prefix + "Deep", 32);
        g.Color = 0;
        QString color = m_ini.ReadString(s, prefix + "Color");
        if (!color.isEmpty())
            ParseSkinColor(color, g.Color);
    }

    TSkinSystem& m_skin;
    const ProfileIni& m_ini;
    QString m_folder;
    SkinCheck m_depth;
    SkinPictureHeaders* m_headers; // kept across checks of the skin list
    bool m_modeShown = false; // the mode being read is enabled
    QString m_tooLarge;
    std::int64_t m_imageBytes = 0;
    struct Decoded
    {
        Bitmap24 Image;
        QSize Size;
        bool Decodes = false;
    };
    std::map<QByteArray, Decoded> m_decoded;
    std::map<std::tuple<QByteArray, int, int>, DeltaStrip> m_strips;
    std::map<QString, std::shared_ptr<const SkinTypeface>> m_faces;
};

bool TSkinSystem::IsFontFileName(const QString& value)
{
    static const QStringList endings = {".ttf", ".otf", ".ttc", ".otc", ".pfb", ".pfa"};
    return std::any_of(endings.begin(), endings.end(), [&](const QString& ending) {
        return value.endsWith(ending, Qt::CaseInsensitive);
    });
}

std::optional<TSkinText::Alignment> TSkinSystem::SkinTextAlignment(const QString& value)
{
    const QString v = value.trimmed().toLower();
    if (v.isEmpty() || v == u"left")
        return TSkinText::Alignment::Left;
    if (v == u"center" || v == u"centre")
        return TSkinText::Alignment::Center;
    if (v == u"right")
        return TSkinText::Alignment::Right;
    return std::nullopt;
}

bool TSkinSystem::ParseSkinColor(const QString& text, SkinColor& color)
{
    color = 0;
    if (text.size() != 7 || text[0] != u'#')
        return false;
    int channels[3] = {};
    for (int i = 0; i < 6; ++i) {
        char16_t c = text[1 + i].unicode();
        int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
        if (digit < 0)
            return false;
        channels[i / 2] = channels[i / 2] * 16 + digit;
    }
    color = MakeSkinColor(channels[0], channels[1], channels[2]);
    return true;
}

QString TSkinSystem::SkinImageFolder(const QString& definitionPath)
{
    QFileInfo info(definitionPath);
    return info.absolutePath() + u'/' + info.completeBaseName() + u'/';
}

QString TSkinSystem::ResolveImageFile(const QString& imageFolder, const QString& value)
{
    QString relative = value;
    relative.replace(u'\\', u'/');
    QString exact = imageFolder + relative;
    if (QFileInfo(exact).isFile())
        return exact;
    // Skins made on Windows name their files in any letter case.
    QString current = imageFolder;
    const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part == u"." || part == u"..") {
            current += part + u'/';
            continue;
        }
        QDir dir(current);
        QString match;
        const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        for (const QString& entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                match = entry;
                break;
            }
        }
        if (match.isEmpty())
            return {};
        current += match;
        if (i + 1 < parts.size())
            current += u'/';
    }
    return QFileInfo(current).isFile() ? current : QString();
}

std::optional<QString> TSkinSystem::ReadDefinition(const QString& path, ProfileIni& ini)
{
    const FileRead read = ReadFileUpTo(path, ProfileIni::MaxFileSize);
    switch (read.Status) {
    case FileRead::Result::Read:
        ini.LoadBytes(read.Bytes);
        return std::nullopt;
    case FileRead::Result::Missing:
        return QStringLiteral("%1: file not found").arg(path);
    case FileRead::Result::Unreadable:
        return QStringLiteral("%1: file cannot be read").arg(path);
    case FileRead::Result::TooLarge:
        break;
    }
    return QStringLiteral("%1: file larger than %2").arg(path, ByteCountText(ProfileIni::MaxFileSize));
}

bool TSkinSystem::LoadSkin(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    const FileRead read = ReadFileUpTo(path, ProfileIni::MaxFileSize);
    if (read.Status == FileRead::Result::TooLarge) {
        m_log(QStringLiteral("<WARNING>Skin refused : %1 is larger than %2")
                  .arg(path, ByteCountText(ProfileIni::MaxFileSize)));
        return false;
    }
    ProfileIni ini;
    if (read.Status == FileRead::Result::Read)
        ini.LoadBytes(read.Bytes);
    else
        m_log(QStringLiteral("<WARNING>Skin file unreadable : ") + path);
    // Read into a model of its own, so a refused skin leaves the current one as it was.
    TSkinSystem next(m_log);
    next.ImageBudget = ImageBudget;
    next.MaxWindowSize = MaxWindowSize;
    Reader reader(next, ini, SkinImageFolder(path));
    QString stopped;
    if (const std::optional<QString> refusal = reader.ReadAll(&stopped)) {
        m_log(QStringLiteral("<WARNING>Skin refused : ") + *refusal);
        return false;
    }
    if (!stopped.isEmpty())
        m_log(QStringLiteral("<WARNING>Skin reading stopped : ") + stopped);
    if (!reader.TooLarge().isEmpty())
        m_log(QStringLiteral("<WARNING>Skin mode left out : ") + reader.TooLarge());
    next.m_path = path;
    *this = std::move(next);
    return true;
}

namespace {

// The keys that name a picture or a mask colour: the digit strip's and the background's, then
// those of every meter and lamp.
QStringList PictureKeys(const QString& first, const QString& suffix)
{
    QStringList keys{first};
    for (const SkinElementRow& row : SkinElements())
        if (row.Kind == SkinElementKind::Meter || row.Kind == SkinElementKind::Lamp)
            keys << SkinElementPrefix(row) + suffix;
    return keys;
}

QString Fault(const QString& section, const QString& key, const QString& value, const QString& why)
{
    return QStringLiteral("[%1] %2=%3: %4").arg(section, key, value, why);
}

// The keys of the texts of a mode, but for their fonts, which are checked as they are read.
std::optional<QString> FindTextFault(const ProfileIni& ini, const QString& section)
{
    for (const SkinElementRow& row : SkinElements()) {
        if (row.Kind != SkinElementKind::Text)
            continue;
        const QString p = SkinElementPrefix(row);
        const QString name = ini.ReadString(section, p).trimmed();
        if (name.isEmpty())
            continue;
        const std::optional<SkinInput> number = SkinTextNumberNamed(name);
        if (!number && !SkinTextValueNamed(name))
            return Fault(section, p, name, "no such value");
        const QString color = ini.ReadString(section, p + "Color");
        SkinColor parsed;
        if (!color.isEmpty() && !TSkinSystem::ParseSkinColor(color, parsed))
            return Fault(section, p + "Color", color, "not a colour \"#RRGGBB\"");
        const QString align = ini.ReadString(section, p + "Align");
        if (!TSkinSystem::SkinTextAlignment(align))
            return Fault(section, p + "Align", align, "not left, center or right");
        const QString sizeText = ini.ReadString(section, p + "Size");
        const int size = ReadSkinInteger(ini, section, p + "Size", 12);
        if (size < SkinTypeface::MinSize || size > SkinTypeface::MaxSize)
            return Fault(section, p + "Size", sizeText,
                         QStringLiteral("size outside %1..%2")
                             .arg(SkinTypeface::MinSize)
                             .arg(SkinTypeface::MaxSize));
        const QString format = ini.ReadString(section, p + "Format");
        const SkinTextInput sample = number ? SkinTextInput(0.0) : SkinTextInput(QString());
        if (!format.isEmpty() && !FormatSkinText(format, sample))
            return Fault(section, p + "Format", format,
                         number ? "not a format of a number" : "not a format of a string");
    }
    return std::nullopt;
}

} // namespace

bool TSkinSystem::ValidateSkin(const QString& path, SkinPlatform platform)
{
    return !FindSkinFault(path, platform).has_value();
}

std::optional<QString> TSkinSystem::FindSkinFault(const QString& path, SkinPlatform platform,
                                                  SkinCheck depth, QSize screen)
{
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1: file not found").arg(path);
    ProfileIni ini;
    if (std::optional<QString> fault = ReadDefinition(path, ini))
        return fault;
    return FindSkinFault(ini, path, platform, depth, screen);
}

std::optional<QString> TSkinSystem::FindSkinFault(const ProfileIni& ini, const QString& path,
                                                  SkinPlatform platform, SkinCheck depth,
                                                  QSize screen, SkinPictureHeaders* headers)
{
    const QString generation = ini.ReadString(Identity, "SkinSystem");
    if (!generation.isEmpty() && generation[0].unicode() > Generation)
        return Fault(Identity, "SkinSystem", generation, "needs a newer skin engine than C");

    const bool compactOn = ReadSkinBool(ini, CompactName, "Enable");
    const bool fullOn = ReadSkinBool(ini, FullName, "Enable");
    if (!compactOn && !fullOn)
        return Fault(CompactName + " and " + FullName, "Enable",
                     ini.ReadString(CompactName, "Enable") + " and " +
                         ini.ReadString(FullName, "Enable"),
                     "neither mode is enabled");

    const QString platformKey = platform == SkinPlatform::Win9x ? "Win9x" : "WinNT";
    if (!ReadSkinBool(ini, Identity, platformKey))
        return Fault(Identity, platformKey, ini.ReadString(Identity, platformKey),
                     "not made for this platform");

    const QString folder = SkinImageFolder(path);
    for (const QString& section : {CompactName, FullName}) {
        const bool on = section == CompactName ? compactOn : fullOn;
        const QString bg = ini.ReadString(section, "Bg");
        if (on && (bg.isEmpty() || ResolveImageFile(folder, bg).isEmpty()))
            return Fault(section, "Bg", bg, "background file not found");
    }
    for (const QString& section : {CompactName, FullName}) {
        for (const QString& key : PictureKeys(QStringLiteral("Font"), QString())) {
            const QString value = ini.ReadString(section, key);
            if (!value.isEmpty() && ResolveImageFile(folder, value).isEmpty())
                return Fault(section, key, value, "image file not found");
        }
    }
    for (const QString& section : {CompactName, FullName}) {
        for (const QString& key : PictureKeys(QStringLiteral("BgMaskColor"), QStringLiteral("MaskColor"))) {
            const QString value = ini.ReadString(section, key);
            SkinColor color;
            if (!value.isEmpty() && !ParseSkinColor(value, color))
                return Fault(section, key, value, "not a colour \"#RRGGBB\"");
        }
    }
    for (const SkinElementRow& row : SkinElements()) {
        if (row.Kind != SkinElementKind::Graph)
            continue;
        const QString prefix = SkinElementPrefix(row);
        const QString value = ini.ReadString(FullName, prefix + "Color");
        SkinColor color;
        if (ReadSkinBool(ini, FullName, prefix + "SW") && !ParseSkinColor(value, color))
            return Fault(FullName, prefix + "Color", value, "shown graph without a valid colour");
    }
    for (const QString& section : {CompactName, FullName}) {
        const int dim = ReadSkinInteger(ini, section, "MissingDim", 0);
        if (dim < 0 || dim > 100)
            return Fault(section, "MissingDim", ini.ReadString(section, "MissingDim"),
                         "brightness outside 0..100");
    }
    for (const QString& section : {CompactName, FullName})
        if (std::optional<QString> fault = FindTextFault(ini, section))
            return fault;
    for (const SkinElementRow& row : SkinElements()) {
        if (row.Kind != SkinElementKind::Graph)
            continue;
        const QString key = SkinElementPrefix(row) + "Deep";
        const int deep = ReadSkinInteger(ini, FullName, key, 32);
        if (deep < 1 || deep > 256)
            return Fault(FullName, key, ini.ReadString(FullName, key), "depth outside 1..256");
    }
    TSkinSystem scratch;
    scratch.MaxWindowSize = screen;
    QString stopped;
    return Reader(scratch, ini, folder, depth, headers).ReadAll(&stopped);
}
