#pragma once

#include <QImage>
#include <QPoint>

// Pictures put straight into an X window on Qt's own connection. A window whose every pixel is
// a picture of the program's own then needs no backing store of Qt's (a 32-bit copy of the
// whole window) beside that picture.

// Whether the X server takes Qt's 32-bit pixels as they are: 32 bits a pixel, least
// significant byte first, red, green and blue in the usual places, for windows of depth 24
// and 32. False without an X display.
bool X11TakesQtPixels();

// Puts a picture in QImage::Format_RGB32 or Format_ARGB32_Premultiplied into the window with
// its top left corner at `at` in the window's pixels, split into requests the server takes.
// False when nothing could be sent (no X display, another format, a window the server does
// not know).
bool X11PutPicture(unsigned long window, const QImage& picture, QPoint at);
