#pragma once

#include <QString>

// The file of the system's font that best matches a family name: that family where the system
// has it, else the system's default font; empty when the system has no font at all.
QString SystemFontFile(const QString& family);
