#pragma once

#include <QString>

// Each writes one skin (definition file and image folder) into the given Skin folder.
void WriteAnalogSkin(const QString& skinFolder);
void WriteDigitalSkin(const QString& skinFolder);
void WriteMiniSkin(const QString& skinFolder);
void WriteSensorSkin(const QString& skinFolder);
void WriteMachineSkin(const QString& skinFolder);
