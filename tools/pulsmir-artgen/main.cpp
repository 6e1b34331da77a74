// pulsmir-artgen: draws the shipped skins, pictures and tray icons into a program folder.
// The results are committed under data/; the program itself never runs this tool.
#include "ArtKit.h"
#include "Pictures.h"
#include "Skins.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    // Drawing needs no display; the offscreen platform keeps the output independent of one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 4 && arguments[0] == "cutout") {
        // For pictures of shaped windows: the mask colour becomes transparent.
        QImage image(arguments[1]);
        QColor key(arguments[2]);
        if (image.isNull() || !key.isValid()) {
            std::fprintf(stderr, "pulsmir-artgen: cannot read %s or colour %s\n",
                         qPrintable(arguments[1]), qPrintable(arguments[2]));
            return 1;
        }
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0xFFFFFF) == (key.rgb() & 0xFFFFFF))
                    row[x] = 0;
        }
        try {
            art::WriteIcon(image, arguments[3]);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "pulsmir-artgen: %s\n", error.what());
            return 1;
        }
        return 0;
    }
    if (arguments.size() != 1 || arguments[0].startsWith('-')) {
        std::fprintf(stderr,
                     "usage: pulsmir-artgen PROGRAM_FOLDER\n"
                     "       writes Skin/, rl1.prs..rl5.prs, rm1.prs..rm3.prs and icons/ there\n"
                     "       pulsmir-artgen cutout IN.png '#RRGGBB' OUT.png\n"
                     "       makes one colour of a picture transparent\n");
        return 2;
    }
    const QString target = QDir(arguments[0]).absolutePath();
    try {
        art::LoadFonts(QStringLiteral("/usr/share/fonts/truetype/dejavu"));
        if (!QDir().mkpath(target + "/Skin") || !QDir().mkpath(target + "/icons"))
            throw art::ArtError(("cannot create folders in " + target).toStdString());
        WriteAnalogSkin(target + "/Skin");
        WriteDigitalSkin(target + "/Skin");
        WriteMiniSkin(target + "/Skin");
        WriteSensorSkin(target + "/Skin");
        WriteMachineSkin(target + "/Skin");
        WritePictures(target);
        WriteTrayIcons(target + "/icons");
        WriteAppIcons(target + "/icons");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pulsmir-artgen: %s\n", error.what());
        return 1;
    }
    return 0;
}
