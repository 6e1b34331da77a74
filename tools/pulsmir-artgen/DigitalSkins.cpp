#include "Skins.h"
#include "SkinWriter.h"

void WriteDigitalSkin(const QString&) {}
void WriteMiniSkin(const QString&) {}
