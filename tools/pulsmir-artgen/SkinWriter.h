#pragma once

#include "ArtKit.h"

#include <QDir>
#include <QPoint>
#include <QRect>
#include <optional>

// Writes one skin: its definition file Skin/<base>.ini and its pictures in Skin/<base>/.
// Element pictures of the two modes get the prefixes "s_" and "l_".
class SkinWriter
{
public:
    SkinWriter(const QString& skinFolder, const QString& base);

    art::IniText Ini;

    // The file's header comments and the identity section every shipped skin shares.
    void Identity(const QString& description, const QString& skinName);
    // Starts the section of a mode.
    void Mode(bool full);
    // Writes a picture into the image folder and returns its file name.
    QString Picture(const QString& name, const QImage& image);

    void Background(const QImage& image, std::optional<QColor> maskColour);
    void Font(const QImage& strip, std::optional<QColor> maskColour = std::nullopt);
    void Meter(const QString& prefix, QPoint at, const std::vector<QImage>& frames,
               const QString& speedKey, int speed);
    void Lamp(const QString& prefix, QPoint at, const std::vector<QImage>& frames);
    void Readout(const QString& prefix, QPoint at, int cells, bool zeroFill);
    void Graph(const QString& prefix, const QRect& rect, int type, int deep, QColor colour);
    // A line of text in a box, in a family of the system's fonts, bound to a named value.
    struct TextLine
    {
        QString value;
        QRect box;
        QString family;
        int size;
        QColor colour;
        QString align; // "left", "center", "right"
        QString format; // empty: the value as it is
    };
    void Text(const QString& prefix, const TextLine& line);
    void Floating(bool on, int x, int y);

    // Writes the definition file.
    void Finish();

private:
    QString m_skinFolder;
    QString m_base;
    QString m_tag;
};
