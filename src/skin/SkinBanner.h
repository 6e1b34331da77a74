#pragma once

#include "skin/Bitmap24.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The banner a skin brings ("CreaterBanner" of its definition file, in its image folder), shown
// in the pop-up at a skin switch and atop the skin information.

// True when the skin has a banner and it could be read into `banner`.
bool LoadSkinBanner(const QString& definitionFile, Bitmap24& banner);

// Where the pop-up goes for the "LogoPosition" setting: 16 pixels from the chosen corner of the
// work area, or centred on the whole screen for 0 and any unknown value.
QPoint BannerPosition(int logoPosition, QSize size, const QRect& workArea, QSize screen);
