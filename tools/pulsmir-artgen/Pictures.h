#pragma once

#include <QString>

// rl1.prs .. rl5.prs and rm1.prs .. rm3.prs in the program folder.
void WritePictures(const QString& programFolder);
// idle, read, write and readwrite lamps at 16, 22 and 32 pixels.
void WriteTrayIcons(const QString& iconFolder);
// The application icon, a needle gauge, at the sizes of the icon theme.
void WriteAppIcons(const QString& iconFolder);
