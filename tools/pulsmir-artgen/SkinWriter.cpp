#include "SkinWriter.h"

#include "platform/AtomicFile.h"

SkinWriter::SkinWriter(const QString& skinFolder, const QString& base)
    : m_skinFolder(skinFolder), m_base(base)
{
    if (!QDir().mkpath(m_skinFolder + "/" + m_base))
        throw art::ArtError(("cannot create " + m_skinFolder + "/" + m_base).toStdString());
}

void SkinWriter::Identity(const QString& description, const QString& skinName)
{
    Ini.Comment(description);
    Ini.Comment("Drawn by pulsmir-artgen; change the generator and run it again.");
    Ini.Section("Pulsmir2_Skin");
    Ini.Set("SkinName", skinName);
    Ini.Set("SkinSystem", "C2");
    Ini.Set("CreaterName", "The Pulsmir project");
    Ini.Set("CreaterURL", "");
    Ini.Set("Win9x", 1);
    Ini.Set("WinNT", 1);
}

void SkinWriter::Mode(bool full)
{
    m_tag = full ? "l_" : "s_";
    Ini.Section(full ? "Pulsmir2_SkinL" : "Pulsmir2_SkinS");
    Ini.Set("Enable", 1);
}

QString SkinWriter::Picture(const QString& name, const QImage& image)
{
    art::WritePicture(image, m_skinFolder + "/" + m_base + "/" + name);
    return name;
}

void SkinWriter::Background(const QImage& image, std::optional<QColor> maskColour)
{
    Ini.Set("Bg", Picture(m_tag + "bg.png", image));
    if (maskColour)
        Ini.Set("BgMaskColor", art::ColourText(*maskColour));
}

void SkinWriter::Font(const QImage& strip, std::optional<QColor> maskColour)
{
    Ini.Set("Font", Picture(m_tag + "digits.png", strip));
    if (maskColour)
        Ini.Set("FontMaskColor", art::ColourText(*maskColour));
}

void SkinWriter::Meter(const QString& prefix, QPoint at, const std::vector<QImage>& frames,
                       const QString& speedKey, int speed)
{
    Ini.Set(prefix, Picture(m_tag + prefix.toLower() + ".png", art::Stack(frames)));
    Ini.Set(prefix + "X", at.x());
    Ini.Set(prefix + "Y", at.y());
    Ini.Set(prefix + "Frames", int(frames.size()));
    Ini.Set(speedKey, speed);
}

void SkinWriter::Lamp(const QString& prefix, QPoint at, const std::vector<QImage>& frames)
{
    Ini.Set(prefix, Picture(m_tag + prefix.toLower() + ".png", art::Stack(frames)));
    Ini.Set(prefix + "X", at.x());
    Ini.Set(prefix + "Y", at.y());
}

void SkinWriter::Readout(const QString& prefix, QPoint at, int cells, bool zeroFill)
{
    Ini.Set(prefix + "ValSW", 1);
    Ini.Set(prefix + "ValX", at.x());
    Ini.Set(prefix + "ValY", at.y());
    Ini.Set(prefix + "ValB", cells);
    Ini.Set(prefix + "ValFZ", zeroFill ? 1 : 0);
}

void SkinWriter::Graph(const QString& prefix, const QRect& rect, int type, int deep, QColor colour)
{
    Ini.Set(prefix + "SW", 1);
    Ini.Set(prefix + "X", rect.x());
    Ini.Set(prefix + "Y", rect.y());
    Ini.Set(prefix + "W", rect.width());
    Ini.Set(prefix + "H", rect.height());
    Ini.Set(prefix + "Type", type);
    Ini.Set(prefix + "Deep", deep);
    Ini.Set(prefix + "Color", art::ColourText(colour));
}

void SkinWriter::Text(const QString& prefix, const TextLine& line)
{
    Ini.Set(prefix, line.value);
    Ini.Set(prefix + "X", line.box.x());
    Ini.Set(prefix + "Y", line.box.y());
    Ini.Set(prefix + "W", line.box.width());
    Ini.Set(prefix + "H", line.box.height());
    Ini.Set(prefix + "Font", line.family);
    Ini.Set(prefix + "Size", line.size);
    Ini.Set(prefix + "Color", art::ColourText(line.colour));
    Ini.Set(prefix + "Align", line.align);
    if (!line.format.isEmpty())
        Ini.Set(prefix + "Format", line.format);
}

void SkinWriter::Floating(bool on, int x, int y)
{
    Ini.Set("FloatSW", on ? 1 : 0);
    Ini.Set("FloatPosX", x);
    Ini.Set("FloatPosY", y);
}

void SkinWriter::Finish()
{
    try {
        WriteFileAtomically(m_skinFolder + "/" + m_base + ".ini", Ini.Text().toUtf8());
    } catch (const std::exception& error) {
        throw art::ArtError(error.what());
    }
}
