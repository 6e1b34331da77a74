#include "skin/SkinBanner.h"

#include "platform/ProfileIni.h"
#include "skin/SkinImage.h"
#include "skin/SkinSystem.h"

#include <QFileInfo>
#include <exception>

bool LoadSkinBanner(const QString& definitionFile, Bitmap24& banner)
{
    if (!QFileInfo(definitionFile).isFile())
        return false;
    const QString value = ProfileIni(definitionFile)
                              .ReadString(QStringLiteral("Pulsmir2_Skin"), QStringLiteral("CreaterBanner"));
    if (value.isEmpty())
        return false;
    const QString file =
        TSkinSystem::ResolveImageFile(TSkinSystem::SkinImageFolder(definitionFile), value);
    if (!QFileInfo(file).isFile())
        return false;
    try {
        Bitmap24 loaded;
        LoadSkinImage(loaded, file);
        if (loaded.IsEmpty())
            return false;
        banner = std::move(loaded);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QPoint BannerPosition(int logoPosition, QSize size, const QRect& workArea, QSize screen)
{
    constexpr int Margin = 16;
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    switch (logoPosition) {
    case 1:
        return {Margin, Margin};
    case 2:
        return {right - Margin - size.width(), Margin};
    case 3:
        return {Margin, bottom - Margin - size.height()};
    case 4:
        return {right - Margin - size.width(), bottom - Margin - size.height()};
    default:
        return {(screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2};
    }
}
