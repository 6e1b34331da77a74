#include "Pictures.h"

#include "ArtKit.h"

void WritePictures(const QString&) {}
void WriteTrayIcons(const QString&) {}
